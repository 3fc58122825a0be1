#pragma once
// The console's help: the whole usage, and each command's own part of it.
#include <optional>
#include <string>

namespace morvak::cli {

// The whole usage (morvak-cli --help).
std::string UsageText();

// What "morvak-cli COMMAND --help" prints; nothing for an unknown command.
std::optional<std::string> CommandUsageText(const std::string& command);

// "morvak-cli VERSION", for --version.
std::string VersionText();

}  // namespace morvak::cli
