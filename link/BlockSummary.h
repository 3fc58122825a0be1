#pragma once
// A data block as its lists give it: morvak-mkimg --blocks writes the blocks
// a run must send for an image, morvak-cli --record-blocks the blocks a
// virtual handset received, one line each in the same form, so that the two
// lists compare line by line.
#include <cstdint>
#include <string>

namespace morvak {

struct BlockSummary {
  uint32_t kind = 0;  // DATA_RAW, DATA_RECORD or DATA_PROGRAM
  uint32_t address = 0;
  uint32_t length = 0;
  uint16_t crc = 0;  // CRC-16/MODBUS of the payload
  bool operator==(const BlockSummary&) const = default;
};

// "<kind> 0x<address> <length> 0x<crc>", the kind as DATA_RAW / DATA_RECORD /
// DATA_PROGRAM or 0x%08X, the address in 8 and the CRC in 4 hex digits.
std::string FormatBlockLine(const BlockSummary& block);

}  // namespace morvak
