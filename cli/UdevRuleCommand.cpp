#include "UdevRuleCommand.h"

#include <fstream>

#include "CliTexts.h"
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
  } else if (std::string problem;
             CheckUsbDeviceMatch(CProfileFile::Load(configPath), configPath, match, problem, {}) !=
             UsbConfigState::Configured) {
    std::fprintf(err, "morvak-cli: %s, or give --vendor and --product\n", problem.c_str());
    return clitexts::kExitConfiguration;
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
