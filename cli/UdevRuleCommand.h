#pragma once
// morvak-cli udev-rule [--vendor ID --product ID] [--output FILE]: the udev
// rule that gives the logged-in user access to the handset's USB device.
#include <cstdio>
#include <string>

#include "CliOptions.h"

namespace morvak::cli {

// The ids given, or else those of `configPath` (file/LURRA.ini). 0 when the
// rule was written, 1 when no ids are known or the file cannot be written.
int RunUdevRule(const UdevRuleOptions& options, const std::string& configPath, std::FILE* out, std::FILE* err);

}  // namespace morvak::cli
