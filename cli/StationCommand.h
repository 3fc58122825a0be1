#pragma once
// flash --watch: the console as a station. Ctrl-C is its stop request: the
// first starts no new run and lets those going on end; the second stops them
// and ends their reads.
#include <cstdio>
#include <string>

#include "CliOptions.h"

namespace morvak::cli {

// Runs the station on the ports of --virtual-handset, --port, Port= or every
// port until --units runs have ended or Ctrl-C, then shows the summary. 0
// when no run failed, 1 when one did (or a record could not be written), 2 on
// faults the bench's text has, 78 when the configuration is refused.
int RunStation(const FlashOptions& options, const std::string& configPath, const std::string& moduleDirectory,
               std::FILE* out, std::FILE* err);

}  // namespace morvak::cli
