#pragma once
// A small dialog for the dialog base's tests: every kind of control, two radio
// groups, and a record of what reaches its virtual handlers.
#include <mutex>
#include <string>
#include <vector>

#include "DataExchange.h"
#include "Dialog.h"
#include "ProgressCtrl.h"
#include "WindowMessageEvent.h"

namespace morvak::testing {

enum : int {
  ID_NAME = 10,
  ID_LOG = 11,
  ID_FIRST = 20,
  ID_SECOND = 21,
  ID_OPTION = 22,
  ID_THIRD = 23,
  ID_OTHER_GROUP = 30,
  ID_GO = 40,
  ID_BAR = 50,
};

inline DialogTemplate SampleTemplate(unsigned dialogStyle = DialogStyle::SystemMenu | DialogStyle::AcceptFiles) {
  using namespace ControlStyle;
  DialogTemplate t;
  t.caption = "sample";
  t.width = 200;
  t.height = 120;
  t.font.setFamily(QStringLiteral("DejaVu Sans"));
  t.font.setPixelSize(12);
  t.style = dialogStyle;
  t.controls = {
      {IDC_STATIC, ControlKind::GroupBox, "box", {4, 4, 190, 60}, 0},
      {ID_NAME, ControlKind::Edit, "", {10, 14, 100, 14}, ReadOnly | AutoHScroll | Border | TabStop},
      {ID_LOG, ControlKind::Edit, "", {10, 30, 100, 30}, MultiLine | ReadOnly | VScroll | WantReturn | Border | TabStop},
      {ID_FIRST, ControlKind::RadioButton, "first", {120, 14, 40, 10}, Group},
      {ID_SECOND, ControlKind::RadioButton, "second", {120, 26, 40, 10}, 0},
      {ID_OPTION, ControlKind::CheckBox, "option", {120, 38, 40, 10}, TabStop},
      {ID_THIRD, ControlKind::RadioButton, "third", {120, 50, 40, 10}, 0},
      {ID_OTHER_GROUP, ControlKind::RadioButton, "other", {10, 70, 40, 10}, Group | TabStop},
      {ID_GO, ControlKind::PushButton, "go", {60, 70, 40, 14}, TabStop},
      {ID_BAR, ControlKind::ProgressBar, "", {10, 90, 180, 10}, Border},
  };
  return t;
}

struct Posted {
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
  std::optional<std::string> line;
};

class SampleDialog : public CDialog {
 public:
  explicit SampleDialog(DialogTemplate t = SampleTemplate()) : CDialog(std::move(t)) {}

  std::string m_strName;
  std::string m_strLog;
  int m_nChoice = -1;
  int m_nOther = -1;

  std::vector<Posted> m_posted;
  std::vector<int> m_commands;
  std::vector<unsigned> m_sysCommands;
  std::vector<std::vector<std::string>> m_drops;
  int m_oks = 0;

  void DoDataExchange(CDataExchange* pDX) override {
    DDX_Text(pDX, ID_NAME, m_strName);
    DDX_Text(pDX, ID_LOG, m_strLog);
    DDX_Radio(pDX, ID_FIRST, m_nChoice);
    DDX_Radio(pDX, ID_OTHER_GROUP, m_nOther);
  }

 protected:
  intptr_t WindowProc(const WindowMessageEvent& m) override {
    m_posted.push_back({m.Message(), m.WParam(), m.LParam(), m.Line()});
    return CDialog::WindowProc(m);
  }
  void OnCommand(int id) override { m_commands.push_back(id); }
  void OnSysCommand(unsigned id, intptr_t lParam) override {
    m_sysCommands.push_back(id);
    CDialog::OnSysCommand(id, lParam);
  }
  void OnDropFiles(const std::vector<std::string>& names) override { m_drops.push_back(names); }
  void OnOK() override {
    ++m_oks;
    CDialog::OnOK();
  }
};

}  // namespace morvak::testing
