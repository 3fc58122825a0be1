// Slicing-by-16: sixteen tables let sixteen bytes be folded into the register
// per step with independent look-ups, so the step is bounded by load throughput
// rather than by one look-up's latency per byte.
#include <array>

#include "Crc16.h"
#include "Crc16Polynomial.h"

namespace morvak {
namespace {

constexpr size_t kSlices = 16;
using SliceTables = std::array<std::array<uint16_t, 256>, kSlices>;

// tables[k][b]: the register contribution of byte b followed by k zero bytes,
// starting from a zero register.
constexpr SliceTables MakeTables() {
  SliceTables tables{};
  for (uint32_t b = 0; b < 256; ++b) {
    uint32_t crc = b;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1u) ? (crc >> 1) ^ crc16::kReflectedPoly : crc >> 1;
    tables[0][b] = static_cast<uint16_t>(crc);
  }
  for (size_t k = 1; k < kSlices; ++k) {
    for (size_t b = 0; b < 256; ++b) {
      const uint32_t prev = tables[k - 1][b];
      tables[k][b] = static_cast<uint16_t>((prev >> 8) ^ tables[0][prev & 0xFFu]);
    }
  }
  return tables;
}

constexpr SliceTables kTables = MakeTables();

}  // namespace

uint16_t Crc16UpdatePortable(uint16_t crc, const uint8_t* data, size_t length) {
  uint32_t c = crc;
  while (length >= kSlices) {
    // The register overlaps the first two bytes of the step; the other
    // fourteen only meet their tables.
    const uint32_t head = c ^ (static_cast<uint32_t>(data[0]) | (static_cast<uint32_t>(data[1]) << 8));
    c = static_cast<uint32_t>(kTables[15][head & 0xFFu]) ^ kTables[14][head >> 8] ^ kTables[13][data[2]] ^
        kTables[12][data[3]] ^ kTables[11][data[4]] ^ kTables[10][data[5]] ^ kTables[9][data[6]] ^
        kTables[8][data[7]] ^ kTables[7][data[8]] ^ kTables[6][data[9]] ^ kTables[5][data[10]] ^
        kTables[4][data[11]] ^ kTables[3][data[12]] ^ kTables[2][data[13]] ^ kTables[1][data[14]] ^
        kTables[0][data[15]];
    data += kSlices;
    length -= kSlices;
  }
  for (size_t i = 0; i < length; ++i) c = (c >> 8) ^ kTables[0][(c ^ data[i]) & 0xFFu];
  return static_cast<uint16_t>(c);
}

}  // namespace morvak
