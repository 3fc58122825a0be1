#include "ImageFormat.h"

#include <cstring>

#include "ByteOrder.h"
#include "ImageReader.h"

namespace morvak {
namespace {

// Opens the image and checks the header at offset; the reader is left just behind it.
bool OpenAtHeader(ImageReader& reader, const std::string& path, int32_t offset) {
  uint8_t bytes[IMAGE_HEADER_SIZE];
  if (!reader.Open(path) || !reader.SeekTo(offset) || !reader.ReadExactly(bytes, sizeof bytes)) return false;
  ImageHeader header;
  UnpackImageHeader(header, bytes);
  return HasImageSignature(header);
}

bool ReadRecord(ImageReader& reader, ImageRecord& record) {
  uint8_t bytes[IMAGE_RECORD_SIZE];
  if (!reader.ReadExactly(bytes, sizeof bytes)) return false;
  record = UnpackImageRecord(bytes);
  return true;
}

}  // namespace

void UnpackImageHeader(ImageHeader& header, const uint8_t bytes[IMAGE_HEADER_SIZE]) {
  std::memcpy(header.signature, bytes, sizeof header.signature);
  header.word1 = LoadLE32(bytes + 7);
  header.word2 = LoadLE32(bytes + 11);
}

bool HasImageSignature(const ImageHeader& header) {
  return std::memcmp(header.signature, IMAGE_SIGNATURE.data(), IMAGE_SIGNATURE.size()) == 0;
}

ImageRecord UnpackImageRecord(const uint8_t bytes[IMAGE_RECORD_SIZE]) {
  return ImageRecord{LoadLE32(bytes), LoadLE32(bytes + 4), LoadLE32(bytes + 8)};
}

int CountImageRecordsIn(const std::string& path, int32_t offset, uint32_t& count, uint64_t* recordBytes) {
  count = 0;
  if (recordBytes != nullptr) *recordBytes = 0;
  uint64_t bytes = 0;
  ImageReader f;
  if (!OpenAtHeader(f, path, offset)) return 0;
  uint32_t records = 0;
  ImageRecord record;
  for (;;) {
    if (!ReadRecord(f, record)) return 0;
    if (record.IsTerminator()) {
      count = records;
      if (recordBytes != nullptr) *recordBytes = bytes;
      return 1;
    }
    if (record.length != 0) ++records;
    bytes += record.length;
    if (!f.Skip(static_cast<off_t>(record.length))) return 0;
  }
}

int FindReservedSizeIn(const std::string& path, int32_t offset, uint32_t& reservedSize) {
  reservedSize = 0;
  ImageReader f;
  if (!OpenAtHeader(f, path, offset)) return 0;
  uint8_t unit[LAYOUT_UNIT_SIZE];
  ImageRecord record;
  if (!ReadRecord(f, record) || record.address == 0) return 0;
  for (;;) {
    if (record.length == 0) return 0;
    // A record shorter than a unit runs on into what follows it; the seek
    // below then moves backwards onto the next record header.
    if (!f.ReadExactly(unit, sizeof unit)) return 0;
    const bool bootSector = (unit[0] == 0xEB || unit[0] == 0xE9) && LoadLE16(unit + 510) == 0xAA55;
    if (bootSector) break;
    const off_t rest = static_cast<off_t>(record.length) - static_cast<off_t>(LAYOUT_UNIT_SIZE);
    if (!f.Skip(rest)) return 0;
    if (!ReadRecord(f, record) || record.address == 0) return 0;
  }
  if (!f.ReadExactly(unit, sizeof unit)) return 0;
  if (std::memcmp(unit, LAYOUT_MAGIC, sizeof LAYOUT_MAGIC) != 0) return 0;
  const uint32_t entries = LoadLE32(unit + 8) >> 4;
  // A table that would reach past its unit is no layout this format can hold.
  if (entries > LAYOUT_MAX_ENTRIES) return 0;
  uint32_t blocks = 0;
  for (uint32_t i = 0; i < entries; ++i) blocks += LoadLE32(unit + 28 + 16 * i);
  reservedSize = blocks << RESERVED_BLOCK_SHIFT;
  return 1;
}

}  // namespace morvak
