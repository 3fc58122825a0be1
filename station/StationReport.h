#pragma once
// What a session of runs reports beside its runs' own reports: its ports'
// states, its lines and problems, the operator's stop requests, the tally and
// the summary. Called on the session's thread only; a front end overrides
// what it shows.
#include <string>
#include <vector>

#include "HandsetOutcome.h"
#include "RecordTotals.h"
#include "RunReport.h"

namespace morvak {

// Where a port stands.
enum class PortState {
  Waiting,   // no handset, or one about to be flashed
  Flashing,
  Passed,    // the handset that passed is still plugged in
  Failed,    // the handset that failed is still plugged in
  Stopped,   // the handset whose run the operator stopped is still plugged in
  Unusable,  // no access, busy, no ids configured
  Closed,    // the port's channel was interrupted: it is watched no more
};

class IStationReport {
 public:
  virtual ~IStationReport() = default;
  // `port` has gone into `state`; `detail` is what the operator can mend
  // when it is Unusable, else "".
  virtual void PortChanged(const PortRef& /*port*/, PortState /*state*/, const std::string& /*detail*/) {}
  // A line of the session's own about a port (what to unplug, what to mend).
  virtual void PortLine(const PortRef& /*port*/, const RunEvent& /*event*/) {}
  // What went wrong outside any run: the image or configuration that Start
  // refused before any port was watched, a record that could not be written,
  // ports that could not be listed, the end of a session's wait for handsets.
  virtual void Problem(const std::string& /*text*/) {}
  // The operator asked to stop; with `endingReads` (the second request) every
  // pending read of the runs is ended too.
  virtual void Stopping(bool /*endingReads*/) {}
  // The runs so far, after each result (a watching session only).
  virtual void Tally(const RecordTotals& /*tally*/) {}
  // Every run has ended, before anything else is shown.
  virtual void RunsEnded() {}
  // The session's end: every run, in the order they started, then the
  // handsets found that could not be opened.
  virtual void Summary(const std::vector<HandsetOutcome>& /*outcomes*/) {}
  // Nothing came for a while (a progress display redraws).
  virtual void Idle() {}
};

}  // namespace morvak
