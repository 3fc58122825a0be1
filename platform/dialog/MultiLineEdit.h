#pragma once
// CMultiLineEdit: the multi-line edit control of a dialog. It keeps the exact
// bytes it was given, as every control does (WindowText.h), and can show a
// LineLog that grows by lines on top at the cost of the new lines only,
// however long the log already is.
#include <QPlainTextEdit>
#include <cstdint>
#include <string>

#include "LineLog.h"

namespace morvak {

class CMultiLineEdit : public QPlainTextEdit {
 public:
  explicit CMultiLineEdit(QWidget* parent = nullptr);

  // The whole text; shown from its first line.
  void SetText(const std::string& text);
  // Shows `log` from its first line. When this control last showed an earlier
  // state of the same log and nobody has changed the control since, only the
  // lines put on top in between are added.
  void ShowLog(const LineLog& log);
  // The text exactly as it was given, unless the operator has typed into the
  // control since: then what the control shows, with "\r\n" line ends.
  std::string Text() const;
  // True when the control shows exactly the state `log` is in now.
  bool Shows(const LineLog& log) const;
  bool TypedOver() const;

 private:
  void AddOnTop(std::string_view line);
  void ShowFromTheTop();

  LineLog m_text;
  uint64_t m_shownLineage = 0;  // the log last shown here; 0 for none
  size_t m_shownLines = 0;      // how many of its lines on top
};

}  // namespace morvak
