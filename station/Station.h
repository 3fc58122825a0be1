#pragma once
// A station: every handset that appears on a watched port gets a run of its
// own, in parallel with the other ports'. A port whose run has ended waits
// until its handset is unplugged, so that a handset left there is flashed
// once only. The first stop request starts no new run and lets those going
// on end; the second stops them and ends their pending reads. The console
// (flash --watch) and the station window show the same station.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "HandsetChannels.h"
#include "RunOutput.h"

namespace morvak {

struct StationSetup {
  std::string moduleDirectory;
  std::string imagePath;
  bool oneNand = false;
  bool eraseReserved = false;
  std::optional<std::chrono::milliseconds> replyTimeout;  // none: the configuration's
  // How long a run waits for the handset that was seen to open (none: kArrivalWait).
  std::optional<std::chrono::milliseconds> waitTimeout;
  std::optional<uint64_t> units;  // the station ends once this many runs have ended
  std::string recordPath;         // empty: no records
  // The ports watched from the start, each lent to one run at a time.
  std::vector<HandsetChannel> channels;
  // Asked now and then (about once a second) for the channels of ports to
  // watch from then on; it is told the ports already watched. Null: only the
  // ports above.
  std::function<std::vector<HandsetChannel>(const std::vector<std::string>& watched)> newPorts;
  // How often the operator has asked to stop so far (Ctrl-C, Stop station);
  // asked on the station's thread about every 50 ms. Null: never.
  std::function<int()> stopRequests;
  // What went wrong outside any one run: the image or configuration that
  // Start refused before any port was watched, a record that could not be
  // written. Null: not said.
  std::function<void(const std::string& text)> problem;
};

struct StationEnd {
  bool refused = false;              // Start refused the image or configuration: no run
  bool configurationRefused = false;  // ... and it was the configuration
  bool recordsWritten = true;
  std::vector<HandsetOutcome> outcomes;  // every run, in the order they started

  bool AllPassed() const;
};

// Runs the station on the calling thread until `units` runs have ended or a
// stop request has let every run end; shows everything through `output`
// (on this thread), the summary last.
StationEnd RunStationSession(StationSetup setup, IRunOutput& output);

}  // namespace morvak
