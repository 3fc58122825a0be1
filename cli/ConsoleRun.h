#pragma once
// One handset's run on the console: the same run state and worker as the
// window's, with the run's events posted to the command's event queue (tagged
// with the handset) instead of shown.
#include <cstddef>
#include <string>

#include "FlashRun.h"
#include "RunEventQueue.h"

namespace morvak::cli {

class CConsoleRun : public CFlashRun {
 public:
  // Without a queue (only Start's checks are wanted) whatever the run posts is dropped.
  explicit CConsoleRun(CRunEventQueue* events = nullptr, size_t handset = 0);
  ~CConsoleRun() override;

  void OnRunBegins() override {}
  void OnStatusLine(std::string text) override;
  void OnProgressRange(uint32_t upper) override;
  void OnProgressPosition(uint32_t position) override;
  // The console's progress reads the byte count of the handset's channel at
  // its own pace; a queued event per chunk would only load the queue.
  void OnPayloadSent(uint64_t, uint64_t) override {}
  void OnRunOutcome(bool succeeded) override;
  // The worker waits until the box has been dealt with (see CRunPump).
  void OnMessageBox(const std::string& text) override;

 protected:
  void OnWorkerFinished() override;

 private:
  void Post(RunEvent::Kind kind, uint64_t value, bool succeeded, std::string text);

  CRunEventQueue* m_events;
  size_t m_handset;
};

}  // namespace morvak::cli
