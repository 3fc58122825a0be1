#pragma once
// The console's command line.
#include <optional>
#include <string>
#include <vector>

namespace morvak::cli {

struct FlashOptions {
  bool oneNand = false;
  bool eraseReserved = false;
  bool virtualHandset = false;
  std::string faults;       // the virtual handset's fault text
  std::string recordBlocks;  // file for the virtual handset's block record
  std::string image;
};

struct InspectOptions {
  bool oneNand = false;
  std::string image;
};

// Parses the arguments after "flash" / "inspect"; nothing and a reason on bad usage.
std::optional<FlashOptions> ParseFlashOptions(const std::vector<std::string>& args, std::string& error);
std::optional<InspectOptions> ParseInspectOptions(const std::vector<std::string>& args, std::string& error);

std::string UsageText();

}  // namespace morvak::cli
