#include "UdevRule.h"

#include <cstdio>

#include "UsbTexts.h"

namespace morvak {

std::string UdevRuleLine(uint16_t vendorId, uint16_t productId, const std::string& group) {
  char line[240];
  if (group.empty()) {
    std::snprintf(line, sizeof line, usbtexts::kUdevRuleFormat, vendorId, productId);
  } else {
    std::snprintf(line, sizeof line, usbtexts::kUdevRuleGroupFormat, vendorId, productId, group.c_str());
  }
  return line;
}

std::string UdevRuleFile(uint16_t vendorId, uint16_t productId, const std::string& group) {
  char header[400];
  std::snprintf(header, sizeof header, usbtexts::kUdevRuleHeaderFormat, vendorId, productId, usbtexts::kUdevRulePath);
  return header + UdevRuleLine(vendorId, productId, group) + "\n";
}

}  // namespace morvak
