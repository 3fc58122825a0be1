// The window's side of a run: Start, the run's calls into the window, the
// record of each run, and ending a run that is still going when the window
// closes.
#include <chrono>
#include <thread>

#include <QCoreApplication>

#include "FlashToolDlg.h"
#include "FlashToolDlgTemplate.h"
#include "Format.h"
#include "RunRecord.h"
#include "RunTexts.h"
#include "TransportChoice.h"
#include "UiTexts.h"
#include "WindowMessageEvent.h"
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
    AppendStatusLine(StillEndingLine());
    return;
  }

  m_strStatusLog.clear();
  UpdateData(false);
  std::string line;
  if (!ApplyStartSettings(IsDlgButtonChecked(IDC_ERASE_RESERVED), line)) {
    if (!line.empty()) AppendStatusLine(line);
    return;
  }
  EnableRunButton(IDC_START_FLASHING, false);
  EnableRunButton(IDC_STOP_FLASHING, true);
  SetImage(m_picStatus, m_hBmpBusy);
  m_bRunEnding = false;
  m_runStarted = std::chrono::system_clock::now();
  if (!StartWorker()) {
    EnableRunButton(IDC_START_FLASHING, true);
    EnableRunButton(IDC_STOP_FLASHING, false);
    AppendStatusLine(StillEndingLine());
    return;
  }
  m_bRecordPending = true;
}

void CFlashToolDlg::RecordRun(bool succeeded) {
  // An outcome message from another sender ends no run of this window.
  if (!m_bRecordPending) return;
  m_bRecordPending = false;
  // Every line the run posted has been handled by now, in posting order: the
  // pending slot holds the run's last one.
  std::string error;
  const RunEnding ending{succeeded, m_strPendingStatus, m_runStarted, std::chrono::system_clock::now(),
                         PortOfTransport(m_link.m_device.GetTransport())};
  if (!RecordRunIfConfigured(*this, ending, error))
    AppendStatusLine(Format(texts::kRunRecordNotWritten, error.c_str()));
}

void CFlashToolDlg::PostWindowMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  PostMessage(message, wParam, lParam);
}

void CFlashToolDlg::PostStatusLine(std::string text) { PostLine(WM_STATUS_LINE, std::move(text)); }

void CFlashToolDlg::ShowMessageBox(const std::string& text) { MessageBoxFromWorker(text); }

void CFlashToolDlg::EnableControl(int id, bool enable) {
  CallFromWorker([this, id, enable] {
    EnableRunButton(id, enable);
    if (id == IDC_START_FLASHING && enable) m_bRunEnding = true;
  });
}

bool CFlashToolDlg::RunGoingOn() const {
  return WorkerAlive() && !m_bRunEnding && m_link.m_bCancelWait.load() == 0;
}

void CFlashToolDlg::EnableRunButton(int id, bool enable) {
  QWidget* button = GetDlgItem(id);
  if (button == nullptr || (id != IDC_START_FLASHING && id != IDC_STOP_FLASHING)) {
    EnableDlgItem(id, enable);
    return;
  }
  const int other = id == IDC_START_FLASHING ? IDC_STOP_FLASHING : IDC_START_FLASHING;
  if (!enable && focusWidget() == button) {
    if (IsDlgItemEnabled(other)) {
      GetDlgItem(other)->setFocus(Qt::OtherFocusReason);
    } else {
      button->clearFocus();
      m_nFocusOwedTo = other;
    }
  }
  button->setEnabled(enable);
  if (enable && m_nFocusOwedTo == id) {
    m_nFocusOwedTo = 0;
    // Unless the operator has put the focus somewhere meanwhile.
    if (focusWidget() == nullptr) button->setFocus(Qt::OtherFocusReason);
  }
}

void CFlashToolDlg::EndRun() {
  if (WorkerAlive()) {
    RequestStop();
    if (ITransport* transport = m_link.m_device.GetTransport()) transport->Interrupt();
    ServeWorkerCallsUntil([this] { return !WorkerAlive(); });
  }
  JoinWorker();
  // The ended worker's last messages are still queued: handle them now, so
  // that a run ended by closing the window is recorded too.
  if (m_bRecordPending) QCoreApplication::sendPostedEvents(this, CWindowMessageEvent::EventType());
}

}  // namespace morvak
