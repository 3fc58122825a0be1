#include "StationCommand.h"

#include <algorithm>
#include <memory>

#include "JsonOutput.h"
#include "RunRecord.h"
#include "TextOutput.h"
#include "UsbDeviceList.h"
#include "WatchSession.h"

namespace morvak::cli {
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

int RunStation(const FlashOptions& options, StationPorts ports, const std::string& moduleDirectory, std::FILE* out,
               std::FILE* err) {
  WatchSetup setup;
  setup.moduleDirectory = moduleDirectory;
  // Records are asked for by the command line or, failing that, the configuration.
  setup.recordPath = !options.record.empty() ? options.record : ConfiguredRecordFile(moduleDirectory);
  setup.channels = std::move(ports.channels);
  if (ports.everyPort) {
    setup.newPorts = [configPath = ports.configPath, match = *ports.everyPort](const std::vector<std::string>& watched) {
      return NewUsbPorts(configPath, match, watched);
    };
  }
  std::unique_ptr<IRunOutput> output;
  if (options.json)
    output = std::make_unique<CJsonOutput>(out);
  else
    output = std::make_unique<CTextOutput>(out, err, TextOutputMode{true, nullptr, false, true});
  return RunWatchSession(options, std::move(setup), *output, err);
}

}  // namespace morvak::cli
