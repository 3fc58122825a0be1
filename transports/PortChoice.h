#pragma once
// The ports a front end flashes on, chosen one way for every front end: a
// virtual bench, the USB ports named, the one of Port=, the first matching
// handset, or every port where a handset with the configured ids is (now, or
// as it appears while a station watches). The configuration's ids are checked
// here, before any port is opened.
#include <functional>
#include <string>
#include <vector>

#include "HandsetChannels.h"

namespace morvak {

struct PortRequest {
  bool virtualHandsets = false;
  std::string faults;               // the virtual handsets' fault text (count=, cycle=, ...)
  std::string configPath;           // file/LURRA.ini
  std::vector<std::string> ports;   // USB ports named; they take the place of Port=
  bool allPorts = false;            // every port with a matching handset, even with Port= set
  bool watch = false;               // a station: ports are watched for handset after handset
};

// A handset found that cannot be opened, and why.
struct UnopenedPort {
  std::string port;
  std::string whyNot;
};

// Lists the ports with a matching handset that are not in `watched` and
// opens a channel on each; false, with the reason in `problem`, when the USB
// devices could not be listed.
using PortFinder =
    std::function<bool(const std::vector<std::string>& watched, std::vector<HandsetChannel>& found, std::string& problem)>;

struct ChosenPorts {
  std::vector<HandsetChannel> channels;  // the ports taken from the start
  PortFinder newPorts;                   // a station's finder of further ports; null: none
  std::vector<UnopenedPort> unopened;    // handsets found now that cannot be opened
  bool several = false;                  // the command names several handsets (count=, --port, --all-ports)
};

enum class PortChoiceResult {
  kChosen,
  kBadFaults,      // the fault text cannot be read: a fault of usage
  kNotConfigured,  // the configuration names no usable handset ids or port
  kListingFailed,  // the USB devices could not be listed
  kNoHandset,      // every port was asked for and none has a handset
};

// A configuration that cannot be read is no choice of its own: Start's checks
// then refuse the runs in the run's own words. `error` says what to mend.
PortChoiceResult ChoosePorts(const PortRequest& request, ChosenPorts& chosen, std::string& error);

// "cannot list the USB devices (code 0x...)".
std::string ListingProblem(uint32_t code);

// A handset found that cannot be opened: the reason of the device list follows.
inline constexpr const char* kCannotBeOpened = "cannot be opened: ";
inline constexpr const char* kNoHandsetPresent = "no handset with the configured ids is present (see morvak-cli list)";

}  // namespace morvak
