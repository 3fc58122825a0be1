#pragma once
// Field exchange between a dialog's fields and its controls. A dialog's
// DoDataExchange lists its bindings in order; UpdateData(true) runs them from
// the controls into the fields, UpdateData(false) from the fields into the
// controls.
#include <string>
#include <vector>

#include "Dialog.h"
#include "LineLog.h"

namespace morvak {

class CDataExchange {
 public:
  CDataExchange(CDialog* dialog, bool saveAndValidate) : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog) {}

  bool m_bSaveAndValidate;
  CDialog* m_pDlgWnd;
  // When set, each binding appends the id of its control here, in the order
  // the bindings run.
  std::vector<int>* m_pTrace = nullptr;

  void Note(int id) const {
    if (m_pTrace != nullptr) m_pTrace->push_back(id);
  }
};

// Binds a control object to the control with `id` (either direction).
template <class T>
void DDX_Control(CDataExchange* pDX, int id, T*& control) {
  pDX->Note(id);
  if (control == nullptr) control = pDX->m_pDlgWnd->template GetDlgItemAs<T>(id);
}

// The control's text, byte for byte.
void DDX_Text(CDataExchange* pDX, int id, std::string& value);
// The same for a log: a multi-line edit that shows an earlier state of the
// log is brought up to date by its new lines alone, and one that shows the
// log as it is leaves the field untouched.
void DDX_Text(CDataExchange* pDX, int id, LineLog& value);

// The radio group that starts at `id`: the radio buttons from it up to the next
// control that starts a group, in template order; other kinds of control in
// between take no index. Saving gives the index of the checked one, or -1 when
// none is; loading checks the button at `value` and unchecks the others (none
// for an index outside the group).
void DDX_Radio(CDataExchange* pDX, int id, int& value);

}  // namespace morvak
