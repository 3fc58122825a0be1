#include "CliMain.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "CliOptions.h"
#include "Flash.h"
#include "Inspect.h"
#include "InspectCoff.h"
#include "ListCommand.h"
#include "ModuleDirectory.h"
#include "RunConfig.h"
#include "UdevRuleCommand.h"

namespace morvak::cli {

int Main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::fputs(UsageText().c_str(), stderr);
    return 2;
  }
  const std::string command = args.front();
  args.erase(args.begin());
  if (command == "help" || command == "--help" || command == "-h") {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }
  std::string error;
  if (command == "flash") {
    const auto options = ParseFlashOptions(args, error);
    if (!options) {
      std::fprintf(stderr, "morvak-cli: %s (see morvak-cli --help)\n", error.c_str());
      return 2;
    }
    return RunFlash(*options, stdout, stderr);
  }
  if (command == "inspect") {
    const auto options = ParseInspectOptions(args, error);
    if (!options) {
      std::fprintf(stderr, "morvak-cli: %s (see morvak-cli --help)\n", error.c_str());
      return 2;
    }
    return RunInspect(*options, stdout);
  }
  if (command == "list") {
    const auto options = ParseListOptions(args, error);
    if (!options) {
      std::fprintf(stderr, "morvak-cli: %s (see morvak-cli --help)\n", error.c_str());
      return 2;
    }
    return RunList(*options, ModuleRelativePath(GetModuleDirectory(), kConfigFileName), stdout);
  }
  if (command == "udev-rule") {
    const auto options = ParseUdevRuleOptions(args, error);
    if (!options) {
      std::fprintf(stderr, "morvak-cli: %s (see morvak-cli --help)\n", error.c_str());
      return 2;
    }
    return RunUdevRule(*options, ModuleRelativePath(GetModuleDirectory(), kConfigFileName), stdout, stderr);
  }
  if (command == "inspect-coff") return RunInspectCoff(args, std::cout, std::cerr);
  std::fprintf(stderr, "morvak-cli: unknown command %s (see morvak-cli --help)\n", command.c_str());
  return 2;
}

}  // namespace morvak::cli
