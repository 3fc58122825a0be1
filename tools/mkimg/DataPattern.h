#pragma once
// Deterministic test data. Every byte of a pattern is a function of its seed and
// its offset alone, so any range can be regenerated on its own: a test can
// recompute a record's payload (and its CRC) without keeping the image.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace morvak {

// Bytes [offset, offset + length) of the pattern with this seed. Little-endian
// 64-bit words of a counter-based mix, so the bytes do not depend on the host.
void FillPattern(uint32_t seed, uint64_t offset, uint8_t* out, size_t length);

// What a block of data holds: the given bytes first, then the seeded pattern,
// or zeros where `zeroFill` is set. The pattern runs at the block's own
// offsets: byte i (past the given bytes) is pattern byte i.
struct DataDesc {
  uint32_t seed = 1;
  bool zeroFill = false;
  std::vector<uint8_t> given;
};

// Bytes [offset, offset + length) of a block described by `data`.
void FillData(const DataDesc& data, uint64_t offset, uint8_t* out, size_t length);

}  // namespace morvak
