#pragma once
// What the virtual handset sends of its own: the boot ROM's ASIC ID and the
// programmer's text reports. Both are fixed functions of their inputs, so a
// test can predict every byte and every status line a run shows.
#include <cstddef>
#include <cstdint>
#include <string>

namespace morvak {

inline constexpr size_t VIRTUAL_ASIC_ID_SIZE = 69;
// Longest text report; longer than the host's 256-byte text buffer on purpose.
inline constexpr size_t MAX_TEXT_REPORT = 300;

// Where a handset of a virtual bench stands: its port (from 1) and its place
// among the handsets plugged in there (from 1). {0, 0} is the lone virtual
// handset of a program without cycle=, and the first port's of several.
struct BenchUnit {
  uint32_t port = 0;
  uint32_t unit = 0;
  friend bool operator==(const BenchUnit&, const BenchUnit&) = default;
};

// The ROM's identification block. Layout (our own): "VHND", format 1, chip id
// (LE32), a 16-byte die id, a filler pattern, and the CRC-16 of bytes 0..66
// in the last two bytes (LE16). A handset of a bench carries its port and
// unit (LE32 each) in the die id's last eight bytes, so that no two share an ID.
void VirtualAsicId(uint8_t out[VIRTUAL_ASIC_ID_SIZE], BenchUnit where = {});

// The payload of the text frame `index` (0-based) sent after CMD_RUN number
// `run` (1-based). Lengths cycle through 40, 300, 255, 256, 1 and 180 bytes;
// text 0 has a NUL inside, so the host shows only what comes before it.
std::string VirtualTextReport(uint32_t run, uint32_t index);

}  // namespace morvak
