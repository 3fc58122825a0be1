#include "Terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace morvak::cli {
namespace {

// A counter, not a flag, so that each watch sees every resize after its own start.
std::atomic<unsigned> g_resizes{0};
static_assert(std::atomic<unsigned>::is_always_lock_free, "the handler may only touch lock-free atomics");

void OnResize(int) { g_resizes.fetch_add(1, std::memory_order_relaxed); }

}  // namespace

bool TakesControlCodes(std::FILE* stream) {
  if (stream == nullptr || isatty(fileno(stream)) == 0) return false;
  const char* term = std::getenv("TERM");
  return term != nullptr && *term != '\0' && std::strcmp(term, "dumb") != 0;
}

TerminalSize TerminalSizeOf(int fd) {
  TerminalSize size;
  winsize ws{};
  if (ioctl(fd, TIOCGWINSZ, &ws) == 0) {
    if (ws.ws_col > 0) size.columns = ws.ws_col;
    if (ws.ws_row > 0) size.rows = ws.ws_row;
  }
  return size;
}

ResizeWatch::ResizeWatch() : m_seen(g_resizes.load()) {
  struct sigaction action {};
  action.sa_handler = OnResize;
  // A resize is no reason for a worker's read or sleep to fail.
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  sigaction(SIGWINCH, &action, &m_previous);
}

ResizeWatch::~ResizeWatch() { sigaction(SIGWINCH, &m_previous, nullptr); }

bool ResizeWatch::Resized() {
  const unsigned now = g_resizes.load();
  const bool resized = now != m_seen;
  m_seen = now;
  return resized;
}

}  // namespace morvak::cli
