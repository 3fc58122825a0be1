#include "CliOptions.h"

#include "FaultPlan.h"

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

}  // namespace

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
         "      --virtual-handset[=FAULTS]\n"
         "                           flash into the built-in virtual handset instead of USB\n"
         "      --record-blocks FILE write one line per block the virtual handset received:\n"
         "                           kind, address, length, CRC-16 of the payload\n"
         "  inspect [--onenand] IMAGE\n"
         "                           show what Start's checks find in an image, or the\n"
         "                           line Start would show\n"
         "  inspect-coff FILE [--flat OUT]\n"
         "                           show what a COFF executable holds (byte order,\n"
         "                           headers, sections, symbols) and its flat image;\n"
         "                           --flat writes that image to OUT\n"
         "  help, --help             this text\n"
         "\n"
         "Ctrl-C acts as \"Stop flashing\" (the run ends at its next write); a second\n"
         "Ctrl-C ends the program at once. The configuration is file/LURRA.ini beside\n"
         "the program; real handsets are found by [LURRA_USB] VendorId and ProductId.\n"
         "\n"
         "exit status: 0 the run succeeded, 1 it failed, 2 bad usage, 130 ended by Ctrl-C.\n"
         "\n" +
         FaultPlanHelp();
}

}  // namespace morvak::cli
