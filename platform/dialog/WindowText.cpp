#include "WindowText.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QVariant>

#include "MultiLineEdit.h"

namespace morvak {
namespace {

constexpr const char* kTextProperty = "morvakWindowText";
constexpr const char* kShowsEndProperty = "morvakShowsEnd";

QString Display(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// A tooltip that Qt would take for rich text is shown as the plain text it is.
QString PlainToolTip(const QString& text) {
  return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text, Qt::WhiteSpaceNoWrap) : text;
}

}  // namespace

void SetShowsEnd(QLineEdit* edit) {
  if (edit != nullptr) edit->setProperty(kShowsEndProperty, true);
}

QString MultiLineDisplayText(const std::string& text) {
  QString shown = Display(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return shown;
}

void SetWindowText(QWidget* control, const std::string& text) {
  if (control == nullptr) return;
  if (auto* log = dynamic_cast<CMultiLineEdit*>(control)) {
    log->SetText(text);
    return;
  }
  control->setProperty(kTextProperty, QByteArray(text.data(), static_cast<qsizetype>(text.size())));
  if (auto* edit = qobject_cast<QLineEdit*>(control)) {
    const QString shown = Display(text);
    edit->setText(shown);  // also clears the edit's modified flag
    if (edit->property(kShowsEndProperty).toBool()) {
      // The view follows the cursor: at the end, the end is in view.
      edit->setCursorPosition(static_cast<int>(shown.size()));
      edit->setToolTip(PlainToolTip(shown));
    } else {
      edit->setCursorPosition(0);  // shown from its start, as a dialog's edit is
    }
  } else if (auto* multi = qobject_cast<QPlainTextEdit*>(control)) {
    multi->setPlainText(MultiLineDisplayText(text));
    multi->document()->setModified(false);
  } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    button->setText(Display(text));
  } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
    group->setTitle(Display(text));
  } else if (auto* label = qobject_cast<QLabel*>(control)) {
    label->setText(Display(text));
  } else {
    control->setWindowTitle(Display(text));
  }
}

std::string GetWindowText(const QWidget* control) {
  if (control == nullptr) return {};
  if (const auto* log = dynamic_cast<const CMultiLineEdit*>(control)) return log->Text();
  const QVariant stored = control->property(kTextProperty);
  bool typedOver = false;
  QString shown;
  if (auto* edit = qobject_cast<const QLineEdit*>(control)) {
    typedOver = edit->isModified();
    shown = edit->text();
  } else if (auto* multi = qobject_cast<const QPlainTextEdit*>(control)) {
    typedOver = multi->document()->isModified();
    shown = multi->toPlainText();
    shown.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
  } else if (auto* button = qobject_cast<const QAbstractButton*>(control)) {
    shown = button->text();
  } else if (auto* group = qobject_cast<const QGroupBox*>(control)) {
    shown = group->title();
  } else if (auto* label = qobject_cast<const QLabel*>(control)) {
    shown = label->text();
  } else {
    shown = control->windowTitle();
  }
  if (stored.isValid() && !typedOver) {
    const QByteArray bytes = stored.toByteArray();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
  }
  const QByteArray bytes = shown.toUtf8();
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace morvak
