#pragma once
// What the console knows of the terminal it draws on: whether a stream is
// one that takes control codes, its size, and when it was resized.
#include <csignal>
#include <cstdio>

namespace morvak::cli {

// True when `stream` is a terminal and TERM names one that takes control
// codes (set, and not "dumb").
bool TakesControlCodes(std::FILE* stream);

struct TerminalSize {
  int columns = 80;  // 80 x 24 when the terminal does not tell
  int rows = 24;
};
TerminalSize TerminalSizeOf(int fd);

// Counts SIGWINCH while it lives: installs its handler (restarting the calls
// it interrupts) and puts back the one before when it goes. Watches live one
// at a time, or end in the reverse order of their start.
class ResizeWatch {
 public:
  ResizeWatch();
  ~ResizeWatch();
  ResizeWatch(const ResizeWatch&) = delete;
  ResizeWatch& operator=(const ResizeWatch&) = delete;

  // True once after every resize (or several) since the last call.
  bool Resized();

 private:
  struct sigaction m_previous {};
  unsigned m_seen;
};

}  // namespace morvak::cli
