#include "AboutBox.h"

#include "AppResources.h"
#include "DialogFont.h"
#include "FlashToolDlgTemplate.h"

namespace morvak {

CAboutBox::CAboutBox(QWidget* parent) : CDialog(AboutDialogTemplate(DialogFont()), parent) {
  setWindowIcon(LoadAppIcon());
}

CAboutBox::~CAboutBox() = default;

void CAboutBox::DoDataExchange(CDataExchange*) {}

}  // namespace morvak
