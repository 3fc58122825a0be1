#pragma once
// What the runs of one session post, in one queue: each run's worker
// posts, the session's thread takes the events in posting order.
// Every event carries the unit it is about and when it was posted.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <future>
#include <memory>
#include <mutex>
#include <string>

namespace morvak {

struct RunEvent {
  // One per event of the run (see IRunEvents), and kFinished: the worker has
  // returned.
  enum Kind { kLine, kProgressRange, kProgressPosition, kOutcome, kBox, kFinished };
  Kind kind = kLine;
  size_t unit = 0;  // the session's number of the run
  uint64_t value = 0;      // kProgressRange: the upper bound; kProgressPosition: the position
  bool succeeded = false;  // kOutcome
  std::string text;        // kLine, kBox
  std::chrono::system_clock::time_point time;
  // kBox: set once the box has been dealt with; the posting worker waits for it.
  std::shared_ptr<std::promise<void>> closed;
};

class RunEventQueue {
 public:
  // Stamps the event with the time and queues it. Safe from any thread.
  void Post(RunEvent event);
  // Queues a box and waits until whoever takes it has closed it.
  void PostBoxAndWait(size_t unit, std::string text);
  // Every event queued so far, oldest first; waits up to `wait` for one.
  std::deque<RunEvent> Take(std::chrono::milliseconds wait);

 private:
  std::mutex m_mutex;
  std::condition_variable m_wake;
  std::deque<RunEvent> m_events;
};

}  // namespace morvak
