#pragma once
// The checksum's generator, shared by the fast implementations so that their
// tables and folding constants all derive from one value.
#include <cstdint>

namespace morvak::crc16 {

// x^16 + x^15 + x^2 + 1 (0x8005) with its bits reversed: bit 0 holds the x^15
// coefficient, as the byte stream is processed least significant bit first.
inline constexpr uint32_t kReflectedPoly = 0xA001u;

}  // namespace morvak::crc16
