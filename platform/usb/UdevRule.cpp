#include "UdevRule.h"

#include <cstdio>

#include "UsbTexts.h"

namespace morvak {

std::string UdevRuleLine(uint16_t vendorId, uint16_t productId) {
  char line[160];
  std::snprintf(line, sizeof line, usbtexts::kUdevRuleFormat, vendorId, productId);
  return line;
}

std::string UdevRuleFile(uint16_t vendorId, uint16_t productId) {
  char header[400];
  std::snprintf(header, sizeof header, usbtexts::kUdevRuleHeaderFormat, vendorId, productId, usbtexts::kUdevRulePath);
  return header + UdevRuleLine(vendorId, productId) + "\n";
}

}  // namespace morvak
