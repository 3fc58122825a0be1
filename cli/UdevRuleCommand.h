#pragma once
// morvak-cli udev-rule: the udev rule that gives the logged-in user (and,
// with --group, a group) access to the handset's USB device, printed,
// written to a file, or installed for the system with udev reloaded.
#include <cstdio>
#include <string>
#include <vector>

#include "CliOptions.h"

namespace morvak::cli {

// Where --install writes the rule and what it runs then, in order.
struct UdevInstallPlace {
  std::string rulesFile;
  std::vector<std::vector<std::string>> commands;  // argv of each; the first word is looked up on PATH
};

// /etc/udev/rules.d/70-morvak.rules; udev reloads its rules, then re-applies
// them to a handset already plugged in, so that it needs no replug.
UdevInstallPlace SystemUdevInstallPlace(uint16_t vendorId, uint16_t productId);

// The ids given, or else those of `configPath` (file/LURRA.ini). 0 when the
// rule was printed, written or installed; 78 when no ids are known; 1 when
// the file cannot be written, the group does not exist (--install) or a
// command of the install fails (the rule is then in place; the line says
// what to run by hand). `place` is only used with --install; nothing set
// there means SystemUdevInstallPlace.
int RunUdevRule(const UdevRuleOptions& options, const std::string& configPath, std::FILE* out, std::FILE* err,
                const UdevInstallPlace* place = nullptr);

}  // namespace morvak::cli
