#include "QueuedRun.h"

namespace morvak {

CQueuedRun::CQueuedRun(CRunEventQueue* events, size_t handset) : m_events(events), m_handset(handset) {}

CQueuedRun::~CQueuedRun() { Shutdown(); }

void CQueuedRun::Post(RunEvent::Kind kind, uint64_t value, bool succeeded, std::string text) {
  if (m_events == nullptr) return;
  RunEvent event;
  event.kind = kind;
  event.handset = m_handset;
  event.value = value;
  event.succeeded = succeeded;
  event.text = std::move(text);
  m_events->Post(std::move(event));
}

void CQueuedRun::OnStatusLine(std::string text) { Post(RunEvent::kLine, 0, false, std::move(text)); }

void CQueuedRun::OnProgressRange(uint32_t upper) { Post(RunEvent::kProgressRange, upper, false, {}); }

void CQueuedRun::OnProgressPosition(uint32_t position) { Post(RunEvent::kProgressPosition, position, false, {}); }

void CQueuedRun::OnRunOutcome(bool succeeded) { Post(RunEvent::kOutcome, 0, succeeded, {}); }

void CQueuedRun::OnPayloadSent(uint64_t sent, uint64_t total) {
  m_payloadTotal.store(total, std::memory_order_relaxed);
  m_payloadSent.store(sent, std::memory_order_release);
}

CQueuedRun::Payload CQueuedRun::PayloadSent() const {
  Payload p;
  p.sent = m_payloadSent.load(std::memory_order_acquire);
  p.total = m_payloadTotal.load(std::memory_order_relaxed);
  return p;
}

void CQueuedRun::OnWorkerFinished() { Post(RunEvent::kFinished, 0, false, {}); }

void CQueuedRun::OnMessageBox(const std::string& text) {
  if (m_events != nullptr) m_events->PostBoxAndWait(m_handset, text);
}

}  // namespace morvak
