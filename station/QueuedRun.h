#pragma once
// One handset's run among several (the console's handsets, a station's
// units): the same run state and worker as the window's, with the run's
// events posted to one event queue (tagged with the handset) instead of shown.
#include <atomic>
#include <cstddef>
#include <string>

#include "FlashRun.h"
#include "RunEventQueue.h"

namespace morvak {

class CQueuedRun : public CFlashRun {
 public:
  // Without a queue (only Start's checks are wanted) whatever the run posts is dropped.
  explicit CQueuedRun(CRunEventQueue* events = nullptr, size_t handset = 0);
  ~CQueuedRun() override;

  void OnRunBegins() override {}
  void OnStatusLine(std::string text) override;
  void OnProgressRange(uint32_t upper) override;
  void OnProgressPosition(uint32_t position) override;
  // Kept, not queued: a queued event per chunk would only load the queue, so
  // whoever shows the transfer reads PayloadSent at its own pace.
  void OnPayloadSent(uint64_t sent, uint64_t total) override;
  void OnRunOutcome(bool succeeded) override;
  // The worker waits until the box has been dealt with (see CRunPump).
  void OnMessageBox(const std::string& text) override;

  // The image payload the link has sent so far and the run's whole payload;
  // safe from any thread. Both 0 until the first byte.
  struct Payload {
    uint64_t sent = 0;
    uint64_t total = 0;
  };
  Payload PayloadSent() const;

 protected:
  void OnWorkerFinished() override;

 private:
  void Post(RunEvent::Kind kind, uint64_t value, bool succeeded, std::string text);

  CRunEventQueue* m_events;
  size_t m_handset;
  // The total is stored before the count: a reader that sees a count sees its total.
  std::atomic<uint64_t> m_payloadSent{0};
  std::atomic<uint64_t> m_payloadTotal{0};
};

}  // namespace morvak
