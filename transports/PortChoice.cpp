#include "PortChoice.h"

#include <algorithm>
#include <cstdio>

#include "ProfileFile.h"
#include "UsbDeviceList.h"
#include "UsbDeviceMatch.h"
#include "UsbProblems.h"
#include "VirtualHandsets.h"

namespace morvak {
namespace {

// The ports with a handset of `match`'s ids, those that open and those that
// do not, leaving out `watched`; 0 or libusb's listing code.
uint32_t ListMatchingPorts(UsbDeviceMatch match, const std::vector<std::string>& watched,
                           std::vector<std::string>& openable, std::vector<UnopenedPort>* unopened) {
  match.portPath.clear();  // every port
  std::vector<UsbDeviceInfo> devices;
  if (const uint32_t rc = ListUsbDevices(&match, devices); rc != 0) return rc;
  for (const UsbDeviceInfo& d : devices) {
    if (!d.matches || d.portPath.empty()) continue;
    if (std::find(watched.begin(), watched.end(), d.portPath) != watched.end()) continue;
    if (std::find(openable.begin(), openable.end(), d.portPath) != openable.end()) continue;
    if (d.openable || unopened == nullptr)
      openable.push_back(d.portPath);
    else
      unopened->push_back({d.portPath, d.whyNot});
  }
  return 0;
}

}  // namespace

std::string ListingProblem(uint32_t code) {
  char text[64];
  std::snprintf(text, sizeof text, "cannot list the USB devices (code 0x%08x)", code);
  return text;
}

PortChoiceResult ChoosePorts(const PortRequest& request, ChosenPorts& chosen, std::string& error) {
  if (request.virtualHandsets) {
    VirtualHandsetSet set;
    if (!ParseVirtualHandsets(request.faults, set, error)) return PortChoiceResult::kBadFaults;
    chosen.channels = MakeVirtualChannels(set.ports);
    chosen.several = set.countGiven;
    return PortChoiceResult::kChosen;
  }
  chosen.several = request.allPorts || !request.ports.empty();
  const std::string configPath = request.configPath;
  ProfileFile profile;
  const ProfileLoadResult loaded = ProfileFile::LoadChecked(configPath, profile);
  const bool readable = loaded == ProfileLoadResult::kLoaded || loaded == ProfileLoadResult::kMissing;
  // Without ids a real handset is never found: say what to set at once
  // rather than wait for ever. A port named takes the place of Port=.
  UsbDeviceMatch match;
  if (readable) {
    const std::string port = request.ports.empty() ? std::string() : request.ports.front();
    if (CheckUsbDeviceMatch(profile, configPath, match, error, port) != UsbConfigState::Configured)
      return PortChoiceResult::kNotConfigured;
  }
  if (request.watch) {
    if (!readable) return PortChoiceResult::kChosen;
    if (!request.ports.empty() || (!match.portPath.empty() && !request.allPorts)) {
      chosen.channels = MakeUsbChannels(configPath, request.ports.empty() ? std::vector{match.portPath} : request.ports);
      return PortChoiceResult::kChosen;
    }
    chosen.newPorts = [configPath, match](const std::vector<std::string>& watched, std::vector<HandsetChannel>& found,
                                          std::string& problem) {
      std::vector<std::string> fresh;
      if (const uint32_t rc = ListMatchingPorts(match, watched, fresh, nullptr); rc != 0) {
        problem = ListingProblem(rc);
        return false;
      }
      // No ports would be one channel for the first match: nothing new is none.
      if (!fresh.empty()) found = MakeUsbChannels(configPath, fresh);
      return true;
    };
    return PortChoiceResult::kChosen;
  }
  std::vector<std::string> ports = request.ports;
  if (request.allPorts) {
    if (!readable) {
      error = NotConfiguredProblem(configPath);
      return PortChoiceResult::kNotConfigured;
    }
    if (const uint32_t rc = ListMatchingPorts(match, {}, ports, &chosen.unopened); rc != 0) {
      error = ListingProblem(rc);
      return PortChoiceResult::kListingFailed;
    }
    if (ports.empty() && chosen.unopened.empty()) {
      error = kNoHandsetPresent;
      return PortChoiceResult::kNoHandset;
    }
    // Every handset there cannot be opened: no channel, never the first match.
    if (ports.empty()) return PortChoiceResult::kChosen;
  }
  chosen.channels = MakeUsbChannels(configPath, ports);
  return PortChoiceResult::kChosen;
}

}  // namespace morvak
