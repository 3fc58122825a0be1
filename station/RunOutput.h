#pragma once
// How a front end shows its runs: the console as text or JSON lines, the
// station window as tiles. Called on one thread only (the one that takes the
// run events), in the order the runs posted.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "HandsetOutcome.h"
#include "RecordTotals.h"
#include "RunEventQueue.h"

namespace morvak {

// Where a station's port stands.
enum class PortState {
  Waiting,   // no handset, or one about to be flashed
  Flashing,
  Passed,    // the handset that passed is still plugged in
  Failed,    // the handset that failed is still plugged in
  Unusable,  // no access, busy, no ids configured
  Closed,    // the port's channel was interrupted: it is watched no more
};

class IRunOutput {
 public:
  virtual ~IRunOutput() = default;
  // A status line of the handset on `port`.
  virtual void Line(const std::string& port, const RunEvent& event) = 0;
  // A progress range or position (RunEvent::kProgressRange, kProgressPosition).
  virtual void Progress(const std::string& port, const RunEvent& event) = 0;
  // A message box of the run; returns once it has been dealt with.
  virtual void Box(const std::string& port, const RunEvent& event) = 0;
  // The run of handset number `handset` (the events' number) has ended; its
  // Result follows.
  virtual void HandsetEnded(size_t /*handset*/) {}
  // The run of one handset has ended.
  virtual void Result(const HandsetOutcome& outcome) = 0;
  // Ctrl-C asked every run to stop; with `endingReads` (the second Ctrl-C)
  // every pending read of the handsets is ended too.
  virtual void Stopping(bool endingReads) = 0;
  // Every run has ended, before anything else is shown (a progress display
  // ends its lines).
  virtual void RunsEnded() {}
  // A station's runs so far, after each Result (flash --watch).
  virtual void Tally(const RecordTotals& /*tally*/) {}
  // Every run has ended.
  virtual void Summary(const std::vector<HandsetOutcome>& outcomes) = 0;
  // Nothing came for a while (redraws a progress bar).
  virtual void Idle() {}

  // A station's port has gone into `state`; `detail` is what the operator
  // can mend when it is Unusable, else "".
  virtual void PortChanged(const std::string& /*port*/, PortState /*state*/, const std::string& /*detail*/) {}
  // A station's run on `port` has sent `sent` image payload bytes of `total`
  // (about every 50 ms while it sends).
  virtual void Payload(const std::string& /*port*/, uint64_t /*sent*/, uint64_t /*total*/) {}
};

// Takes one event of a run into its outcome and the output, as every front
// end that queues its runs' events does; true for kFinished, which the caller
// acts on itself (the worker has returned).
bool ApplyRunEvent(RunEvent& event, HandsetOutcome& outcome, IRunOutput& output);

}  // namespace morvak
