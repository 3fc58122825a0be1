#pragma once
// The reference CRC-16/MODBUS (Crc16.h): a byte at a time through a 256-entry
// table, the plainest form of it. The tests hold the implementations a run
// uses to it, and the benchmarks measure them against it.
#include <cstddef>
#include <cstdint>

namespace morvak {

uint16_t Crc16UpdateBaseline(uint16_t crc, const uint8_t* data, size_t length);

}  // namespace morvak
