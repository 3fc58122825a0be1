#pragma once
// One handset's run on the console: the same run state and worker as the
// window's, with the window's messages posted to the command's event queue
// (tagged with the handset) instead of shown.
#include <cstddef>
#include <string>

#include "FlashRun.h"
#include "RunEvents.h"

namespace morvak::cli {

class CConsoleRun : public CFlashRun {
 public:
  // Without a queue (only Start's checks are wanted) whatever the run posts is dropped.
  explicit CConsoleRun(CRunEvents* events = nullptr, size_t handset = 0);
  ~CConsoleRun() override;

  void PostWindowMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  void PostStatusLine(std::string text) override;
  // The worker waits until the box has been dealt with (see CRunPump).
  void ShowMessageBox(const std::string& text) override;

 protected:
  void OnWorkerFinished() override;

 private:
  void Post(RunEvent::Kind kind, uint32_t message, uintptr_t wParam, std::string text);

  CRunEvents* m_events;
  size_t m_handset;
};

}  // namespace morvak::cli
