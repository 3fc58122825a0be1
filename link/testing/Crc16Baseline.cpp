#include <array>

#include "Crc16Baseline.h"

namespace morvak {
namespace {

constexpr std::array<uint16_t, 256> MakeTable() {
  std::array<uint16_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t crc = i;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1u) ? (crc >> 1) ^ 0xA001u : crc >> 1;
    table[i] = static_cast<uint16_t>(crc);
  }
  return table;
}

constexpr std::array<uint16_t, 256> kTable = MakeTable();

}  // namespace

uint16_t Crc16UpdateBaseline(uint16_t crc, const uint8_t* data, size_t length) {
  uint32_t c = crc;
  for (size_t i = 0; i < length; ++i) c = (c >> 8) ^ kTable[(c ^ data[i]) & 0xFFu];
  return static_cast<uint16_t>(c);
}

}  // namespace morvak
