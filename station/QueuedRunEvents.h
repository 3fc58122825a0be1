#pragma once
// A run's events, as the session's runs tell them: posted to the session's one
// queue (tagged with the unit), except the payload count, which is kept for
// the session to read at its own pace (a queued event per 64 KiB chunk would
// only load the queue).
#include <atomic>
#include <cstddef>
#include <string>

#include "RunEventQueue.h"
#include "RunEvents.h"

namespace morvak {

class QueuedRunEvents : public IRunEvents {
 public:
  QueuedRunEvents(RunEventQueue& events, size_t unit) : m_events(events), m_unit(unit) {}

  void OnStatusLine(std::string text) override;
  void OnProgressRange(uint32_t upper) override;
  void OnProgressPosition(uint32_t position) override;
  void OnPayloadSent(uint64_t sent, uint64_t total) override;
  void OnRunOutcome(bool succeeded) override;
  // The worker waits until the session has dealt with the box.
  void OnMessageBox(const std::string& text) override;
  void OnWorkerFinished() override;

  // The image payload the link has sent so far and the run's whole payload;
  // safe from any thread. Both 0 until the first byte.
  struct Payload {
    uint64_t sent = 0;
    uint64_t total = 0;
  };
  Payload PayloadSent() const;

 private:
  void Post(RunEvent::Kind kind, uint64_t value, bool succeeded, std::string text);

  RunEventQueue& m_events;
  size_t m_unit;
  // The total is stored before the count: a reader that sees a count sees its total.
  std::atomic<uint64_t> m_payloadSent{0};
  std::atomic<uint64_t> m_payloadTotal{0};
};

}  // namespace morvak
