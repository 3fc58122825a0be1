#pragma once
// The window program's command line: morvak [--station]
// [--virtual-handset[=FAULTS]] [IMAGE], --help and --version, read with Qt's
// command-line parser.
#include <optional>
#include <string>
#include <vector>

namespace morvak {

struct AppOptions {
  bool help = false;
  bool version = false;
  bool station = false;  // the station window instead of the main window
  bool virtualHandset = false;
  std::string faults;                // the virtual handset's fault text
  std::optional<std::string> image;  // IMAGE, as given
};

// `args` are the arguments after the program's name. Nothing, with the fault
// in `error`, on bad usage. With `othersAllowed`, arguments that are not the
// program's own are passed over (the toolkit's options, before the toolkit
// has taken them): then only help, the version and the faults are read.
std::optional<AppOptions> ParseAppOptions(const std::vector<std::string>& args, std::string& error,
                                          bool othersAllowed = false);

std::string AppUsageText();
// "morvak 1.0": the program's name and version, and a new line.
std::string AppVersionText();

}  // namespace morvak
