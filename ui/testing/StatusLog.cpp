#include "StatusLog.h"

namespace morvak {

std::string WithNewestLine(const std::string& line, const std::string& log) {
  std::string result;
  result.reserve(line.size() + 2 + log.size());
  result.append(line).append("\r\n").append(log);
  return result;
}

}  // namespace morvak
