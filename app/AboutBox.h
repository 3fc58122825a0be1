#pragma once
// CAboutBox: the about box, shown modally from the about entry of the system
// menu. It has no fields and ends through its OK button or Esc.
#include "Dialog.h"

namespace morvak {

class CAboutBox : public CDialog {
 public:
  explicit CAboutBox(QWidget* parent = nullptr);
  ~CAboutBox() override;
  void DoDataExchange(CDataExchange* pDX) override;
};

}  // namespace morvak
