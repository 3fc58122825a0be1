#include "Interrupt.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>

#include "CliTexts.h"

namespace morvak::cli {
namespace {

std::atomic<int> g_stopRequests{0};

void OnInterrupt(int) {
  if (g_stopRequests.fetch_add(1) >= 2) _exit(clitexts::kExitInterrupted);
}

}  // namespace

void InstallInterruptHandler() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}

int StopRequests() { return g_stopRequests.load(); }

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
