#pragma once
// The status log: lines each ended by "\r\n", the newest first. The log has no
// limit of its own and is never trimmed.
#include <string>

namespace morvak {

// The log with `line` put on top of it.
std::string WithNewestLine(const std::string& line, const std::string& log);

}  // namespace morvak
