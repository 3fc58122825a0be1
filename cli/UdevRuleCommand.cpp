#include "UdevRuleCommand.h"

#include <fstream>

#include "ProfileFile.h"
#include "UdevRule.h"
#include "UsbDeviceMatch.h"
#include "UsbProblems.h"

namespace morvak::cli {

int RunUdevRule(const UdevRuleOptions& options, const std::string& configPath, std::FILE* out, std::FILE* err) {
  UsbDeviceMatch match;
  if (options.vendorId && options.productId) {
    match.vendorId = *options.vendorId;
    match.productId = *options.productId;
  } else if (!ReadUsbDeviceMatch(CProfileFile::Load(configPath), match)) {
    std::fprintf(err, "morvak-cli: %s, or give --vendor and --product\n", NotConfiguredProblem(configPath).c_str());
    return 1;
  }
  const std::string rule = UdevRuleFile(match.vendorId, match.productId);
  if (options.output.empty()) {
    std::fputs(rule.c_str(), out);
    return 0;
  }
  std::ofstream file(options.output, std::ios::trunc);
  file << rule;
  file.close();
  if (!file) {
    std::fprintf(err, "morvak-cli: cannot write %s\n", options.output.c_str());
    return 1;
  }
  return 0;
}

}  // namespace morvak::cli
