#pragma once
// The ports a station watches, as its front end chooses them: a virtual
// bench, the USB ports named, the one of Port=, or every port where a handset
// with the configured ids appears.
#include <string>
#include <vector>

#include "Station.h"

namespace morvak {

struct StationPortChoice {
  bool virtualHandsets = false;
  std::string faults;      // the bench's fault text (count=, cycle=, ...)
  std::string configPath;  // file/LURRA.ini
  std::vector<std::string> ports;  // USB ports named (--port); they take the place of Port=
  bool allPorts = false;           // every port, even with Port= set
};

enum class StationPortsResult {
  kChosen,
  kBadFaults,      // the fault text cannot be read: a fault of usage
  kNotConfigured,  // the configuration names no usable handset ids or port
};

// Sets `setup`'s channels and, for every port, its finder of new ports. A
// configuration that cannot be read chooses no port: Start's checks then
// refuse the station in the run's own words. `error` says what to mend.
StationPortsResult ChooseStationPorts(const StationPortChoice& choice, StationSetup& setup, std::string& error);

}  // namespace morvak
