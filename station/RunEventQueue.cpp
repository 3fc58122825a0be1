#include "RunEventQueue.h"

namespace morvak {

void CRunEventQueue::Post(RunEvent event) {
  event.time = std::chrono::system_clock::now();
  {
    std::lock_guard lock(m_mutex);
    m_events.push_back(std::move(event));
  }
  m_wake.notify_one();
}

void CRunEventQueue::PostBoxAndWait(size_t handset, std::string text) {
  RunEvent event;
  event.kind = RunEvent::kBox;
  event.handset = handset;
  event.text = std::move(text);
  event.closed = std::make_shared<std::promise<void>>();
  std::future<void> closed = event.closed->get_future();
  Post(std::move(event));
  closed.wait();
}

std::deque<RunEvent> CRunEventQueue::Take(std::chrono::milliseconds wait) {
  std::unique_lock lock(m_mutex);
  m_wake.wait_for(lock, wait, [this] { return !m_events.empty(); });
  std::deque<RunEvent> events;
  events.swap(m_events);
  return events;
}

}  // namespace morvak
