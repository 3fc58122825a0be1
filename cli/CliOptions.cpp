#include "CliOptions.h"

#include <algorithm>

#include "FaultPlan.h"
#include "UsbDeviceMatch.h"
#include "VirtualHandsets.h"

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

// The value of `--name VALUE` or `--name=VALUE` at args[i]; false (with the
// reason) when it is missing. `matched` tells whether args[i] is the option.
bool TakeOption(const std::vector<std::string>& args, size_t& i, const std::string& name, std::string& value,
                bool& matched, std::string& error) {
  const std::string& a = args[i];
  matched = a == name || a.rfind(name + "=", 0) == 0;
  if (!matched) return true;
  if (a == name) return TakeValue(args, i, value, error);
  value = a.substr(name.size() + 1);
  return true;
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
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--onenand") {
      o.oneNand = true;
    } else if (a == "--erase-reserved") {
      o.eraseReserved = true;
    } else if (a == "--virtual-handset") {
      o.virtualHandset = true;
    } else if (a.rfind("--virtual-handset=", 0) == 0) {
      o.virtualHandset = true;
      o.faults = a.substr(sizeof "--virtual-handset=" - 1);
    } else if (a == "--record-blocks") {
      if (!TakeValue(args, i, o.recordBlocks, error)) return std::nullopt;
    } else if (a.rfind("--record-blocks=", 0) == 0) {
      o.recordBlocks = a.substr(sizeof "--record-blocks=" - 1);
    } else if (a == "--port" || a.rfind("--port=", 0) == 0) {
      std::string port;
      if (a == "--port") {
        if (!TakeValue(args, i, port, error)) return std::nullopt;
      } else {
        port = a.substr(sizeof "--port=" - 1);
      }
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
    } else if (a == "--record" || a.rfind("--record=", 0) == 0) {
      if (a == "--record") {
        if (!TakeValue(args, i, o.record, error)) return std::nullopt;
      } else {
        o.record = a.substr(sizeof "--record=" - 1);
      }
      if (o.record.empty()) {
        error = "--record needs a file name";
        return std::nullopt;
      }
    } else if (a == "--reply-timeout" || a.rfind("--reply-timeout=", 0) == 0 || a == "--wait-timeout" ||
               a.rfind("--wait-timeout=", 0) == 0) {
      const bool reply = a.rfind("--reply-timeout", 0) == 0;
      const std::string name = reply ? "--reply-timeout" : "--wait-timeout";
      std::string value;
      bool matched = false;
      if (!TakeOption(args, i, name, value, matched, error)) return std::nullopt;
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
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string value;
    if (a == "--vendor" || a == "--product") {
      if (!TakeValue(args, i, value, error)) return std::nullopt;
      const std::optional<uint16_t> id = ParseNonZeroUsbId(value);
      if (!id) {
        error = a + " " + value + ": needs a USB id from 1 to 0xffff (decimal, or hexadecimal after 0x)";
        return std::nullopt;
      }
      (a == "--vendor" ? o.vendorId : o.productId) = *id;
    } else if (a == "--output" || a == "-o") {
      if (!TakeValue(args, i, o.output, error)) return std::nullopt;
    } else {
      error = "unknown option " + a + " of udev-rule";
      return std::nullopt;
    }
  }
  if (o.vendorId.has_value() != o.productId.has_value()) {
    error = "udev-rule takes --vendor and --product together";
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

std::string UsageText() {
  return "usage: morvak-cli COMMAND [OPTIONS]\n"
         "\n"
         "Flashes firmware images into handsets whose chip boots from USB, as the\n"
         "Morvak window does, with the same status lines printed oldest first.\n"
         "\n"
         "commands:\n"
         "  flash [OPTIONS] IMAGE    flash an .img or .raw image\n"
         "      --onenand            the handset has OneNAND flash (default: NAND)\n"
         "      --erase-reserved     erase the reserved region too\n"
         "      --port PATH          flash only the handset on USB port PATH (as udev names\n"
         "                           it, e.g. 1-2.3; see morvak-cli list); give --port\n"
         "                           several times to flash several handsets at once\n"
         "      --all-ports          flash every matching handset present at the start,\n"
         "                           all at once\n"
         "      --virtual-handset[=FAULTS]\n"
         "                           flash into the built-in virtual handset instead of USB;\n"
         "                           count=N in FAULTS stands for N handsets at once\n"
         "      --record-blocks FILE write one line per block the virtual handset received:\n"
         "                           kind, address, length, CRC-16 of the payload (with\n"
         "                           several handsets, one file each: FILE.virtual-K)\n"
         "      --record FILE        append one JSON line per handset and run to FILE: time,\n"
         "                           port, ASIC ID, image and its SHA-256, flash type and\n"
         "                           options, result, last line, elapsed seconds (in place\n"
         "                           of RecordFile= of the configuration)\n"
         "      --json               print JSON lines instead of text: every status line,\n"
         "                           progress range and position, message box, result and\n"
         "                           a summary, each with its time (UTC) and port\n"
         "      --reply-timeout SECONDS\n"
         "                           fail a read that gets no byte from the handset for\n"
         "                           SECONDS (in place of ReplyTimeout= of the configuration,\n"
         "                           default 60; 0 waits without limit)\n"
         "      --wait-timeout SECONDS\n"
         "                           end the run, as a Stop would, when no handset has\n"
         "                           appeared within SECONDS (default: wait without limit)\n"
         "  list [--all]             show the USB devices with the configured ids: port path,\n"
         "                           ids, speed and whether Morvak can open them; --all shows\n"
         "                           every device. Exit status 0 when a usable handset is\n"
         "                           present, 1 otherwise\n"
         "  udev-rule [--vendor ID --product ID] [--output FILE]\n"
         "                           print the udev rule that lets the logged-in user open\n"
         "                           the handset (the configured ids, or those given)\n"
         "  inspect [--onenand] IMAGE\n"
         "                           show what Start's checks find in an image, or the\n"
         "                           line Start would show\n"
         "  inspect-coff FILE [--flat OUT]\n"
         "                           show what a COFF executable holds (byte order,\n"
         "                           headers, sections, symbols) and its flat image;\n"
         "                           --flat writes that image to OUT\n"
         "  help, --help             this text\n"
         "\n"
         "With several handsets every run has its own link and worker; each line is\n"
         "prefixed with its handset's port, and a summary table ends the output.\n"
         "Ctrl-C acts as \"Stop flashing\" (the run ends at its next write); a second\n"
         "Ctrl-C also ends every read that waits for a handset's answer, so that every\n"
         "run ends with its lines, its record and the summary; a third quits at once.\n"
         "The configuration is file/LURRA.ini beside the program; real handsets are\n"
         "found by [LURRA_USB] VendorId and ProductId, hexadecimal USB ids such as\n"
         "0x1234 (and Port, for one port only).\n"
         "\n"
         "exit status: 0 the run succeeded (every run, with several handsets), 1 it\n"
         "failed, 2 bad usage, 78 the configuration is refused or names no handset,\n"
         "130 ended by Ctrl-C.\n"
         "\n" +
         FaultPlanHelp() + "\n" + VirtualHandsetsHelp();
}

}  // namespace morvak::cli
