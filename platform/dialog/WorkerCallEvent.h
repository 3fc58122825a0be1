#pragma once
// A call a worker thread asks the window thread to carry out, and waits on,
// as a cross-thread SendMessage waits. The worker waits on a mutex and
// condition of its own rather than on Qt's blocking connection, so that the
// hand-back is visible to the thread sanitizer. The event wakes the worker
// when it is destroyed: after the call has run, or when the event is dropped
// unhandled (its receiver destroyed first), so that no worker waits forever.
#include <QEvent>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace morvak {

class WorkerCallEvent : public QEvent {
 public:
  // What the worker waits on; it outlives the event.
  struct Waiter {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    // Returns once the event has run the call or been dropped.
    void Wait();
  };

  WorkerCallEvent(const std::function<void()>& call, Waiter& waiter);
  ~WorkerCallEvent() override;
  WorkerCallEvent(const WorkerCallEvent&) = delete;
  WorkerCallEvent& operator=(const WorkerCallEvent&) = delete;

  static QEvent::Type EventType();
  void Run() const { m_call(); }

 private:
  const std::function<void()>& m_call;
  Waiter& m_waiter;
};

}  // namespace morvak
