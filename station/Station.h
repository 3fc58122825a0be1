#pragma once
// The one engine below every front end that runs handsets in parallel: the
// console's flash (one handset, several, every port, a virtual bench), its
// flash --watch and the station window.
//
// A session flashes on a set of ports, each lent to one run at a time. Ports
// given at the start each run once, right away (the run waits for its
// handset). A watching session (`rearm`) instead looks at its idle ports and
// starts a run for every handset that appears; a port whose run has ended
// waits until its handset is unplugged, so that a handset left there is
// flashed once only; a unit is known by its ASIC ID, so that one which passed
// is not flashed again in the session, and a handset swapped faster than the
// looks is still a new one. The first stop request stops the runs (a watching
// session: starts no new run and lets those going on end); the second stops
// them and ends their pending reads. Each run's record is written as it ends,
// before its result is reported; once a record cannot be written (or the
// record file cannot be used) no further run starts.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "FlashRun.h"
#include "HandsetOutcome.h"
#include "PortChoice.h"
#include "RunReport.h"
#include "StationReport.h"

namespace morvak {

struct StationSetup {
  // What every run takes at Start. A watching session's runs wait for the
  // handset that was seen for at most waitTimeout (none: kArrivalWait).
  RunSettings run;
  // The ports, their finder of further ports (watching only), and the
  // handsets found that cannot be opened (shown after the runs).
  ChosenPorts ports;
  bool rearm = false;
  std::optional<uint64_t> units;  // a watching session ends once this many runs have ended
  // A watching session ends once no handset has been there, and no run gone
  // on, for this long. None: it watches until stopped.
  std::optional<std::chrono::milliseconds> idleEnd;
  // A watching session turns a unit away that passed in the session (known by
  // its ASIC ID) unless this is set.
  bool reflash = false;
  std::string recordPath;         // empty: no records
  // How often the operator has asked to stop so far (Ctrl-C, Stop station);
  // asked on the session's thread about every 50 ms. Null: never.
  std::function<int()> stopRequests;
};

struct StationEnd {
  bool refused = false;               // Start refused the image or configuration
  bool configurationRefused = false;  // ... and it was the configuration
  bool recordsWritten = true;  // every record asked for was written and the record file stayed usable
  bool idleEnded = false;      // the watch ended because no handset came for idleEnd
  int stopRequests = 0;                  // as seen by the session
  std::vector<HandsetOutcome> outcomes;  // every run in the order they started, then the unopened
  std::vector<HandsetChannel> channels;  // the ports, given back (a virtual handset's blocks)

  bool AllPassed() const;
};

// Runs the session on the calling thread until every port has had its run
// (a watching session: until `units` runs have ended, or a stop request has
// let every run end); reports through `runs` and `station` on this thread,
// the summary last.
StationEnd RunStationSession(StationSetup setup, IRunReport& runs, IStationReport& station);

}  // namespace morvak
