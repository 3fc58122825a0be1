#include "FuzzTargets.h"

namespace morvak::fuzz {

const std::vector<FuzzTarget>& FuzzTargets() {
  static const std::vector<FuzzTarget> targets = {
      {"fuzz_image_scan", FuzzImageScan},   {"fuzz_coff_parse", FuzzCoffParse},
      {"fuzz_wait_report", FuzzWaitReport}, {"fuzz_profile_file", FuzzProfileFile},
      {"fuzz_handset_parser", FuzzHandsetParser},
  };
  return targets;
}

FuzzBody FindFuzzBody(const std::string& name) {
  for (const FuzzTarget& t : FuzzTargets())
    if (name == t.name) return t.body;
  return nullptr;
}

}  // namespace morvak::fuzz
