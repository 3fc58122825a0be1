#pragma once
// The status log as a plain string: lines each ended by "\r\n", the newest
// first, with no limit of its own. The window keeps it as a LineLog
// (LineLog.h): the same text, without a copy of the whole log for every line.
#include <string>

namespace morvak {

// The log with `line` put on top of it.
std::string WithNewestLine(const std::string& line, const std::string& log);

}  // namespace morvak
