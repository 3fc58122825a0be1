#pragma once
#include <cstdio>

#include "CliOptions.h"

namespace morvak::cli {

// morvak-cli flash: what Start and the worker do, with the lines printed.
// 0 when the run succeeded, 1 when it failed.
int RunFlash(const FlashOptions& options, std::FILE* out, std::FILE* err);

}  // namespace morvak::cli
