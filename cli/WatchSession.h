#pragma once
// The console as a station (flash --watch), its stop requests Ctrl-C: the
// first starts no new run and lets those going on end; the second stops them
// and ends their reads.
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "CliOptions.h"
#include "HandsetChannels.h"
#include "RunOutput.h"

namespace morvak::cli {

struct WatchSetup {
  std::string moduleDirectory;
  std::string recordPath;  // empty: no records
  // The ports watched from the start, each lent to one run at a time.
  std::vector<HandsetChannel> channels;
  // Asked now and then (about once a second) for the channels of ports to
  // watch from then on; it is told the ports already watched. Null: only the
  // ports above.
  std::function<std::vector<HandsetChannel>(const std::vector<std::string>& watched)> newPorts;
};

// Runs the station until --units runs have ended or Ctrl-C, then shows the
// summary. 0 when no run failed, 1 when one did (or a record could not be
// written), 78 when Start refuses the configuration.
int RunWatchSession(const FlashOptions& options, WatchSetup setup, IRunOutput& output, std::FILE* err);

}  // namespace morvak::cli
