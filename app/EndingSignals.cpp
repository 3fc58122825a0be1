#include "EndingSignals.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>

namespace morvak {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};
// The self-pipe: the handler writes into [1], the notifier reads [0].
int g_pipe[2] = {-1, -1};

void OnSignal(int signal) {
  const int savedErrno = errno;
  const char byte = static_cast<char>(signal);
  // A full pipe already holds a signal to act on: this one may go.
  [[maybe_unused]] const ssize_t written = write(g_pipe[1], &byte, 1);
  errno = savedErrno;
}

}  // namespace

EndingSignals::EndingSignals(std::function<void(int signal)> onSignal) : m_onSignal(std::move(onSignal)) {
  if (pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read);
  QObject::connect(m_notifier, &QSocketNotifier::activated, m_notifier, [this] { Take(); });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (const int signal : kSignals) sigaction(signal, &action, nullptr);
}

EndingSignals::~EndingSignals() {
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  for (const int signal : kSignals) sigaction(signal, &fallback, nullptr);
  delete m_notifier;
  for (int& fd : g_pipe) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
}

void EndingSignals::Take() {
  char bytes[16];
  const ssize_t n = read(g_pipe[0], bytes, sizeof bytes);
  if (n <= 0 || m_received != 0) return;
  m_received = static_cast<unsigned char>(bytes[0]);
  if (m_onSignal) m_onSignal(m_received);
}

}  // namespace morvak
