// The window's side of a run: Start, the run's calls into the window, the
// record of each run, and ending a run that is still going when the window
// closes.
#include <chrono>
#include <thread>

#include <QCoreApplication>
#include <QMetaObject>
#include <QTimer>

#include "FlashToolDlg.h"
#include "FlashToolDlgTemplate.h"
#include "ProgressCtrl.h"
#include "Format.h"
#include "RecordOfRun.h"
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
  if (!ApplyStartSettings(StartSettings(), line)) {
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

RunSettings CFlashToolDlg::StartSettings() const {
  RunSettings settings;
  settings.moduleDirectory = m_strModuleDirectory;
  settings.imagePath = m_strImagePath;
  settings.flashType = m_nFlashType;
  settings.eraseReserved = IsDlgButtonChecked(IDC_ERASE_RESERVED);
  return settings;
}

void CFlashToolDlg::RecordRun(bool succeeded) {
  // An outcome message from another sender ends no run of this window.
  if (!m_bRecordPending) return;
  m_bRecordPending = false;
  // Every line the run posted has been handled by now, in posting order: the
  // pending slot holds the run's last one.
  std::string error;
  const RunEnding ending{OutcomeOf(*this, succeeded), m_strPendingStatus, m_runStarted, std::chrono::system_clock::now(),
                         PortOfTransport(m_link.m_device.GetTransport())};
  if (!RecordRunIfConfigured(*this, ending, error))
    AppendStatusLine(Format(texts::kRunRecordNotWritten, error.c_str()));
}

void CFlashToolDlg::OnRunBegins() {
  m_nPayloadFirstAt.store(0);
  PostMessage(WM_SYNC_FIELDS, 1, 0);
}

void CFlashToolDlg::OnStatusLine(std::string text) { PostLine(WM_STATUS_LINE, std::move(text)); }

void CFlashToolDlg::OnProgressRange(uint32_t upper) { PostMessage(WM_PROGRESS_RANGE, upper, 0); }

void CFlashToolDlg::OnProgressPosition(uint32_t position) { PostMessage(WM_PROGRESS_POS, position, 0); }

void CFlashToolDlg::OnRunOutcome(bool succeeded) { PostMessage(succeeded ? WM_RUN_SUCCEEDED : WM_RUN_FAILED, 0, 0); }

void CFlashToolDlg::OnMessageBox(const std::string& text) { MessageBoxFromWorker(text); }

void CFlashToolDlg::OnPayloadSent(uint64_t sent, uint64_t total) {
  // Stamped here, on the worker: the window may fold many reports into one
  // call, and the rate must still count from the first.
  const int64_t now = TransferMeter::Clock::now().time_since_epoch().count();
  if (m_nPayloadFirstAt.load() == 0) {
    m_nPayloadFirstSent.store(sent);
    m_nPayloadFirstAt.store(now);
  }
  m_nPayloadLastAt.store(now);
  m_nPayloadSent.store(sent);
  m_nPayloadOf.store(total);
  // Queued behind what the run posted before, ahead of its outcome.
  if (!m_bPayloadQueued.exchange(true)) QMetaObject::invokeMethod(this, [this] { ShowTransfer(); }, Qt::QueuedConnection);
}

void CFlashToolDlg::ReleaseRunControls() {
  CallFromWorker([this] {
    EnableRunButton(IDC_STOP_FLASHING, false);
    EnableRunButton(IDC_START_FLASHING, true);
    m_bRunEnding = true;
  });
}

void CFlashToolDlg::ShowTransfer() {
  m_bPayloadQueued.store(false);
  const auto at = [](int64_t ticks) { return TransferMeter::Clock::time_point(TransferMeter::Clock::duration(ticks)); };
  const uint64_t total = m_nPayloadOf.load();
  const bool first = !m_transfer.Started();
  if (first) {
    m_strTitle = windowTitle();
    m_transfer.Note(m_nPayloadFirstSent.load(), total, at(m_nPayloadFirstAt.load()));
  }
  m_transfer.Note(m_nPayloadSent.load(), total, at(m_nPayloadLastAt.load()));
  const auto now = TransferMeter::Clock::now();
  // A few redraws a second are enough to read, and keep a fast link from
  // spending the window's time on its caption; a report that comes within
  // the wait is drawn when the wait ends, so the caption never stays behind.
  constexpr auto kRedraw = std::chrono::milliseconds(200);
  if (!first && now - m_lastTransferShown < kRedraw) {
    if (!m_bRedrawDue) {
      m_bRedrawDue = true;
      const auto wait = std::chrono::ceil<std::chrono::milliseconds>(kRedraw - (now - m_lastTransferShown));
      QTimer::singleShot(wait, this, [this] {
        m_bRedrawDue = false;
        if (m_transfer.Started()) DrawTransfer();
      });
    }
    return;
  }
  DrawTransfer();
}

void CFlashToolDlg::DrawTransfer() {
  m_lastTransferShown = TransferMeter::Clock::now();
  setWindowTitle(m_strTitle + QString::fromUtf8(" \u2014 ") + QString::fromStdString(m_transfer.Summary()));
  if (m_progress != nullptr) m_progress->setToolTip(QString::fromStdString(m_transfer.Details()));
}

void CFlashToolDlg::EndTransferDisplay() {
  if (!m_transfer.Started()) return;
  setWindowTitle(m_strTitle);
  if (m_progress != nullptr) m_progress->setToolTip({});
  m_transfer.Reset();
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
  if (m_bRecordPending) QCoreApplication::sendPostedEvents(this, WindowMessageEvent::EventType());
}

}  // namespace morvak
