#include "Interrupt.h"

#include <poll.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>

#include "CliTexts.h"

namespace morvak::cli {
namespace {

// Everything the handlers touch is a lock-free atomic, and they call only
// clock_gettime and _exit: all of it is safe in a signal handler, on any
// thread the signal is delivered to.
std::atomic<int> g_stopRequests{0};
std::atomic<int> g_endingSignal{0};
// When the stop requests reached 2 (monotonic milliseconds); 0: not yet.
std::atomic<int64_t> g_endedAtMs{0};

// A third Ctrl-C sooner than this after the second is taken for the same hurry.
constexpr int64_t kQuitAtOnceAfterMs = 2000;
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

int64_t NowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  // Never 0, which stands for "not yet".
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000 + 1;
}

void EndAs(int signal) {
  int none = 0;
  if (g_endingSignal.compare_exchange_strong(none, signal)) g_endedAtMs.store(NowMs());
  g_stopRequests.store(2);
}

void OnSignal(int signal) {
  if (signal != SIGINT) {
    EndAs(signal);
    return;
  }
  int requests = g_stopRequests.load();
  if (requests == 0 && g_stopRequests.compare_exchange_strong(requests, 1)) return;
  if (requests == 1) {
    EndAs(SIGINT);
    return;
  }
  const int64_t endedAt = g_endedAtMs.load();
  if (endedAt != 0 && NowMs() - endedAt >= kQuitAtOnceAfterMs) _exit(clitexts::kExitOnSignal + SIGINT);
}

}  // namespace

void InstallInterruptHandler() {
  struct sigaction action {};
  action.sa_handler = OnSignal;
  // A write to a slow output that a signal interrupts goes on: it would
  // otherwise fail, and be taken for an output that went away.
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  // One handler at a time on a thread: none sees another's work half done.
  for (const int signal : kEndingSignals) sigaddset(&action.sa_mask, signal);
  for (const int signal : kEndingSignals) sigaction(signal, &action, nullptr);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, nullptr);
}

int StopRequests() { return g_stopRequests.load(); }

int EndingSignal() {
  if (const int signal = g_endingSignal.load(); signal != 0) return signal;
  return StopRequests() > 0 ? SIGINT : 0;
}

void EndSession(int signal) { EndAs(signal); }

void WaitForEnter() {
  const int before = StopRequests();
  for (;;) {
    pollfd fd{STDIN_FILENO, POLLIN, 0};
    if (poll(&fd, 1, 100) > 0) {
      char c = 0;
      const ssize_t n = read(STDIN_FILENO, &c, 1);
      if (n <= 0 || c == '\n') return;
    }
    if (StopRequests() != before) return;
  }
}

}  // namespace morvak::cli
