#pragma once
// Inputs shared by the benchmarks: one 64 MiB block of pseudo-random bytes,
// made once per process, and a way to quote a figure against a baseline.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace morvak::bench {

inline constexpr size_t kBlockBytes = size_t{64} << 20;

const std::vector<uint8_t>& RandomBlock();

// Adds the counter `name`: how many times faster an iteration ran than one
// that took baselineSeconds, given the seconds the timed loop took in all.
void SetSpeedup(benchmark::State& state, const char* name, double baselineSeconds, double loopSeconds);

}  // namespace morvak::bench
