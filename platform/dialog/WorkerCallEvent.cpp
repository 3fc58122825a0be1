#include "WorkerCallEvent.h"

namespace morvak {

void WorkerCallEvent::Waiter::Wait() {
  std::unique_lock lock(mutex);
  done.wait(lock, [this] { return finished; });
}

WorkerCallEvent::WorkerCallEvent(const std::function<void()>& call, Waiter& waiter)
    : QEvent(EventType()), m_call(call), m_waiter(waiter) {}

WorkerCallEvent::~WorkerCallEvent() {
  // Notified under the lock: once the worker sees `finished` the waiter may
  // be gone, and this is the last touch of it.
  std::lock_guard lock(m_waiter.mutex);
  m_waiter.finished = true;
  m_waiter.done.notify_all();
}

QEvent::Type WorkerCallEvent::EventType() {
  static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

}  // namespace morvak
