#include "StationCommand.h"

#include <memory>

#include "CliTexts.h"
#include "Interrupt.h"
#include "JsonOutput.h"
#include "RecordOfRun.h"
#include "Station.h"
#include "StationPorts.h"
#include "TextOutput.h"

namespace morvak::cli {

int RunStation(const FlashOptions& options, const std::string& configPath, const std::string& moduleDirectory,
               std::FILE* out, std::FILE* err) {
  StationSetup setup;
  StationPortChoice ports;
  ports.virtualHandsets = options.virtualHandset;
  ports.faults = options.faults;
  ports.configPath = configPath;
  ports.ports = options.ports;
  ports.allPorts = options.allPorts;
  std::string error;
  switch (ChooseStationPorts(ports, setup, error)) {
    case StationPortsResult::kChosen: break;
    case StationPortsResult::kBadFaults:
      std::fprintf(err, "morvak-cli: %s\n", error.c_str());
      return clitexts::kExitUsage;
    case StationPortsResult::kNotConfigured:
      std::fprintf(err, "morvak-cli: %s\n", error.c_str());
      return clitexts::kExitConfiguration;
  }
  setup.moduleDirectory = moduleDirectory;
  setup.imagePath = options.image;
  setup.oneNand = options.oneNand;
  setup.eraseReserved = options.eraseReserved;
  setup.replyTimeout = options.replyTimeout;
  setup.waitTimeout = options.waitTimeout;
  setup.units = options.units;
  // Records are asked for by the command line or, failing that, the configuration.
  setup.recordPath = !options.record.empty() ? options.record : ConfiguredRecordFile(moduleDirectory);
  setup.stopRequests = StopRequests;
  setup.problem = [err](const std::string& text) { std::fprintf(err, "morvak-cli: %s\n", text.c_str()); };

  std::unique_ptr<IRunOutput> output;
  if (options.json)
    output = std::make_unique<CJsonOutput>(out);
  else
    output = std::make_unique<CTextOutput>(out, err, TextOutputMode{true, nullptr, false, true});
  InstallInterruptHandler();
  const StationEnd end = RunStationSession(std::move(setup), *output);
  if (end.refused) return end.configurationRefused ? clitexts::kExitConfiguration : clitexts::kExitFailed;
  return end.AllPassed() ? clitexts::kExitSucceeded : clitexts::kExitFailed;
}

}  // namespace morvak::cli
