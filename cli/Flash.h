#pragma once
#include <cstdio>
#include <string>

#include "CliOptions.h"

namespace morvak::cli {

// Where a flash command runs: the program directory whose file/ folder holds
// the configuration and the target programs, and whether an operator sits at
// the terminal (message boxes then wait for Enter).
struct FlashEnvironment {
  std::string moduleDirectory;  // empty: the running program's own
  bool interactive = false;
};

// morvak-cli flash: what Start and the worker do, with the lines printed, for
// one handset or several at once. 0 when every run succeeded, 1 when any
// failed (or a record could not be written), 2 for bad usage.
int RunFlash(const FlashOptions& options, std::FILE* out, std::FILE* err);
int RunFlash(const FlashOptions& options, std::FILE* out, std::FILE* err, const FlashEnvironment& environment);

}  // namespace morvak::cli
