#include "WindowText.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVariant>

#include "MultiLineEdit.h"

namespace morvak {
namespace {

constexpr const char* kTextProperty = "morvakWindowText";

QString Display(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

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
    edit->setText(Display(text));  // also clears the edit's modified flag
    edit->setCursorPosition(0);     // shown from its start, as a dialog's edit is
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
