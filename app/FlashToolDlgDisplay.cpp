// How the window shows a run: the run's messages, the status log, and Stop.
#include "FlashToolDlg.h"
#include "FlashToolDlgTemplate.h"
#include "ProgressCtrl.h"
#include "ProgressDisplay.h"
#include "RunMessageTable.h"
#include "WindowMessageEvent.h"

namespace morvak {

intptr_t CFlashToolDlg::WindowProc(const WindowMessageEvent& message) {
  // A status line carries its text; it passes through the pending slot as
  // every status line does.
  if (message.Line()) m_strPendingStatus = *message.Line();
  return CDialog::WindowProc(message);
}

intptr_t CFlashToolDlg::DefWindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (RunMessageActionOf(message)) {
    case RunMessageAction::SyncFields: UpdateData(wParam != 0); break;
    case RunMessageAction::StatusLine: AppendStatusLine(m_strPendingStatus); break;
    case RunMessageAction::ProgressPos:
      if (m_progress != nullptr) ShowProgressPos(*m_progress, wParam);
      break;
    case RunMessageAction::ProgressRange:
      if (m_progress != nullptr) ShowProgressRange(*m_progress, wParam);
      break;
    case RunMessageAction::RunSucceeded:
      EndTransferDisplay();
      SetImage(m_picStatus, m_hBmpSuccess);
      RecordRun(true);
      break;
    case RunMessageAction::RunFailed:
      EndTransferDisplay();
      SetImage(m_picStatus, m_hBmpFailure);
      RecordRun(false);
      break;
    case RunMessageAction::DisableStop: EnableRunButton(IDC_STOP_FLASHING, false); break;
    case RunMessageAction::EnableStop: EnableRunButton(IDC_STOP_FLASHING, true); break;
    case RunMessageAction::None: break;
  }
  return CDialog::DefWindowProc(message, wParam, lParam);
}

void CFlashToolDlg::AppendStatusLine(std::string text) {
  m_strStatusLog.PutOnTop(text);
  UpdateData(false);
}

void CFlashToolDlg::OnStopFlashing() {
  RequestStop();
  EnableRunButton(IDC_STOP_FLASHING, false);
  EnableRunButton(IDC_START_FLASHING, true);
}

}  // namespace morvak
