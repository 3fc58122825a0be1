#include "DataExchange.h"

#include <QButtonGroup>
#include <QRadioButton>

#include "MultiLineEdit.h"
#include "WindowText.h"

namespace morvak {

void DDX_Text(CDataExchange* pDX, int id, std::string& value) {
  pDX->Note(id);
  QWidget* control = pDX->m_pDlgWnd->GetDlgItem(id);
  if (control == nullptr) return;
  if (pDX->m_bSaveAndValidate)
    value = GetWindowText(control);
  else
    SetWindowText(control, value);
}

void DDX_Text(CDataExchange* pDX, int id, LineLog& value) {
  pDX->Note(id);
  QWidget* control = pDX->m_pDlgWnd->GetDlgItem(id);
  if (control == nullptr) return;
  auto* edit = dynamic_cast<CMultiLineEdit*>(control);
  if (pDX->m_bSaveAndValidate) {
    if (edit == nullptr || !edit->Shows(value)) value = GetWindowText(control);
  } else if (edit != nullptr) {
    edit->ShowLog(value);
  } else {
    SetWindowText(control, value.Text());
  }
}

void DDX_Radio(CDataExchange* pDX, int id, int& value) {
  pDX->Note(id);
  CDialog* dialog = pDX->m_pDlgWnd;
  const size_t first = dialog->IndexOf(dialog->GetDlgItem(id));
  if (first >= dialog->ControlCount()) return;
  if (pDX->m_bSaveAndValidate) value = -1;
  int index = 0;
  for (size_t i = first; i < dialog->ControlCount(); ++i) {
    if (i != first && (dialog->SpecAt(i).style & ControlStyle::Group) != 0) break;
    auto* radio = qobject_cast<QRadioButton*>(dialog->ControlAt(i));
    if (radio == nullptr) continue;
    if (pDX->m_bSaveAndValidate) {
      if (radio->isChecked()) value = index;
    } else {
      QButtonGroup* group = radio->group();
      const bool exclusive = group != nullptr && group->exclusive();
      if (exclusive) group->setExclusive(false);
      radio->setChecked(index == value);
      if (exclusive) group->setExclusive(true);
    }
    ++index;
  }
}

}  // namespace morvak
