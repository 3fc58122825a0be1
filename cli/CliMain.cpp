#include "CliMain.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "CliOptions.h"
#include "CliTexts.h"
#include "CliUsage.h"
#include "Flash.h"
#include "Inspect.h"
#include "InspectCoff.h"
#include "ListCommand.h"
#include "ModuleDirectory.h"
#include "RecordsCommand.h"
#include "RunConfig.h"
#include "UdevRuleCommand.h"

namespace morvak::cli {
namespace {

int UsageError(const std::string& error) {
  std::fprintf(stderr, "morvak-cli: %s (see morvak-cli --help)\n", error.c_str());
  return clitexts::kExitUsage;
}

// --help or -h among a command's arguments, before any "--" that ends the
// options: the command's help is asked for, whatever else is there.
bool AsksForHelp(const std::vector<std::string>& args) {
  const auto end = std::find(args.begin(), args.end(), "--");
  return std::find_if(args.begin(), end, [](const std::string& a) { return a == "--help" || a == "-h"; }) != end;
}

std::string ConfigPath() { return ModuleRelativePath(GetModuleDirectory(), kConfigFileName); }

}  // namespace

int Main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::fputs(UsageText().c_str(), stderr);
    return clitexts::kExitUsage;
  }
  const std::string command = args.front();
  args.erase(args.begin());
  if (command == "help" || command == "--help" || command == "-h") {
    std::fputs(UsageText().c_str(), stdout);
    return clitexts::kExitSucceeded;
  }
  if (command == "--version") {
    std::fputs(VersionText().c_str(), stdout);
    return clitexts::kExitSucceeded;
  }
  const std::optional<std::string> help = CommandUsageText(command);
  if (!help) return UsageError("unknown command " + command);
  if (AsksForHelp(args)) {
    std::fputs(help->c_str(), stdout);
    return clitexts::kExitSucceeded;
  }
  std::string error;
  if (command == "flash") {
    const auto options = ParseFlashOptions(args, error);
    return options ? RunFlash(*options, stdout, stderr) : UsageError(error);
  }
  if (command == "inspect") {
    const auto options = ParseInspectOptions(args, error);
    return options ? RunInspect(*options, stdout) : UsageError(error);
  }
  if (command == "list") {
    const auto options = ParseListOptions(args, error);
    return options ? RunList(*options, ConfigPath(), stdout) : UsageError(error);
  }
  if (command == "records") {
    const auto options = ParseRecordsOptions(args, error);
    return options ? RunRecords(*options, stdout, stderr) : UsageError(error);
  }
  if (command == "udev-rule") {
    const auto options = ParseUdevRuleOptions(args, error);
    return options ? RunUdevRule(*options, ConfigPath(), stdout, stderr) : UsageError(error);
  }
  return RunInspectCoff(args, std::cout, std::cerr);
}

}  // namespace morvak::cli
