#pragma once
// CFlashToolDlg: the main window, and the home of a flashing run's state. The
// run (FlashRun) reaches the window only through its events, which the window
// turns into posted messages, a message box it waits on, and, at its end, the
// enabled states of Start and Stop.
#include <QIcon>
#include <QPixmap>
#include <QString>
#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "Dialog.h"
#include "FlashRun.h"
#include "LineLog.h"
#include "TransferMeter.h"

class QCheckBox;
class QLabel;

namespace morvak {

class CProgressCtrl;

// The window hears its run's events itself (IRunEvents comes before the run
// state, so it is whole when the run is made with it).
class CFlashToolDlg : public CDialog, public IRunEvents, public FlashRun {
 public:
  explicit CFlashToolDlg(QWidget* parent = nullptr);
  ~CFlashToolDlg() override;

  // --- Window fields; the image path and the flash type are the run's
  // m_strImagePath and m_nFlashType.
  std::string m_strPendingStatus;
  QCheckBox* m_btnEraseReserved = nullptr;
  QLabel* m_picStatus = nullptr;
  CProgressCtrl* m_progress = nullptr;
  // The log, newest line first; a line on top costs that line alone.
  LineLog m_strStatusLog;
  QIcon m_hIcon;
  QPixmap m_hBmpBusy;
  QPixmap m_hBmpFailure;
  QPixmap m_hBmpSuccess;

  void DoDataExchange(CDataExchange* pDX) override;

  // --- Handlers (window thread).
  void OnStartFlashing();
  void OnStopFlashing();
  void OnBrowse();
  void OnCloseWindows();
  void OnDropFiles(const std::vector<std::string>& names) override;
  // The IMAGE of the command line, taken as a file dropped on the window is
  // (a drop names files by their full path); the window must be created.
  void ChooseImageFromCommandLine(const std::string& image);
  void OnSysCommand(unsigned id, intptr_t lParam) override;
  // Puts `text` on top of the log and sends every bound field to its control.
  void AppendStatusLine(std::string text);
  intptr_t DefWindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

  void LoadImagePathSetting();
  void SaveImagePathSetting();

  // --- The run's events (any thread): each becomes the window message of
  // the run's catalogue, posted to this window; the payload sent is shown in
  // the caption and the progress bar's tooltip.
  void OnRunBegins() override;
  void OnStatusLine(std::string text) override;
  void OnProgressRange(uint32_t upper) override;
  void OnProgressPosition(uint32_t position) override;
  void OnPayloadSent(uint64_t sent, uint64_t total) override;
  void OnRunOutcome(bool succeeded) override;
  void OnMessageBox(const std::string& text) override;

 protected:
  bool OnInitDialog() override;
  void OnDestroy() override;
  // Enter, "Close Windows", Esc and the close box: while a run is going on
  // they ask first, and "No" leaves the window and the run as they are.
  void OnOK() override;
  void OnCancel() override;
  void OnCommand(int id) override;
  intptr_t WindowProc(const WindowMessageEvent& message) override;
  // Space, Enter and Return on "Stop flashing" during a run ask first: the
  // focus rests on Stop while a run goes on, so a stray key must not end it.
  bool eventFilter(QObject* watched, QEvent* event) override;
  void ReleaseRunControls() override;
  // Start's settings as the window's fields and controls give them.
  RunSettings StartSettings() const;

 private:
  // Ends a run that is still going: stops it, ends a pending read, and waits
  // for the worker while serving the calls it makes into the window.
  void EndRun();
  // A run this window started is going on: its worker lives, has not given
  // Start back, and nobody has asked it to stop (window thread).
  bool RunGoingOn() const;
  // True when the window may close: at once when no run is going on, else
  // when the operator says so.
  bool MayClose();
  // Enables or disables "Start flashing" or "Stop flashing". A disabled
  // button with the keyboard focus would pass it along the tab order to
  // "Close Windows", where a stray Space or Enter ends the program: the focus
  // goes to the other of the two instead, once that one is enabled.
  void EnableRunButton(int id, bool enable);
  // Shows the transfer's share, rate and time left in the caption and as the
  // progress bar's tooltip (window thread); EndTransferDisplay puts the
  // caption back to the title.
  void ShowTransfer();
  void DrawTransfer();
  void EndTransferDisplay();
  // Appends the ended run's record when the configuration names a record
  // file; a record that cannot be written gets a line of its own.
  void RecordRun(bool succeeded);

  // The worker has given Start back: it returns within moments (window thread).
  bool m_bRunEnding = false;
  // The run button that takes the focus when it is enabled next (window thread).
  int m_nFocusOwedTo = 0;
  // A run this window started whose record is still to be written, and when
  // its worker was started (window thread).
  bool m_bRecordPending = false;
  std::chrono::system_clock::time_point m_runStarted;
  // The payload count as the worker last reported it, and whether a call to
  // show it is already queued: reports that come faster than the window
  // shows them are folded into that call.
  std::atomic<uint64_t> m_nPayloadSent{0};
  std::atomic<uint64_t> m_nPayloadFirstSent{0};
  // Steady-clock ticks of the run's first and latest report; 0: none yet.
  std::atomic<int64_t> m_nPayloadFirstAt{0};
  std::atomic<int64_t> m_nPayloadLastAt{0};
  std::atomic<uint64_t> m_nPayloadOf{0};
  std::atomic<bool> m_bPayloadQueued{false};
  // The transfer as shown (window thread); the caption before it was shown.
  TransferMeter m_transfer;
  QString m_strTitle;
  TransferMeter::Clock::time_point m_lastTransferShown;
  bool m_bRedrawDue = false;
};

}  // namespace morvak
