#include "QueuedRunEvents.h"

namespace morvak {

void QueuedRunEvents::Post(RunEvent::Kind kind, uint64_t value, bool succeeded, std::string text) {
  RunEvent event;
  event.kind = kind;
  event.unit = m_unit;
  event.value = value;
  event.succeeded = succeeded;
  event.text = std::move(text);
  m_events.Post(std::move(event));
}

void QueuedRunEvents::OnStatusLine(std::string text) { Post(RunEvent::kLine, 0, false, std::move(text)); }

void QueuedRunEvents::OnProgressRange(uint32_t upper) { Post(RunEvent::kProgressRange, upper, false, {}); }

void QueuedRunEvents::OnProgressPosition(uint32_t position) { Post(RunEvent::kProgressPosition, position, false, {}); }

void QueuedRunEvents::OnRunOutcome(bool succeeded) { Post(RunEvent::kOutcome, 0, succeeded, {}); }

void QueuedRunEvents::OnPayloadSent(uint64_t sent, uint64_t total) {
  m_payloadTotal.store(total, std::memory_order_relaxed);
  m_payloadSent.store(sent, std::memory_order_release);
}

QueuedRunEvents::Payload QueuedRunEvents::PayloadSent() const {
  Payload p;
  p.sent = m_payloadSent.load(std::memory_order_acquire);
  p.total = m_payloadTotal.load(std::memory_order_relaxed);
  return p;
}

void QueuedRunEvents::OnWorkerFinished() { Post(RunEvent::kFinished, 0, false, {}); }

void QueuedRunEvents::OnMessageBox(const std::string& text) { m_events.PostBoxAndWait(m_unit, text); }

}  // namespace morvak
