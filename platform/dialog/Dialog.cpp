#include "Dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include "DataExchange.h"
#include "MultiLineEdit.h"
#include "PictureCtrl.h"
#include "ProgressCtrl.h"
#include "WindowText.h"

namespace morvak {

CDialog::CDialog(DialogTemplate dialogTemplate, QWidget* parent)
    : QDialog(parent), m_template(std::move(dialogTemplate)) {}

CDialog::~CDialog() = default;

QWidget* CDialog::MakeControl(const ControlSpec& spec, QButtonGroup*& radioGroup) {
  using namespace ControlStyle;
  const bool tabStop = (spec.style & TabStop) != 0;
  QWidget* widget = nullptr;
  switch (spec.kind) {
    case ControlKind::GroupBox:
      widget = new QGroupBox(this);
      break;
    case ControlKind::Text: {
      auto* label = new QLabel(this);
      label->setTextFormat(Qt::PlainText);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      widget = label;
      break;
    }
    case ControlKind::Picture:
    case ControlKind::Icon: {
      QLabel* label = spec.kind == ControlKind::Picture ? new CPictureCtrl(this) : new QLabel(this);
      label->setAlignment((spec.style & CenterImage) != 0 || spec.kind == ControlKind::Icon
                              ? Qt::AlignCenter
                              : Qt::AlignLeft | Qt::AlignTop);
      widget = label;
      break;
    }
    case ControlKind::Edit:
      if ((spec.style & MultiLine) != 0) {
        auto* edit = new CMultiLineEdit(this);
        edit->setReadOnly((spec.style & ReadOnly) != 0);
        edit->setTabChangesFocus(true);
        edit->setLineWrapMode((spec.style & AutoHScroll) != 0 ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
        edit->setVerticalScrollBarPolicy((spec.style & VScroll) != 0 ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
        edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        if ((spec.style & ReadOnly) != 0)
          edit->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        if ((spec.style & Border) == 0) edit->setFrameShape(QFrame::NoFrame);
        widget = edit;
      } else {
        auto* edit = new QLineEdit(this);
        edit->setReadOnly((spec.style & ReadOnly) != 0);
        edit->setFrame((spec.style & Border) != 0);
        if ((spec.style & ShowsEnd) != 0) SetShowsEnd(edit);
        widget = edit;
      }
      break;
    case ControlKind::PushButton: {
      auto* button = new QPushButton(this);
      button->setAutoDefault(false);
      button->setDefault((spec.style & DefaultButton) != 0);
      widget = button;
      break;
    }
    case ControlKind::ProgressBar:
      widget = new CProgressCtrl(this);
      break;
    case ControlKind::RadioButton: {
      auto* radio = new QRadioButton(this);
      // Groups follow the template's group marks, not the widget parent.
      radio->setAutoExclusive(false);
      if (radioGroup == nullptr) {
        radioGroup = new QButtonGroup(this);
        radioGroup->setExclusive(true);
      }
      radioGroup->addButton(radio);
      widget = radio;
      break;
    }
    case ControlKind::CheckBox:
      widget = new QCheckBox(this);
      break;
  }
  const bool focusable = spec.kind == ControlKind::Edit || spec.kind == ControlKind::PushButton ||
                         spec.kind == ControlKind::RadioButton || spec.kind == ControlKind::CheckBox;
  widget->setFocusPolicy(!focusable ? Qt::NoFocus : tabStop ? Qt::StrongFocus : Qt::ClickFocus);
  if (spec.kind == ControlKind::Icon) {
    // An icon control takes the icon's own size at its position.
    const QRect at = MapDialogRect(spec.position);
    widget->setGeometry(at.x(), at.y(), 32, 32);
    static_cast<QLabel*>(widget)->setPixmap(windowIcon().pixmap(32, 32));
  } else {
    widget->setGeometry(MapDialogRect(spec.position));
  }
  if (spec.kind != ControlKind::Picture && spec.kind != ControlKind::Icon && spec.kind != ControlKind::ProgressBar)
    SetWindowText(widget, spec.text);
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    const int id = spec.id;
    QObject::connect(button, &QAbstractButton::clicked, this, [this, id] { OnCommand(id); });
  }
  return widget;
}

void CDialog::Create() {
  if (m_bCreated) return;
  m_bCreated = true;
  Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
  if ((m_template.style & DialogStyle::SystemMenu) != 0) flags |= Qt::WindowSystemMenuHint;
  if ((m_template.style & DialogStyle::MinimizeBox) != 0) flags |= Qt::WindowMinimizeButtonHint;
  setWindowFlags(flags);
  setWindowTitle(QString::fromStdString(m_template.caption));
  setFont(m_template.font);
  setAcceptDrops((m_template.style & DialogStyle::AcceptFiles) != 0);
  const DialogBaseUnits base = BaseUnits();
  setFixedSize(MulDiv(m_template.width, base.x, 4), MulDiv(m_template.height, base.y, 8));

  QButtonGroup* radioGroup = nullptr;
  QWidget* previousTabStop = nullptr;
  for (const ControlSpec& spec : m_template.controls) {
    if ((spec.style & ControlStyle::Group) != 0) radioGroup = nullptr;
    QWidget* widget = MakeControl(spec, radioGroup);
    m_controls.push_back({widget, spec});
    if ((spec.style & ControlStyle::TabStop) != 0) {
      if (previousTabStop != nullptr) QWidget::setTabOrder(previousTabStop, widget);
      previousTabStop = widget;
    }
  }
  if (OnInitDialog()) {
    for (const Control& c : m_controls)
      if ((c.spec.style & ControlStyle::TabStop) != 0 && c.widget->isEnabled()) {
        c.widget->setFocus(Qt::OtherFocusReason);
        break;
      }
  }
}

int CDialog::DoModal() {
  Create();
  const int result = exec();
  Destroy();
  return result;
}

void CDialog::Destroy() {
  if (m_bDestroyed) return;
  m_bDestroyed = true;
  m_bEnded = true;
  hide();
  OnDestroy();
}

void CDialog::EndDialog(int result) { done(result); }

void CDialog::SetCaption(const std::string& caption) {
  m_template.caption = caption;
  setWindowTitle(QString::fromStdString(caption));
}

void CDialog::done(int result) {
  m_bEnded = true;
  if (m_workerBox != nullptr) m_workerBox->reject();
  QDialog::done(result);
}

bool CDialog::OnInitDialog() {
  UpdateData(false);
  return true;
}

void CDialog::OnOK() {
  UpdateData(true);
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::OnCommand(int id) {
  if (id == IDOK) OnOK();
  if (id == IDCANCEL) OnCancel();
}

QWidget* CDialog::GetDlgItem(int id) const {
  if (id == IDC_STATIC) return nullptr;
  for (const Control& c : m_controls)
    if (c.spec.id == id) return c.widget;
  return nullptr;
}

size_t CDialog::IndexOf(const QWidget* control) const {
  for (size_t i = 0; i < m_controls.size(); ++i)
    if (m_controls[i].widget == control) return i;
  return m_controls.size();
}

void CDialog::SetDlgItemText(int id, const std::string& text) { SetWindowText(GetDlgItem(id), text); }

std::string CDialog::GetDlgItemText(int id) const { return GetWindowText(GetDlgItem(id)); }

void CDialog::EnableDlgItem(int id, bool enable) {
  if (QWidget* w = GetDlgItem(id)) w->setEnabled(enable);
}

bool CDialog::IsDlgItemEnabled(int id) const {
  const QWidget* w = GetDlgItem(id);
  return w != nullptr && w->isEnabled();
}

void CDialog::CheckDlgButton(int id, bool checked) {
  if (auto* b = GetDlgItemAs<QAbstractButton>(id)) {
    QButtonGroup* group = b->group();
    const bool exclusive = group != nullptr && group->exclusive();
    if (exclusive) group->setExclusive(false);
    b->setChecked(checked);
    if (exclusive) group->setExclusive(true);
  }
}

bool CDialog::IsDlgButtonChecked(int id) const {
  const auto* b = GetDlgItemAs<QAbstractButton>(id);
  return b != nullptr && b->isChecked();
}

void CDialog::SetImage(QLabel* picture, const QPixmap& bitmap) {
  if (picture != nullptr) picture->setPixmap(bitmap);
}

bool CDialog::UpdateData(bool saveAndValidate) {
  CDataExchange dx(this, saveAndValidate);
  DoDataExchange(&dx);
  return true;
}

void CDialog::DoDataExchange(CDataExchange*) {}

}  // namespace morvak
