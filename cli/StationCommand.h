#pragma once
// flash --watch: the ports the station watches and how it shows its runs.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "CliOptions.h"
#include "HandsetChannels.h"
#include "UsbDeviceMatch.h"

namespace morvak::cli {

struct StationPorts {
  // Virtual handsets, or the USB ports of --port or Port=.
  std::vector<HandsetChannel> channels;
  // Set: every port where a handset with these ids appears is watched too.
  std::optional<UsbDeviceMatch> everyPort;
  std::string configPath;
};

// The station's exit status (see RunWatchSession).
int RunStation(const FlashOptions& options, StationPorts ports, const std::string& moduleDirectory, std::FILE* out,
               std::FILE* err);

}  // namespace morvak::cli
