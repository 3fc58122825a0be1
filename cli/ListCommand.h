#pragma once
// morvak-cli list [--all]: the USB devices with the configured ids, where they
// are, what they are and whether Morvak can open them, in a plain table.
#include <cstdio>
#include <string>

#include "CliOptions.h"

namespace morvak::cli {

// `configPath` is file/LURRA.ini. 0 when at least one matching device can be
// opened (so that scripts can wait on it), 1 otherwise.
int RunList(const ListOptions& options, const std::string& configPath, std::FILE* out);

}  // namespace morvak::cli
