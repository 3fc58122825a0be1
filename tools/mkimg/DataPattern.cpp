#include "DataPattern.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace morvak {
namespace {

constexpr uint64_t kGolden = 0x9E3779B97F4A7C15ull;

// The finaliser of splitmix64: a bijective mix with full avalanche, cheap
// enough to generate gigabytes a second.
inline uint64_t Mix(uint64_t z) {
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

inline uint64_t PatternWord(uint64_t key, uint64_t index) { return Mix(key + (index + 1) * kGolden); }

inline void StoreWordLE(uint8_t* p, uint64_t v) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(p, &v, 8);  // one store; the bytes are little-endian already
  } else {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
  }
}

}  // namespace

void FillPattern(uint32_t seed, uint64_t offset, uint8_t* out, size_t length) {
  const uint64_t key = Mix(static_cast<uint64_t>(seed) ^ 0x6D6F72766B5F7064ull);
  uint64_t index = offset / 8;
  size_t skip = static_cast<size_t>(offset % 8);
  uint8_t word[8];
  if (skip != 0 && length != 0) {
    StoreWordLE(word, PatternWord(key, index++));
    const size_t n = std::min(length, 8 - skip);
    std::memcpy(out, word + skip, n);
    out += n;
    length -= n;
  }
  for (; length >= 8; length -= 8, out += 8) StoreWordLE(out, PatternWord(key, index++));
  if (length != 0) {
    StoreWordLE(word, PatternWord(key, index));
    std::memcpy(out, word, length);
  }
}

void FillData(const DataDesc& data, uint64_t offset, uint8_t* out, size_t length) {
  const uint64_t givenSize = data.given.size();
  if (offset < givenSize) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(length, givenSize - offset));
    std::memcpy(out, data.given.data() + offset, n);
    out += n;
    offset += n;
    length -= n;
  }
  if (length == 0) return;
  if (data.zeroFill)
    std::memset(out, 0, length);
  else
    FillPattern(data.seed, offset, out, length);
}

}  // namespace morvak
