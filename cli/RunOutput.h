#pragma once
// How a console command shows its runs: status lines as text (CTextOutput)
// or JSON lines (CJsonOutput). Called on the main thread only, in the order
// the runs posted.
#include <chrono>
#include <string>
#include <vector>

#include "HandsetOutcome.h"
#include "RecordTotals.h"
#include "RunEventQueue.h"

namespace morvak::cli {

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
};

}  // namespace morvak::cli
