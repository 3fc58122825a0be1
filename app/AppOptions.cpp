#include "AppOptions.h"

#include "FaultPlan.h"

namespace morvak {

std::optional<AppOptions> ParseAppOptions(const std::vector<std::string>& args, std::string& error,
                                          bool othersAllowed) {
  AppOptions o;
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--virtual-handset") {
      o.virtualHandset = true;
    } else if (a.rfind("--virtual-handset=", 0) == 0) {
      o.virtualHandset = true;
      o.faults = a.substr(sizeof "--virtual-handset=" - 1);
      FaultPlan plan;
      if (!ParseFaultPlan(o.faults, plan, error)) return std::nullopt;
    } else if (!othersAllowed) {
      error = "unknown argument " + a;
      return std::nullopt;
    }
  }
  return o;
}

std::string AppUsageText() {
  return "usage: morvak [--virtual-handset[=FAULTS]]\n"
         "\n"
         "The Morvak window: flashes firmware images into handsets whose chip boots\n"
         "from USB. Real handsets are found by [LURRA_USB] VendorId and ProductId in\n"
         "file/LURRA.ini beside the program.\n"
         "\n"
         "  --virtual-handset[=FAULTS]\n"
         "              flash into the built-in virtual handset instead of USB, to try\n"
         "              the window without hardware\n"
         "  --help      this text\n"
         "\n" +
         FaultPlanHelp();
}

}  // namespace morvak
