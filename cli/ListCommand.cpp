#include "ListCommand.h"

#include <vector>

#include "CliTexts.h"
#include "PortChoice.h"
#include "ProfileFile.h"
#include "TextTable.h"
#include "UsbDeviceList.h"
#include "UsbDeviceMatch.h"
#include "UsbProblems.h"
#include "UsbTexts.h"

namespace morvak::cli {
namespace {

std::string Hex4(uint16_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04x", value);
  return text;
}

}  // namespace

int RunList(const ListOptions& options, const std::string& configPath, std::FILE* out) {
  UsbDeviceMatch match;
  std::string problem;
  const bool configured =
      CheckUsbDeviceMatch(ProfileFile::Load(configPath), configPath, match, problem) == UsbConfigState::Configured;
  if (!configured) {
    std::fprintf(out, "%s\n", problem.c_str());
    if (!options.all) return clitexts::kExitFailed;
  } else {
    std::fprintf(out, "Handsets are USB devices %04x:%04x%s%s (from %s).\n", match.vendorId, match.productId,
                 match.portPath.empty() ? "" : " on port ", match.portPath.c_str(), configPath.c_str());
  }

  std::vector<UsbDeviceInfo> devices;
  if (const uint32_t rc = ListUsbDevices(configured ? &match : nullptr, devices); rc != 0) {
    std::fprintf(out, "Cannot list the USB devices (code 0x%08x).\n", rc);
    return clitexts::kExitFailed;
  }
  std::vector<std::vector<std::string>> rows;
  if (options.all)
    rows.push_back({"PORT", "BUS", "DEVICE", "ID", "SPEED", "HANDSET", "ACCESS"});
  else
    rows.push_back({"PORT", "BUS", "DEVICE", "ID", "SPEED", "ACCESS"});
  size_t matching = 0, usable = 0;
  bool denied = false;
  for (const UsbDeviceInfo& d : devices) {
    if (d.matches) {
      ++matching;
      if (d.openable) ++usable;
      if (d.whyNot == usbtexts::kWhyAccessDenied) denied = true;
    }
    if (!d.matches && !options.all) continue;
    std::vector<std::string> row{d.portPath.empty() ? "-" : d.portPath, std::to_string(d.bus),
                                 std::to_string(d.address), Hex4(d.vendorId) + ":" + Hex4(d.productId), d.speed};
    if (options.all) row.push_back(d.matches ? "yes" : "no");
    row.push_back(d.openable ? "can be opened" : kCannotBeOpened + d.whyNot);
    rows.push_back(std::move(row));
  }
  if (rows.size() > 1) std::fputs(FormatTable(rows).c_str(), out);
  std::fprintf(out, "%zu matching device%s, %zu usable.\n", matching, matching == 1 ? "" : "s", usable);
  if (denied) std::fprintf(out, "%s\n", clitexts::kUdevHint);
  return usable > 0 ? clitexts::kExitSucceeded : clitexts::kExitFailed;
}

}  // namespace morvak::cli
