#include "HandsetOutcome.h"

#include <algorithm>
#include <cstdio>

namespace morvak {

double HandsetOutcome::Seconds() const {
  const double seconds = std::chrono::duration<double>(endedAt - startedAt).count();
  return started && seconds > 0 ? seconds : 0;
}

std::string ShortAsicId(const std::string& hex) {
  if (hex.empty()) return "-";
  if (hex.size() <= 19) return hex;
  return hex.substr(0, 8) + "..." + hex.substr(hex.size() - 8);
}

}  // namespace morvak
