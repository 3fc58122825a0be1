#pragma once
// The .img layout: a leading raw part of P bytes (P comes from the
// configuration, nothing in the file gives it), the 15-byte image header,
// records of a 12-byte header and their data, and a terminating record header.
// One record carries the flash layout ("MSFLSH50") with the reserved-area table.
// The run reads images in this layout (run/ImageFormat.h); morvak-mkimg writes them.
#include <array>
#include <cstdint>

namespace morvak {

inline constexpr uint32_t IMAGE_HEADER_SIZE = 15;
inline constexpr uint32_t IMAGE_RECORD_SIZE = 12;
inline constexpr std::array<uint8_t, 7> IMAGE_SIGNATURE = {0x42, 0x30, 0x30, 0x30, 0x46, 0x46, 0x0A};  // "B000FF\n"
// The flash layout is examined in units of 2056 bytes (a 2048-byte page and its spare area).
inline constexpr uint32_t LAYOUT_UNIT_SIZE = 2056;
inline constexpr uint8_t LAYOUT_MAGIC[8] = {'M', 'S', 'F', 'L', 'S', 'H', '5', '0'};
// Table entries must lie inside their unit: 16 + 16 * n <= 2056 leaves at most 127.
inline constexpr uint32_t LAYOUT_MAX_ENTRIES = 127;
inline constexpr uint32_t RESERVED_BLOCK_SHIFT = 17;  // blocks of 131,072 bytes

}  // namespace morvak
