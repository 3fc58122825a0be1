// The main window's life: construction, field exchange, opening, the system
// menu with the about box, the remembered path, and closing.
#include "FlashToolDlg.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>

#include "AboutBox.h"
#include "AppResources.h"
#include "DataExchange.h"
#include "DialogFont.h"
#include "FlashToolDlgTemplate.h"
#include "ImagePathSetting.h"
#include "ProgressCtrl.h"
#include "UiTexts.h"

namespace morvak {

CFlashToolDlg::CFlashToolDlg(QWidget* parent)
    : CDialog(MainDialogTemplate(DialogFont()), parent), FlashRun(static_cast<IRunEvents&>(*this)), m_hIcon(LoadAppIcon()) {
  m_nFlashType = -1;
}

CFlashToolDlg::~CFlashToolDlg() {
  // A window that is still open goes the way every window goes (the worker
  // uses this object: it must have returned before any of it goes).
  Destroy();
  EndRun();
}

void CFlashToolDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_ERASE_RESERVED, m_btnEraseReserved);
  DDX_Control(pDX, IDC_STATUS_PICTURE, m_picStatus);
  DDX_Control(pDX, IDC_PROGRESS, m_progress);
  DDX_Text(pDX, IDC_STATUS_LOG, m_strStatusLog);
  DDX_Text(pDX, IDC_IMAGE_PATH, m_strImagePath);
  DDX_Radio(pDX, IDC_NAND, m_nFlashType);
}

bool CFlashToolDlg::OnInitDialog() {
  CDialog::OnInitDialog();

  if (QMenu* menu = GetSystemMenu()) {
    const std::string about = LoadStringResource(IDS_ABOUTBOX);
    if (!about.empty()) {
      AppendMenuSeparator(menu);
      AppendMenuItem(menu, IDM_ABOUTBOX, about);
    }
  }
  setWindowIcon(m_hIcon);

  m_nFlashType = FLASH_TYPE_NAND;
  m_bRawImage = 0;
  m_link.m_pOwner = this;
  EnableDlgItem(IDC_STOP_FLASHING, false);
  if (QWidget* stop = GetDlgItem(IDC_STOP_FLASHING)) stop->installEventFilter(this);

  m_hBmpSuccess = LoadBitmapResource(IDB_SUCCESS);
  m_hBmpFailure = LoadBitmapResource(IDB_FAILURE);
  m_hBmpBusy = LoadBitmapResource(IDB_BUSY);
  SetImage(m_picStatus, m_hBmpSuccess);
  CheckDlgButton(IDC_ERASE_RESERVED, false);

  LoadImagePathSetting();
  UpdateData(false);
  return true;
}

void CFlashToolDlg::OnDestroy() {
  CDialog::OnDestroy();
  // Closing during a run ends the run first: the worker uses this object.
  EndRun();
  SaveImagePathSetting();
  m_hBmpSuccess = QPixmap();
  m_hBmpFailure = QPixmap();
  m_hBmpBusy = QPixmap();
}

void CFlashToolDlg::OnCommand(int id) {
  switch (id) {
    case IDC_CLOSE_WINDOWS: OnCloseWindows(); break;
    case IDC_BROWSE: OnBrowse(); break;
    case IDC_START_FLASHING: OnStartFlashing(); break;
    case IDC_STOP_FLASHING: OnStopFlashing(); break;
    default: break;  // the radio buttons and the check box have no handlers
  }
}

void CFlashToolDlg::OnCloseWindows() { OnOK(); }

void CFlashToolDlg::OnOK() {
  if (MayClose()) CDialog::OnOK();
}

void CFlashToolDlg::OnCancel() {
  if (MayClose()) CDialog::OnCancel();
}

bool CFlashToolDlg::MayClose() { return !RunGoingOn() || AskYesNo(texts::kStopRunAndClose); }

bool CFlashToolDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress || watched != GetDlgItem(IDC_STOP_FLASHING) || !RunGoingOn())
    return CDialog::eventFilter(watched, event);
  const int key = static_cast<QKeyEvent*>(event)->key();
  if (key != Qt::Key_Space && key != Qt::Key_Return && key != Qt::Key_Enter) return CDialog::eventFilter(watched, event);
  // Taken here, the press never reaches the button or the dialog: the button
  // is not pressed down, so its release clicks nothing either.
  if (!static_cast<QKeyEvent*>(event)->isAutoRepeat() && AskYesNo(texts::kStopRunByKey) && RunGoingOn())
    OnStopFlashing();
  return true;
}

void CFlashToolDlg::OnSysCommand(unsigned id, intptr_t lParam) {
  if ((id & 0xFFF0u) == IDM_ABOUTBOX) {
    CAboutBox about(this);
    about.DoModal();
    return;
  }
  CDialog::OnSysCommand(id, lParam);
}

void CFlashToolDlg::LoadImagePathSetting() { m_strImagePath = ReadImagePathSetting(); }

void CFlashToolDlg::SaveImagePathSetting() {
  if (!m_strImagePath.empty()) WriteImagePathSetting(m_strImagePath);
}

}  // namespace morvak
