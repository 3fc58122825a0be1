#pragma once
// The console's progress bar: one line on stderr, redrawn in place, only when
// stderr is a terminal (nothing of it goes to a pipe). It shows the progress
// range and position the run posts, and the bytes sent, speed and time left.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace morvak::cli {

class CProgressBar {
 public:
  explicit CProgressBar(std::FILE* err);

  void SetRange(uint64_t range) {
    m_range = range;
    m_position = 0;
  }
  void SetPosition(uint64_t position) { m_position = position; }
  void SetExpectedBytes(uint64_t bytes) { m_expectedBytes = bytes; }
  void SetByteCounter(const std::atomic<uint64_t>* counter) { m_counter = counter; }

  // Redraws at most ten times a second.
  void Draw();
  // Removes the bar so that a line can be printed in its place.
  void Clear();

  // The bar's text for a given state, without terminal control codes.
  static std::string Render(uint64_t range, uint64_t position, uint64_t bytes, uint64_t expectedBytes,
                            double seconds, int width);

 private:
  std::FILE* m_err;
  bool m_enabled;
  bool m_shown = false;
  uint64_t m_range = 0;
  uint64_t m_position = 0;
  uint64_t m_expectedBytes = 0;
  const std::atomic<uint64_t>* m_counter = nullptr;
  std::chrono::steady_clock::time_point m_started;
  std::chrono::steady_clock::time_point m_lastDraw;
};

}  // namespace morvak::cli
