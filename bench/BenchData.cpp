#include "BenchData.h"

namespace morvak::bench {

const std::vector<uint8_t>& RandomBlock() {
  static const std::vector<uint8_t> block = [] {
    std::vector<uint8_t> bytes(kBlockBytes);
    uint64_t x = 0x9E3779B97F4A7C15ull;
    for (uint8_t& b : bytes) {
      x ^= x << 13;
      x ^= x >> 7;
      x ^= x << 17;
      b = static_cast<uint8_t>(x >> 56);
    }
    return bytes;
  }();
  return block;
}

void SetSpeedup(benchmark::State& state, const char* name, double baselineSeconds, double loopSeconds) {
  if (state.iterations() == 0 || loopSeconds <= 0) return;
  state.counters[name] = baselineSeconds * static_cast<double>(state.iterations()) / loopSeconds;
}

}  // namespace morvak::bench
