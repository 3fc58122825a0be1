#pragma once
// A stand-in for an output that may go away under a session (a reader that
// quits, a full disk): the one place that tells a failed write. What is
// written to Stream() goes on to the target, flushed; the first write that
// fails marks the output failed and calls `onFailure`, and from then on
// nothing more is written to the target (the stand-in takes it and drops it,
// so that its writers go on as if it had been written).
#include <cstdio>
#include <functional>

namespace morvak::cli {

class GuardedOutput {
 public:
  GuardedOutput(std::FILE* target, std::function<void()> onFailure);
  ~GuardedOutput();
  GuardedOutput(const GuardedOutput&) = delete;
  GuardedOutput& operator=(const GuardedOutput&) = delete;

  // The stand-in; the target itself when no stand-in could be made.
  std::FILE* Stream() const { return m_stream != nullptr ? m_stream : m_target; }
  bool Failed() const { return m_failed; }

 private:
  static ssize_t Write(void* cookie, const char* data, size_t size);

  std::FILE* m_target;
  std::function<void()> m_onFailure;
  std::FILE* m_stream = nullptr;
  bool m_failed = false;
};

}  // namespace morvak::cli
