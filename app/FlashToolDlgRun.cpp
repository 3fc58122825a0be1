// The window's side of a run: Start, the run's calls into the window, and
// ending a run that is still going when the window closes.
#include <chrono>
#include <thread>

#include "FlashToolDlg.h"
#include "FlashToolDlgTemplate.h"
#include "RunTexts.h"
#include "WindowMessages.h"

namespace morvak {

void CFlashToolDlg::OnStartFlashing() {
  UpdateData(true);
  if (m_strImagePath.empty()) return;
  // Stop gives Start back before the worker has returned, and there is one
  // set of run state: no new run until the old worker is gone.
  if (WorkerAlive() && m_bRunEnding) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (WorkerAlive() && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (WorkerAlive()) {
    AppendStatusLine(texts::kRunStillEnding);
    return;
  }

  m_strStatusLog.clear();
  UpdateData(false);
  std::string line;
  if (!ApplyStartSettings(IsDlgButtonChecked(IDC_ERASE_RESERVED), line)) {
    if (!line.empty()) AppendStatusLine(line);
    return;
  }
  EnableDlgItem(IDC_START_FLASHING, false);
  EnableDlgItem(IDC_STOP_FLASHING, true);
  SetImage(m_picStatus, m_hBmpBusy);
  m_bRunEnding = false;
  if (!StartWorker()) {
    EnableDlgItem(IDC_START_FLASHING, true);
    EnableDlgItem(IDC_STOP_FLASHING, false);
    AppendStatusLine(texts::kRunStillEnding);
  }
}

void CFlashToolDlg::PostWindowMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  PostMessage(message, wParam, lParam);
}

void CFlashToolDlg::PostStatusLine(std::string text) { PostLine(WM_STATUS_LINE, std::move(text)); }

void CFlashToolDlg::ShowMessageBox(const std::string& text) { MessageBoxFromWorker(text); }

void CFlashToolDlg::EnableControl(int id, bool enable) {
  CallFromWorker([this, id, enable] {
    EnableDlgItem(id, enable);
    if (id == IDC_START_FLASHING && enable) m_bRunEnding = true;
  });
}

void CFlashToolDlg::EndRun() {
  if (WorkerAlive()) {
    RequestStop();
    if (ITransport* transport = m_link.m_device.GetTransport()) transport->Interrupt();
    ServeWorkerCallsUntil([this] { return !WorkerAlive(); });
  }
  JoinWorker();
}

}  // namespace morvak
