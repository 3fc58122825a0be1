#include "CliOptions.h"

#include <algorithm>
#include <set>
#include <string_view>

#include "IsoTime.h"
#include "UsbDeviceMatch.h"

namespace morvak::cli {
namespace {

bool TakeValue(const std::vector<std::string>& args, size_t& i, std::string& value, std::string& error) {
  if (i + 1 >= args.size()) {
    error = "option " + args[i] + " needs a value";
    return false;
  }
  value = args[++i];
  return true;
}

// A USB id as the configuration spells one (hexadecimal, with or without
// 0x, 1 to 4 digits), never 0.
std::optional<uint16_t> ParseNonZeroUsbId(const std::string& text) {
  const std::optional<uint16_t> id = ParseUsbId(text);
  if (!id || *id == 0) return std::nullopt;
  return id;
}

// Whether `arg` is option `name`, as `--name` or `--name=VALUE`.
bool IsOption(const std::string& arg, std::string_view name) {
  return arg.compare(0, name.size(), name) == 0 && (arg.size() == name.size() || arg[name.size()] == '=');
}

// The value of the option at args[i], given as `--name VALUE` or
// `--name=VALUE`; false (with the reason) when it is missing.
bool TakeOption(const std::vector<std::string>& args, size_t& i, std::string& value, std::string& error) {
  const size_t eq = args[i].find('=');
  if (eq == std::string::npos) return TakeValue(args, i, value, error);
  value = args[i].substr(eq + 1);
  return true;
}

// Whether a single-valued option is given for the first time; a second
// time is bad usage (with the reason), not the later value silently winning.
bool FirstTime(std::set<std::string>& seen, const std::string& name, std::string& error) {
  if (seen.insert(name).second) return true;
  error = name + " given twice";
  return false;
}

// A group name as Debian's adduser accepts one by default; it goes into the
// rule between quotes, so nothing else may pass.
bool IsGroupName(const std::string& name) {
  if (name.empty() || name.size() > 32) return false;
  if (!((name[0] >= 'a' && name[0] <= 'z') || name[0] == '_')) return false;
  return std::all_of(name.begin() + 1, name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
  });
}

}  // namespace

std::optional<std::chrono::milliseconds> ParseSeconds(const std::string& text) {
  constexpr uint64_t kYear = 365ull * 24 * 3600 * 1000;
  uint64_t whole = 0;
  uint64_t fraction = 0;
  int decimals = -1;  // no point yet
  for (const char c : text) {
    if (c == '.' && decimals < 0) {
      decimals = 0;
    } else if (c >= '0' && c <= '9' && decimals < 3) {
      if (decimals < 0) {
        whole = whole * 10 + static_cast<uint64_t>(c - '0');
        if (whole > kYear) return std::nullopt;
      } else {
        fraction = fraction * 10 + static_cast<uint64_t>(c - '0');
        ++decimals;
      }
    } else {
      return std::nullopt;
    }
  }
  if (text.empty() || text.front() == '.' || decimals == 0) return std::nullopt;
  for (int d = decimals < 0 ? 0 : decimals; d < 3; ++d) fraction *= 10;
  const uint64_t ms = whole * 1000 + fraction;
  if (ms > kYear) return std::nullopt;
  return std::chrono::milliseconds(static_cast<int64_t>(ms));
}

std::optional<FlashOptions> ParseFlashOptions(const std::vector<std::string>& args, std::string& error) {
  FlashOptions o;
  bool imageSeen = false;
  std::set<std::string> seen;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--onenand") {
      o.oneNand = true;
    } else if (a == "--erase-reserved") {
      o.eraseReserved = true;
    } else if (a == "--virtual-handset") {
      o.virtualHandset = true;
    } else if (a.rfind("--virtual-handset=", 0) == 0) {
      if (!FirstTime(seen, "--virtual-handset=FAULTS", error)) return std::nullopt;
      o.virtualHandset = true;
      o.faults = a.substr(sizeof "--virtual-handset=" - 1);
    } else if (IsOption(a, "--record-blocks")) {
      if (!FirstTime(seen, "--record-blocks", error) || !TakeOption(args, i, o.recordBlocks, error))
        return std::nullopt;
    } else if (IsOption(a, "--port")) {
      std::string port;
      if (!TakeOption(args, i, port, error)) return std::nullopt;
      if (!IsPortPath(port)) {
        error = "--port " + port + ": not a USB port path as udev names it, such as 1-2.3";
        return std::nullopt;
      }
      if (std::find(o.ports.begin(), o.ports.end(), port) != o.ports.end()) {
        error = "--port " + port + " given twice";
        return std::nullopt;
      }
      o.ports.push_back(port);
    } else if (a == "--all-ports") {
      o.allPorts = true;
    } else if (a == "--json") {
      o.json = true;
    } else if (a == "--watch") {
      o.watch = true;
    } else if (a == "--reflash") {
      o.reflash = true;
    } else if (IsOption(a, "--units")) {
      std::string value;
      if (!FirstTime(seen, "--units", error) || !TakeOption(args, i, value, error)) return std::nullopt;
      uint64_t n = 0;
      bool digits = !value.empty() && value.size() <= 9;
      for (const char c : value) {
        digits = digits && c >= '0' && c <= '9';
        if (digits) n = n * 10 + static_cast<uint64_t>(c - '0');
      }
      if (!digits || n == 0) {
        error = "--units " + value + ": not a number of runs from 1 to 999999999";
        return std::nullopt;
      }
      o.units = n;
    } else if (IsOption(a, "--record")) {
      if (!FirstTime(seen, "--record", error) || !TakeOption(args, i, o.record, error)) return std::nullopt;
      if (o.record.empty()) {
        error = "--record needs a file name";
        return std::nullopt;
      }
    } else if (IsOption(a, "--reply-timeout") || IsOption(a, "--wait-timeout")) {
      const bool reply = IsOption(a, "--reply-timeout");
      const std::string name = reply ? "--reply-timeout" : "--wait-timeout";
      std::string value;
      if (!FirstTime(seen, name, error) || !TakeOption(args, i, value, error)) return std::nullopt;
      const std::optional<std::chrono::milliseconds> seconds = ParseSeconds(value);
      if (!seconds || (!reply && seconds->count() == 0)) {
        error = name + " " + value + ": not a number of seconds" + (reply ? " (0 for no limit)" : " above 0");
        return std::nullopt;
      }
      (reply ? o.replyTimeout : o.waitTimeout) = seconds;
    } else if (a == "--") {
      if (i + 2 != args.size() || imageSeen) {
        error = "flash takes exactly one IMAGE";
        return std::nullopt;
      }
      o.image = args[i + 1];
      imageSeen = true;
      break;
    } else if (a.size() > 1 && a[0] == '-') {
      error = "unknown option " + a;
      return std::nullopt;
    } else if (imageSeen) {
      error = "flash takes exactly one IMAGE";
      return std::nullopt;
    } else {
      o.image = a;
      imageSeen = true;
    }
  }
  if (!imageSeen) {
    error = "flash needs an IMAGE";
    return std::nullopt;
  }
  if (!o.recordBlocks.empty() && !o.virtualHandset) {
    error = "--record-blocks needs --virtual-handset (only the virtual handset keeps a record)";
    return std::nullopt;
  }
  if (o.virtualHandset && (o.allPorts || !o.ports.empty())) {
    error = "--port and --all-ports choose USB handsets; virtual ones are chosen with --virtual-handset=count=N";
    return std::nullopt;
  }
  if (o.units && !o.watch) {
    error = "--units counts the runs of --watch";
    return std::nullopt;
  }
  if (o.reflash && !o.watch) {
    error = "--reflash flashes again a unit that passed in a session of --watch";
    return std::nullopt;
  }
  if (o.watch && !o.recordBlocks.empty()) {
    error = "--record-blocks records one run per handset; --watch has many";
    return std::nullopt;
  }
  if (o.allPorts && !o.ports.empty()) {
    error = "--all-ports and --port exclude each other";
    return std::nullopt;
  }
  return o;
}

std::optional<ListOptions> ParseListOptions(const std::vector<std::string>& args, std::string& error) {
  ListOptions o;
  for (const std::string& a : args) {
    if (a != "--all") {
      error = "list takes only --all, not " + a;
      return std::nullopt;
    }
    o.all = true;
  }
  return o;
}

std::optional<UdevRuleOptions> ParseUdevRuleOptions(const std::vector<std::string>& args, std::string& error) {
  UdevRuleOptions o;
  std::set<std::string> seen;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string value;
    if (a == "--vendor" || a == "--product") {
      if (!FirstTime(seen, a, error) || !TakeValue(args, i, value, error)) return std::nullopt;
      const std::optional<uint16_t> id = ParseNonZeroUsbId(value);
      if (!id) {
        error = a + " " + value + ": needs a USB id from 1 to 0xffff (decimal, or hexadecimal after 0x)";
        return std::nullopt;
      }
      (a == "--vendor" ? o.vendorId : o.productId) = *id;
    } else if (a == "--output" || a == "-o") {
      if (!FirstTime(seen, "--output", error) || !TakeValue(args, i, o.output, error)) return std::nullopt;
    } else if (IsOption(a, "--group")) {
      if (!FirstTime(seen, "--group", error) || !TakeOption(args, i, value, error)) return std::nullopt;
      if (!IsGroupName(value)) {
        error = "--group " + value + ": not a group name (lower-case letters, digits, _ and -, at most 32)";
        return std::nullopt;
      }
      o.group = value;
    } else if (a == "--install") {
      o.install = true;
    } else {
      error = "unknown option " + a + " of udev-rule";
      return std::nullopt;
    }
  }
  if (o.vendorId.has_value() != o.productId.has_value()) {
    error = "udev-rule takes --vendor and --product together";
    return std::nullopt;
  }
  if (o.install && !o.output.empty()) {
    error = "udev-rule --install writes the system's rules file; it takes no --output";
    return std::nullopt;
  }
  return o;
}

std::optional<RecordsOptions> ParseRecordsOptions(const std::vector<std::string>& args, std::string& error) {
  RecordsOptions o;
  bool fileSeen = false;
  bool optionsEnded = false;
  std::set<std::string> seen;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!optionsEnded && a == "--") {
      optionsEnded = true;
    } else if (optionsEnded || a.empty() || a[0] != '-') {
      if (fileSeen) {
        error = "records takes exactly one FILE";
        return std::nullopt;
      }
      o.file = a;
      fileSeen = true;
    } else if (IsOption(a, "--since")) {
      std::string value;
      if (!FirstTime(seen, "--since", error) || !TakeOption(args, i, value, error)) return std::nullopt;
      o.since = ParseIsoTime(value);
      if (!o.since) {
        error = "--since " + value +
                ": not a time such as 2026-12-10T08:00:00 (local), 2026-12-10T08:00:00Z (UTC) or 2026-12-10";
        return std::nullopt;
      }
    } else if (a == "--failed") {
      o.failedOnly = true;
    } else if (a == "--csv") {
      o.csv = true;
    } else {
      error = "unknown option " + a + " of records";
      return std::nullopt;
    }
  }
  if (!fileSeen || o.file.empty()) {
    error = "records needs a FILE";
    return std::nullopt;
  }
  return o;
}

std::optional<InspectOptions> ParseInspectOptions(const std::vector<std::string>& args, std::string& error) {
  InspectOptions o;
  bool imageSeen = false;
  for (const std::string& a : args) {
    if (a == "--onenand") {
      o.oneNand = true;
    } else if (a.size() > 1 && a[0] == '-') {
      error = "unknown option " + a;
      return std::nullopt;
    } else if (imageSeen) {
      error = "inspect takes exactly one IMAGE";
      return std::nullopt;
    } else {
      o.image = a;
      imageSeen = true;
    }
  }
  if (!imageSeen) {
    error = "inspect needs an IMAGE";
    return std::nullopt;
  }
  return o;
}

}  // namespace morvak::cli
