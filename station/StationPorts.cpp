#include "StationPorts.h"

#include <algorithm>

#include "ProfileFile.h"
#include "UsbDeviceList.h"
#include "UsbDeviceMatch.h"
#include "VirtualHandsets.h"

namespace morvak {
namespace {

// The ports with a handset of `match`'s ids that are not watched yet.
std::vector<HandsetChannel> NewUsbPorts(const std::string& configPath, UsbDeviceMatch match,
                                        const std::vector<std::string>& watched) {
  match.portPath.clear();
  std::vector<UsbDeviceInfo> devices;
  std::vector<std::string> fresh;
  if (ListUsbDevices(&match, devices) != 0) return {};
  for (const UsbDeviceInfo& d : devices) {
    if (!d.matches || d.portPath.empty()) continue;
    if (std::find(watched.begin(), watched.end(), d.portPath) != watched.end()) continue;
    if (std::find(fresh.begin(), fresh.end(), d.portPath) != fresh.end()) continue;
    fresh.push_back(d.portPath);
  }
  // No ports would be one channel for the first match: nothing new is none.
  if (fresh.empty()) return {};
  return MakeUsbChannels(configPath, fresh);
}

}  // namespace

StationPortsResult ChooseStationPorts(const StationPortChoice& choice, StationSetup& setup, std::string& error) {
  if (choice.virtualHandsets) {
    VirtualHandsetSet set;
    if (!ParseVirtualHandsets(choice.faults, set, error)) return StationPortsResult::kBadFaults;
    setup.channels = MakeVirtualChannels(set.ports);
    return StationPortsResult::kChosen;
  }
  CProfileFile profile;
  const ProfileLoadResult loaded = CProfileFile::LoadChecked(choice.configPath, profile);
  if (loaded != ProfileLoadResult::kLoaded && loaded != ProfileLoadResult::kMissing)
    return StationPortsResult::kChosen;
  // Without ids a real handset is never found: say what to set at once
  // rather than wait for ever. A port named takes the place of Port=.
  UsbDeviceMatch match;
  const std::string port = choice.ports.empty() ? std::string() : choice.ports.front();
  if (CheckUsbDeviceMatch(profile, choice.configPath, match, error, port) != UsbConfigState::Configured)
    return StationPortsResult::kNotConfigured;
  if (!choice.ports.empty() || (!match.portPath.empty() && !choice.allPorts)) {
    setup.channels = MakeUsbChannels(choice.configPath, choice.ports.empty() ? std::vector{match.portPath} : choice.ports);
    return StationPortsResult::kChosen;
  }
  setup.newPorts = [configPath = choice.configPath, match](const std::vector<std::string>& watched) {
    return NewUsbPorts(configPath, match, watched);
  };
  return StationPortsResult::kChosen;
}

}  // namespace morvak
