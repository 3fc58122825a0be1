#include "RunEventQueue.h"

namespace morvak {

void RunEventQueue::Post(RunEvent event) {
  event.time = std::chrono::system_clock::now();
  {
    std::lock_guard lock(m_mutex);
    m_events.push_back(std::move(event));
  }
  m_wake.notify_one();
}

void RunEventQueue::PostBoxAndWait(size_t unit, std::string text) {
  RunEvent event;
  event.kind = RunEvent::kBox;
  event.unit = unit;
  event.text = std::move(text);
  event.closed = std::make_shared<std::promise<void>>();
  std::future<void> closed = event.closed->get_future();
  Post(std::move(event));
  closed.wait();
}

std::deque<RunEvent> RunEventQueue::Take(std::chrono::milliseconds wait) {
  std::unique_lock lock(m_mutex);
  m_wake.wait_for(lock, wait, [this] { return !m_events.empty(); });
  std::deque<RunEvent> events;
  events.swap(m_events);
  return events;
}

}  // namespace morvak
