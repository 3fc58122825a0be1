#include "WatchSession.h"

#include "CliTexts.h"
#include "Interrupt.h"
#include "Station.h"

namespace morvak::cli {

int RunWatchSession(const FlashOptions& options, WatchSetup setup, IRunOutput& output, std::FILE* err) {
  StationSetup station;
  station.moduleDirectory = setup.moduleDirectory;
  station.imagePath = options.image;
  station.oneNand = options.oneNand;
  station.eraseReserved = options.eraseReserved;
  station.replyTimeout = options.replyTimeout;
  station.waitTimeout = options.waitTimeout;
  station.units = options.units;
  station.recordPath = setup.recordPath;
  station.channels = std::move(setup.channels);
  station.newPorts = std::move(setup.newPorts);
  station.stopRequests = StopRequests;
  station.problem = [err](const std::string& text) { std::fprintf(err, "morvak-cli: %s\n", text.c_str()); };
  InstallInterruptHandler();
  const StationEnd end = RunStationSession(std::move(station), output);
  if (end.refused) return end.configurationRefused ? clitexts::kExitConfiguration : clitexts::kExitFailed;
  return end.AllPassed() ? clitexts::kExitSucceeded : clitexts::kExitFailed;
}

}  // namespace morvak::cli
