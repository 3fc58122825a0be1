#pragma once
// What a run reports to the front end that shows it: its lines, progress,
// message boxes, transfer and result. Called on the session's thread only,
// in the order the run posted; a front end overrides what it shows.
#include <cstddef>
#include <cstdint>
#include <string>

#include "HandsetOutcome.h"
#include "RunEventQueue.h"

namespace morvak {

// A port of a session: its number (in the order the session took its ports)
// and its name ("1-2.3", "virtual-2"; empty for the first matching USB
// handset until its run has opened it).
struct PortRef {
  size_t index = 0;
  std::string name;
};

// A unit (one handset's run) on its port; `unit` numbers the session's runs
// in the order they started.
struct UnitRef {
  PortRef port;
  size_t unit = 0;
};

class IRunReport {
 public:
  virtual ~IRunReport() = default;
  // A status line of the run.
  virtual void Line(const UnitRef& /*unit*/, const RunEvent& /*event*/) {}
  // A progress range or position (RunEvent::kProgressRange, kProgressPosition).
  virtual void Progress(const UnitRef& /*unit*/, const RunEvent& /*event*/) {}
  // A message box of the run; the run waits until this returns.
  virtual void Box(const UnitRef& /*unit*/, const RunEvent& /*event*/) {}
  // The run has sent `sent` image payload bytes of `total`: about every 50 ms
  // while it sends, and once more as it ends.
  virtual void Payload(const UnitRef& /*unit*/, uint64_t /*sent*/, uint64_t /*total*/) {}
  // The run has ended (or Start refused it); its port name is now known. Its
  // record, when one is kept, has been written (or failed) before this.
  virtual void Result(const UnitRef& /*unit*/, const HandsetOutcome& /*outcome*/) {}
  // The run ended before it flashed, because its unit had had its run (`line`
  // says when and where): no result, record or tally for it.
  virtual void TurnedAway(const UnitRef& /*unit*/, const std::string& /*line*/) {}
};

}  // namespace morvak
