// The checksum implementations over one 64 MiB block. The portable and the
// dispatched figures carry x_baseline: their speed over the byte-at-a-time
// code's, timed in the same process.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

#include "BenchData.h"
#include "Crc16.h"
#include "Crc16Baseline.h"

namespace morvak::bench {
namespace {

uint16_t Dispatched(uint16_t crc, const uint8_t* data, size_t length) { return Crc16Update(crc, data, length); }

// The best of three passes of the baseline: the least disturbed one.
double BaselineSeconds() {
  static const double seconds = [] {
    const std::vector<uint8_t>& block = RandomBlock();
    double best = 0;
    for (int pass = 0; pass < 3; ++pass) {
      const auto start = std::chrono::steady_clock::now();
      uint16_t crc = Crc16UpdateBaseline(CRC16_INIT, block.data(), block.size());
      benchmark::DoNotOptimize(crc);
      const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      best = pass == 0 ? s : std::min(best, s);
    }
    return best;
  }();
  return seconds;
}

void RunCrc(benchmark::State& state, Crc16UpdateFn update, bool againstBaseline) {
  const std::vector<uint8_t>& block = RandomBlock();
  const double baseline = againstBaseline ? BaselineSeconds() : 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    uint16_t crc = update(CRC16_INIT, block.data(), block.size());
    benchmark::DoNotOptimize(crc);
  }
  const double loop = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(block.size()));
  if (againstBaseline) SetSpeedup(state, "x_baseline", baseline, loop);
}

void BM_Crc16Baseline(benchmark::State& state) { RunCrc(state, Crc16UpdateBaseline, false); }
void BM_Crc16Portable(benchmark::State& state) { RunCrc(state, Crc16UpdatePortable, true); }
void BM_Crc16(benchmark::State& state) {
  state.SetLabel(Crc16ImplementationName());
  RunCrc(state, Dispatched, true);
}

BENCHMARK(BM_Crc16Baseline)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Crc16Portable)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Crc16)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace morvak::bench
