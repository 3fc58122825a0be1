#pragma once
// The .img layout: a leading raw part of P bytes (P comes from the
// configuration, nothing in the file gives it), the 15-byte image header,
// records of a 12-byte header and their data, and a terminating record header.
// One record carries the flash layout ("MSFLSH50") with the reserved-area table.
#include <array>
#include <cstdint>
#include <string>

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

struct ImageHeader {
  uint8_t signature[7] = {};
  uint32_t word1 = 0;
  uint32_t word2 = 0;
};

struct ImageRecord {
  uint32_t address = 0;
  uint32_t length = 0;
  uint32_t checksum = 0;
  // The stream ends at the first header whose address and checksum are both 0;
  // its length is not looked at.
  bool IsTerminator() const { return address == 0 && checksum == 0; }
};

void UnpackImageHeader(ImageHeader& header, const uint8_t bytes[IMAGE_HEADER_SIZE]);
bool HasImageSignature(const ImageHeader& header);
ImageRecord UnpackImageRecord(const uint8_t bytes[IMAGE_RECORD_SIZE]);

// The scans of an image file at `offset` (the image header's place). Each opens
// and closes the file, seeks past record data and never reads it whole.
// 1 on success with the result in `count` / `reservedSize`, else 0 with it at 0.
// `recordBytes`, when given, gets the records' data lengths summed.
int CountImageRecordsIn(const std::string& path, int32_t offset, uint32_t& count,
                        uint64_t* recordBytes = nullptr);
int FindReservedSizeIn(const std::string& path, int32_t offset, uint32_t& reservedSize);

}  // namespace morvak
