#include "MultiLineEdit.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "WindowText.h"

namespace morvak {

CMultiLineEdit::CMultiLineEdit(QWidget* parent) : QPlainTextEdit(parent) {
  // Text set by the program is no edit to undo, and a long log would keep
  // every line twice.
  document()->setUndoRedoEnabled(false);
}

void CMultiLineEdit::SetText(const std::string& text) {
  m_text = text;
  m_shownLineage = 0;
  m_shownLines = 0;
  setPlainText(MultiLineDisplayText(text));
  document()->setModified(false);
}

void CMultiLineEdit::ShowLog(const LineLog& log) {
  if (log.Lineage() != m_shownLineage || log.LinesOnTop() < m_shownLines || TypedOver()) {
    m_text = log;
    setPlainText(MultiLineDisplayText(log.Text()));
  } else {
    for (size_t i = m_shownLines; i < log.LinesOnTop(); ++i) AddOnTop(log.LineOnTop(i));
  }
  m_shownLineage = log.Lineage();
  m_shownLines = log.LinesOnTop();
  document()->setModified(false);
  ShowFromTheTop();
}

void CMultiLineEdit::AddOnTop(std::string_view line) {
  m_text.PutOnTop(line);
  std::string piece(line);
  piece.append("\r\n");
  // The shown text of a piece that ends in "\r\n" is the same alone as within
  // the whole text: no line end or character can span the boundary.
  QTextCursor cursor(document());
  cursor.movePosition(QTextCursor::Start);
  cursor.insertText(MultiLineDisplayText(piece));
}

void CMultiLineEdit::ShowFromTheTop() {
  QTextCursor start(document());
  start.movePosition(QTextCursor::Start);
  setTextCursor(start);
  verticalScrollBar()->setValue(verticalScrollBar()->minimum());
}

std::string CMultiLineEdit::Text() const {
  if (!TypedOver()) return m_text.Text();
  QString shown = toPlainText();
  shown.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
  const QByteArray bytes = shown.toUtf8();
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

bool CMultiLineEdit::Shows(const LineLog& log) const {
  return !TypedOver() && m_shownLineage == log.Lineage() && m_shownLines == log.LinesOnTop();
}

bool CMultiLineEdit::TypedOver() const { return document()->isModified(); }

}  // namespace morvak
