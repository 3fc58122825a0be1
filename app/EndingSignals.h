#pragma once
// SIGTERM, SIGHUP and SIGINT for the window program, which ends its runs and
// records them before it quits. A signal handler may do next to nothing: it
// writes the signal's number into a pipe, and the window's thread hears it
// through a QSocketNotifier, where it may do anything. One at a time per
// process; the signals' dispositions go back to the default with it.
#include <functional>

class QSocketNotifier;

namespace morvak {

class EndingSignals {
 public:
  // Installs the handlers; a signal that comes before the event loop runs
  // waits in the pipe. `onSignal` runs on this (the window's) thread for the
  // first signal only: the later ones change nothing.
  explicit EndingSignals(std::function<void(int signal)> onSignal);
  ~EndingSignals();
  EndingSignals(const EndingSignals&) = delete;
  EndingSignals& operator=(const EndingSignals&) = delete;

  // The first signal received; 0: none.
  int Received() const { return m_received; }

 private:
  void Take();

  std::function<void(int)> m_onSignal;
  QSocketNotifier* m_notifier = nullptr;
  int m_received = 0;
};

}  // namespace morvak
