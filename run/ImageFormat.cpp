#include "ImageFormat.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "ByteOrder.h"

namespace morvak {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool ReadExactly(std::FILE* f, uint8_t* out, size_t length) { return std::fread(out, 1, length, f) == length; }

// Opens the image and checks the header at offset; the file is left just behind it.
File OpenAtHeader(const std::string& path, int32_t offset) {
  File f(std::fopen(path.c_str(), "rb"));
  if (!f) return nullptr;
  uint8_t bytes[IMAGE_HEADER_SIZE];
  if (fseeko(f.get(), offset, SEEK_SET) != 0 || !ReadExactly(f.get(), bytes, sizeof bytes)) return nullptr;
  ImageHeader header;
  UnpackImageHeader(header, bytes);
  if (!HasImageSignature(header)) return nullptr;
  return f;
}

bool ReadRecord(std::FILE* f, ImageRecord& record) {
  uint8_t bytes[IMAGE_RECORD_SIZE];
  if (!ReadExactly(f, bytes, sizeof bytes)) return false;
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

int CountImageRecordsIn(const std::string& path, int32_t offset, uint32_t& count) {
  count = 0;
  File f = OpenAtHeader(path, offset);
  if (!f) return 0;
  uint32_t records = 0;
  ImageRecord record;
  for (;;) {
    if (!ReadRecord(f.get(), record)) return 0;
    if (record.IsTerminator()) {
      count = records;
      return 1;
    }
    if (record.length != 0) ++records;
    if (fseeko(f.get(), static_cast<off_t>(record.length), SEEK_CUR) != 0) return 0;
  }
}

int FindReservedSizeIn(const std::string& path, int32_t offset, uint32_t& reservedSize) {
  reservedSize = 0;
  File f = OpenAtHeader(path, offset);
  if (!f) return 0;
  uint8_t unit[LAYOUT_UNIT_SIZE];
  ImageRecord record;
  if (!ReadRecord(f.get(), record) || record.address == 0) return 0;
  for (;;) {
    if (record.length == 0) return 0;
    // A record shorter than a unit runs on into what follows it; the seek
    // below then moves backwards onto the next record header.
    if (!ReadExactly(f.get(), unit, sizeof unit)) return 0;
    const bool bootSector = (unit[0] == 0xEB || unit[0] == 0xE9) && LoadLE16(unit + 510) == 0xAA55;
    if (bootSector) break;
    const off_t rest = static_cast<off_t>(record.length) - static_cast<off_t>(LAYOUT_UNIT_SIZE);
    if (fseeko(f.get(), rest, SEEK_CUR) != 0) return 0;
    if (!ReadRecord(f.get(), record) || record.address == 0) return 0;
  }
  if (!ReadExactly(f.get(), unit, sizeof unit)) return 0;
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
