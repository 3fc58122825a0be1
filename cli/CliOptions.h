#pragma once
// The console's command line.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "IsoTime.h"

namespace morvak::cli {

struct FlashOptions {
  bool oneNand = false;
  bool eraseReserved = false;
  bool virtualHandset = false;
  std::string faults;       // the virtual handsets' text (count, faults)
  std::string recordBlocks;  // file for the virtual handset's block record
  std::vector<std::string> ports;  // --port, in the order given, each once
  bool allPorts = false;           // every matching handset present at start
  bool json = false;               // JSON lines instead of text
  std::string record;              // --record: the run record file
  // --reply-timeout: in place of ReplyTimeout= (zero: no bound).
  std::optional<std::chrono::milliseconds> replyTimeout;
  // --wait-timeout: the longest wait for the handset to appear; with --watch,
  // the longest time without any handset (none: no bound).
  std::optional<std::chrono::milliseconds> waitTimeout;
  // --watch: a station, flashing every handset that appears on the ports.
  bool watch = false;
  // --units: the station ends once this many runs have ended (none: at Ctrl-C).
  std::optional<uint64_t> units;
  // --reflash (with --watch): a unit that already passed in this session,
  // known by its ASIC ID, is flashed again when it appears.
  bool reflash = false;
  std::string image;
};

// SECONDS of an option: digits with at most three decimals ("60", "0.5"), at
// most a year; nothing otherwise.
std::optional<std::chrono::milliseconds> ParseSeconds(const std::string& text);

struct ListOptions {
  bool all = false;  // devices that do not match too
};

struct UdevRuleOptions {
  // Both or neither: the ids of the rule, in place of the configured ones.
  std::optional<uint16_t> vendorId;
  std::optional<uint16_t> productId;
  std::string output;  // write the rule here instead of stdout
  std::string group;   // also MODE="0660", GROUP="group", for accounts without a seat
  bool install = false;  // write the system's rules file and reload udev
};

struct RecordsOptions {
  std::string file;
  // --since: only runs started then or later.
  std::optional<Instant> since;
  bool failedOnly = false;  // --failed: list only failed runs (the totals count all)
  bool csv = false;
};

struct InspectOptions {
  bool oneNand = false;
  std::string image;
};

// Parses the arguments after "flash" / "inspect"; nothing and a reason on bad
// usage. An option that takes one value may be given once (--port, which
// names several ports, excepted); given twice it is bad usage.
std::optional<FlashOptions> ParseFlashOptions(const std::vector<std::string>& args, std::string& error);
std::optional<InspectOptions> ParseInspectOptions(const std::vector<std::string>& args, std::string& error);
std::optional<ListOptions> ParseListOptions(const std::vector<std::string>& args, std::string& error);
std::optional<UdevRuleOptions> ParseUdevRuleOptions(const std::vector<std::string>& args, std::string& error);
std::optional<RecordsOptions> ParseRecordsOptions(const std::vector<std::string>& args, std::string& error);

}  // namespace morvak::cli
