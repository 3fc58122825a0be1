#include "Flash.h"

#include <signal.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <vector>

#include "BlockSummary.h"
#include "CliTexts.h"
#include "GuardedOutput.h"
#include "Interrupt.h"
#include "JsonOutput.h"
#include "ModuleDirectory.h"
#include "PortChoice.h"
#include "RecordOfRun.h"
#include "RunConfig.h"
#include "Station.h"
#include "TextOutput.h"
#include "VirtualHandsetTransport.h"

namespace morvak::cli {
namespace {

bool WriteBlockRecord(const std::string& path, const std::vector<BlockRecord>& blocks, std::FILE* err) {
  std::ofstream out(path, std::ios::trunc);
  for (const BlockRecord& b : blocks) out << FormatBlockLine(BlockSummary{b.kind, b.address, b.length, b.crc}) << '\n';
  out.flush();
  if (!out) {
    PrintProblem(err, "cannot write the block record " + path);
    return false;
  }
  return true;
}

// The exit status of a port choice that chose nothing, after its line.
int RefusedChoice(PortChoiceResult result, const std::string& error, std::FILE* err) {
  PrintProblem(err, error);
  switch (result) {
    case PortChoiceResult::kBadFaults: return clitexts::kExitUsage;
    case PortChoiceResult::kNotConfigured: return clitexts::kExitConfiguration;
    default: return clitexts::kExitFailed;
  }
}

// --record-blocks: what every virtual handset was sent, one file per port
// when there are several.
bool WriteBlockRecords(const std::string& path, const StationEnd& end, bool several, std::FILE* err) {
  bool written = true;
  for (const HandsetChannel& channel : end.channels) {
    if (channel.virtualHandset == nullptr) continue;
    const std::string file = several ? path + "." + channel.port : path;
    written = WriteBlockRecord(file, channel.virtualHandset->Blocks(), err) && written;
  }
  return written;
}

}  // namespace

int RunFlash(const FlashOptions& options, std::FILE* out, std::FILE* err) {
  FlashEnvironment environment;
  environment.interactive = isatty(STDIN_FILENO) != 0;
  return RunFlash(options, out, err, environment);
}

int RunFlash(const FlashOptions& options, std::FILE* out, std::FILE* err, const FlashEnvironment& environment) {
  const std::string directory =
      environment.moduleDirectory.empty() ? GetModuleDirectory() : environment.moduleDirectory;

  PortRequest request;
  request.virtualHandsets = options.virtualHandset;
  request.faults = options.faults;
  request.configPath = ModuleRelativePath(directory, kConfigFileName);
  request.ports = options.ports;
  request.allPorts = options.allPorts;
  request.watch = options.watch;
  StationSetup setup;
  std::string error;
  if (const PortChoiceResult chosen = ChoosePorts(request, setup.ports, error); chosen != PortChoiceResult::kChosen)
    return RefusedChoice(chosen, error, err);
  const bool several = setup.ports.several || options.watch;

  setup.run.moduleDirectory = directory;
  setup.run.imagePath = options.image;
  setup.run.flashType = options.oneNand ? FLASH_TYPE_ONENAND : FLASH_TYPE_NAND;
  setup.run.eraseReserved = options.eraseReserved;
  setup.run.replyTimeout = options.replyTimeout;
  setup.run.waitTimeout = options.waitTimeout;
  setup.rearm = options.watch;
  setup.units = options.units;
  setup.reflash = options.reflash;
  // A watching session's wait for handsets: the same seconds a single run waits for its handset.
  if (options.watch) setup.idleEnd = options.waitTimeout;
  // Records are asked for by the command line or, failing that, the configuration.
  setup.recordPath = !options.record.empty() ? options.record : ConfiguredRecordFile(directory);
  setup.stopRequests = StopRequests;

  // A reader that went away ends the session as a hang-up would, every record written.
  GuardedOutput guarded(out, [] { EndSession(SIGPIPE); });
  out = guarded.Stream();
  std::unique_ptr<ProgressBar> bar;
  std::unique_ptr<IRunReport> runs;
  IStationReport* station = nullptr;
  if (options.json) {
    auto json = std::make_unique<JsonOutput>(out, err);
    station = json.get();
    runs = std::move(json);
  } else {
    bar = std::make_unique<ProgressBar>(err);
    auto text = std::make_unique<TextOutput>(
        out, err, TextOutputMode{several, bar.get(), environment.interactive && !options.watch, options.watch});
    station = text.get();
    runs = std::move(text);
  }
  InstallInterruptHandler();
  const StationEnd end = RunStationSession(std::move(setup), *runs, *station);
  if (end.configurationRefused) return clitexts::kExitConfiguration;
  // A run without its record is told before how the session ended.
  if (!end.recordsWritten) return clitexts::kExitRecords;

  // A watching session may end with no run at all: its status is its units'
  // results, but one whose wait ran out before any handset came flashed nothing.
  bool allWell = end.AllPassed() && (options.watch ? !(end.idleEnded && end.outcomes.empty()) : !end.outcomes.empty());
  if (!options.watch && !options.recordBlocks.empty())
    allWell = WriteBlockRecords(options.recordBlocks, end, several, err) && allWell;
  if (const int signal = EndingSignal(); signal != 0) return clitexts::kExitOnSignal + signal;
  return allWell ? clitexts::kExitSucceeded : clitexts::kExitFailed;
}

}  // namespace morvak::cli
