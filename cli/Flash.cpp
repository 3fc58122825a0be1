#include "Flash.h"

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <optional>
#include <vector>

#include "BlockSummary.h"
#include "CliTexts.h"
#include "CountingTransport.h"
#include "HandsetChannels.h"
#include "Interrupt.h"
#include "JsonOutput.h"
#include "ModuleDirectory.h"
#include "ProfileFile.h"
#include "QueuedRun.h"
#include "RecordOfRun.h"
#include "RunConfig.h"
#include "RunPump.h"
#include "RunRecord.h"
#include "StationCommand.h"
#include "TextOutput.h"
#include "UsbDeviceList.h"
#include "UsbProblems.h"
#include "VirtualHandsets.h"
#include "VirtualHandsetTransport.h"

namespace morvak::cli {
namespace {

uint64_t FileSize(const char* path) {
  struct stat st {};
  return stat(path, &st) == 0 && st.st_size > 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

bool WriteBlockRecord(const std::string& path, const std::vector<BlockRecord>& blocks, std::FILE* err) {
  std::ofstream out(path, std::ios::trunc);
  for (const BlockRecord& b : blocks) out << FormatBlockLine(BlockSummary{b.kind, b.address, b.length, b.crc}) << '\n';
  out.flush();
  if (!out) {
    std::fprintf(err, "morvak-cli: cannot write the block record %s\n", path.c_str());
    return false;
  }
  return true;
}

// --all-ports: the port of every handset with the configured ids (`match`,
// nothing when the configuration could not be read) present now. Those that
// cannot be opened are not flashed; each becomes an outcome of its own. 0, or
// the exit status when there is nothing to flash.
int FindAllPorts(const std::string& configPath, std::optional<UsbDeviceMatch> match, std::vector<std::string>& ports,
                 std::vector<HandsetOutcome>& unopened, std::FILE* err) {
  if (!match) {
    std::fprintf(err, "morvak-cli: %s\n", NotConfiguredProblem(configPath).c_str());
    return clitexts::kExitConfiguration;
  }
  match->portPath.clear();  // every port
  std::vector<UsbDeviceInfo> devices;
  if (const uint32_t rc = ListUsbDevices(&*match, devices); rc != 0) {
    std::fprintf(err, "morvak-cli: cannot list the USB devices (code 0x%08x)\n", rc);
    return 1;
  }
  for (const UsbDeviceInfo& d : devices) {
    if (!d.matches || d.portPath.empty()) continue;
    if (d.openable) {
      ports.push_back(d.portPath);
    } else {
      HandsetOutcome o;
      o.port = d.portPath;
      o.lastLine = clitexts::kCannotBeOpened + d.whyNot;
      unopened.push_back(o);
    }
  }
  if (ports.empty() && unopened.empty()) {
    std::fprintf(err, "morvak-cli: %s\n", clitexts::kNoHandsetPresent);
    return clitexts::kExitFailed;
  }
  return 0;
}

// An outcome the runs did not produce (Start refused, or never opened), shown
// as its line and its result.
void ShowUnstarted(IRunOutput& output, HandsetOutcome& o) {
  RunEvent line;
  line.kind = RunEvent::kLine;
  line.text = o.lastLine;
  line.time = std::chrono::system_clock::now();
  o.endedAt = line.time;
  if (!o.lastLine.empty()) output.Line(o.port, line);
  output.Result(o);
}

// 0 when the configuration can be read and names the handset's ids (and a
// port, when `port` does not take its place), with `match` set; 0 with
// nothing set when it cannot be read (Start's checks say why in the run's own
// words); else the exit status, after the line that says what to mend.
int CheckUsbConfiguration(const std::string& configPath, const std::string& port,
                          std::optional<UsbDeviceMatch>& match, std::FILE* err) {
  CProfileFile profile;
  const ProfileLoadResult loaded = CProfileFile::LoadChecked(configPath, profile);
  if (loaded != ProfileLoadResult::kLoaded && loaded != ProfileLoadResult::kMissing) return 0;
  UsbDeviceMatch checked;
  std::string problem;
  if (CheckUsbDeviceMatch(profile, configPath, checked, problem, port) != UsbConfigState::Configured) {
    std::fprintf(err, "morvak-cli: %s\n", problem.c_str());
    return clitexts::kExitConfiguration;
  }
  match = checked;
  return 0;
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
  const std::string configPath = ModuleRelativePath(directory, kConfigFileName);

  if (options.watch) return RunStation(options, configPath, directory, out, err);

  std::vector<HandsetChannel> channels;
  std::vector<HandsetOutcome> unopened;
  bool several = false;
  if (options.virtualHandset) {
    VirtualHandsetSet set;
    std::string error;
    if (!ParseVirtualHandsets(options.faults, set, error)) {
      std::fprintf(err, "morvak-cli: %s\n", error.c_str());
      return 2;
    }
    channels = MakeVirtualChannels(set.ports);
    several = set.countGiven;
  } else {
    // Without ids a real handset is never found: say what to set at once
    // rather than wait for ever.
    // --port takes the place of Port=.
    const std::string port = !options.ports.empty() ? options.ports.front() : std::string();
    std::optional<UsbDeviceMatch> match;
    if (const int status = CheckUsbConfiguration(configPath, port, match, err); status != 0) return status;
    std::vector<std::string> ports = options.ports;
    if (options.allPorts) {
      if (const int status = FindAllPorts(configPath, match, ports, unopened, err); status != 0) return status;
    }
    // No ports from --all-ports (every handset there cannot be opened) is no
    // channel, never the first match.
    if (!options.allPorts || !ports.empty()) channels = MakeUsbChannels(configPath, ports);
    several = options.allPorts || !options.ports.empty();
  }

  const size_t count = channels.size();
  std::unique_ptr<CProgressBar> bar;
  std::unique_ptr<IRunOutput> output;
  if (options.json) {
    output = std::make_unique<CJsonOutput>(out);
  } else {
    bar = std::make_unique<CProgressBar>(err);
    output = std::make_unique<CTextOutput>(out, err, TextOutputMode{several, bar.get(), environment.interactive});
  }

  CRunEventQueue events;
  CRunPump pump(events, *output);
  std::vector<HandsetOutcome> outcomes(count);
  std::vector<std::unique_ptr<CQueuedRun>> runs;
  for (size_t i = 0; i < count; ++i) {
    auto run = std::make_unique<CQueuedRun>(&events, i);
    run->m_strModuleDirectory = directory;
    auto counting = std::make_unique<CCountingTransport>(std::move(channels[i].transport));
    if (bar) bar->AddHandset(several ? channels[i].port : std::string(), &counting->BytesWritten());
    run->m_link.m_device.SetTransport(std::move(counting));
    run->m_strImagePath = options.image;
    run->m_nFlashType = options.oneNand ? FLASH_TYPE_ONENAND : FLASH_TYPE_NAND;
    run->m_replyTimeoutOverride = options.replyTimeout;
    if (options.waitTimeout) run->m_link.m_waitTimeout = *options.waitTimeout;
    outcomes[i].port = channels[i].port;
    pump.Add(*run, outcomes[i], [&channels, i] { return PortOf(channels[i]); });
    runs.push_back(std::move(run));
  }

  // Records are asked for by the command line or, failing that, the configuration.
  const std::string recordPath = !options.record.empty() ? options.record : ConfiguredRecordFile(directory);
  for (auto& run : runs) run->m_bDigestImage = !recordPath.empty();

  std::vector<bool> accepted(count, false);
  for (size_t i = 0; i < count; ++i) {
    std::string line;
    accepted[i] = runs[i]->ApplyStartSettings(options.eraseReserved, line);
    if (!accepted[i]) {
      outcomes[i].lastLine = line;
      ShowUnstarted(*output, outcomes[i]);
      // Every run reads the same configuration: none starts.
      if (runs[i]->ConfigurationRefused()) return clitexts::kExitConfiguration;
    }
  }
  for (size_t i = 0; i < count && bar; ++i)
    if (accepted[i]) bar->SetExpectedBytes(i, FileSize(options.image.c_str()) + FileSize(runs[i]->m_programFile.path));
  InstallInterruptHandler();
  for (size_t i = 0; i < count; ++i) {
    if (!accepted[i]) continue;
    outcomes[i].startedAt = std::chrono::system_clock::now();
    outcomes[i].started = runs[i]->StartWorker();
  }
  pump.Run();

  bool allWell = count > 0 && unopened.empty();
  for (size_t i = 0; i < count; ++i) allWell = allWell && outcomes[i].succeeded;
  for (HandsetOutcome& o : unopened) ShowUnstarted(*output, o);

  if (!options.recordBlocks.empty()) {
    for (size_t i = 0; i < count; ++i) {
      if (channels[i].virtualHandset == nullptr) continue;
      const std::string path = several ? options.recordBlocks + "." + outcomes[i].port : options.recordBlocks;
      if (!WriteBlockRecord(path, channels[i].virtualHandset->Blocks(), err)) allWell = false;
    }
  }
  if (!recordPath.empty()) {
    for (size_t i = 0; i < count; ++i) {
      if (!outcomes[i].started) continue;
      const RunEnding ending{outcomes[i].succeeded, outcomes[i].lastLine, outcomes[i].startedAt, outcomes[i].endedAt,
                             outcomes[i].port};
      std::string error;
      if (!AppendRunRecord(recordPath, MakeRunRecord(*runs[i], ending, runs[i]->ImageSha256()), error)) {
        std::fprintf(err, "morvak-cli: %s\n", error.c_str());
        allWell = false;
      }
    }
  }
  outcomes.insert(outcomes.end(), unopened.begin(), unopened.end());
  if (several || options.json) output->Summary(outcomes);
  if (allWell) return clitexts::kExitSucceeded;
  return StopRequests() > 0 ? clitexts::kExitInterrupted : clitexts::kExitFailed;
}

}  // namespace morvak::cli
