// The libFuzzer entry of one fuzz program; MORVAK_FUZZ_TARGET names its body.
// A check that does not hold is a crash for the fuzzer, with the reason.
#include <cstdio>
#include <cstdlib>

#include "FuzzTargets.h"

#ifndef MORVAK_FUZZ_TARGET
#error "MORVAK_FUZZ_TARGET must name the fuzz target"
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const morvak::fuzz::FuzzBody body = morvak::fuzz::FindFuzzBody(MORVAK_FUZZ_TARGET);
  if (body == nullptr) {
    std::fprintf(stderr, "%s: no such fuzz target\n", MORVAK_FUZZ_TARGET);
    std::abort();
  }
  const std::string problem = body(data, size);
  if (!problem.empty()) {
    std::fprintf(stderr, "%s: %s\n", MORVAK_FUZZ_TARGET, problem.c_str());
    std::abort();
  }
  return 0;
}
