#pragma once
// The window program's command line (after Qt has taken its own options).
#include <optional>
#include <string>
#include <vector>

namespace morvak {

struct AppOptions {
  bool help = false;
  bool virtualHandset = false;
  std::string faults;  // the virtual handset's fault text
};

// Nothing, with the reason in `error`, on bad usage. With `othersAllowed`,
// arguments that are not the program's own are passed over (the toolkit's
// options, before the toolkit has taken them).
std::optional<AppOptions> ParseAppOptions(const std::vector<std::string>& args, std::string& error,
                                          bool othersAllowed = false);

std::string AppUsageText();

}  // namespace morvak
