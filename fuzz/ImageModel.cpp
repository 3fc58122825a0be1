#include "ImageModel.h"

#include <cstring>
#include <optional>

#include "ByteOrder.h"
#include "ImageFormat.h"

namespace morvak::fuzz {
namespace {

class Bytes {
 public:
  Bytes(const uint8_t* file, size_t size) : m_file(file), m_size(size) {}
  // The `length` bytes at `at`, or null when the file ends first.
  const uint8_t* At(int64_t at, size_t length) const {
    if (at < 0 || static_cast<uint64_t>(at) > m_size || length > m_size - static_cast<uint64_t>(at)) return nullptr;
    return m_file + at;
  }
  // The record header at `at`.
  std::optional<ImageRecord> Record(int64_t at) const {
    const uint8_t* p = At(at, IMAGE_RECORD_SIZE);
    if (p == nullptr) return std::nullopt;
    return ImageRecord{LoadLE32(p), LoadLE32(p + 4), LoadLE32(p + 8)};
  }
  bool Signature(int64_t at) const {
    const uint8_t* p = At(at, IMAGE_HEADER_SIZE);
    return p != nullptr && std::memcmp(p, IMAGE_SIGNATURE.data(), IMAGE_SIGNATURE.size()) == 0;
  }

 private:
  const uint8_t* m_file;
  size_t m_size;
};

bool Count(const Bytes& bytes, int64_t at, uint32_t& count) {
  uint32_t records = 0;
  for (;;) {
    const std::optional<ImageRecord> r = bytes.Record(at);
    if (!r) return false;
    at += IMAGE_RECORD_SIZE;
    if (r->IsTerminator()) {
      count = records;
      return true;
    }
    if (r->length != 0) ++records;
    at += r->length;
  }
}

bool Reserved(const Bytes& bytes, int64_t at, uint32_t& reserved) {
  std::optional<ImageRecord> r = bytes.Record(at);
  if (!r || r->address == 0) return false;
  at += IMAGE_RECORD_SIZE;
  for (;;) {
    if (r->length == 0) return false;
    const uint8_t* unit = bytes.At(at, LAYOUT_UNIT_SIZE);
    if (unit == nullptr) return false;
    if ((unit[0] == 0xEB || unit[0] == 0xE9) && unit[510] == 0x55 && unit[511] == 0xAA) break;
    // The rest of the record; a record shorter than a unit leads backwards.
    at += r->length;
    if (at < 0) return false;
    r = bytes.Record(at);
    if (!r || r->address == 0) return false;
    at += IMAGE_RECORD_SIZE;
  }
  const uint8_t* table = bytes.At(at + LAYOUT_UNIT_SIZE, LAYOUT_UNIT_SIZE);
  if (table == nullptr || std::memcmp(table, LAYOUT_MAGIC, sizeof LAYOUT_MAGIC) != 0) return false;
  const uint32_t entries = LoadLE32(table + 8) >> 4;
  if (entries > LAYOUT_MAX_ENTRIES) return false;
  uint32_t blocks = 0;
  for (uint32_t i = 0; i < entries; ++i) blocks += LoadLE32(table + 28 + 16 * i);
  reserved = blocks << RESERVED_BLOCK_SHIFT;
  return true;
}

}  // namespace

ModelScan ScanImageModel(const uint8_t* file, size_t size, uint32_t offset) {
  const Bytes bytes(file, size);
  ModelScan scan;
  if (!bytes.Signature(offset)) return scan;
  const int64_t records = int64_t{offset} + IMAGE_HEADER_SIZE;
  if (Count(bytes, records, scan.count)) {
    scan.counted = 1;
  } else {
    scan.count = 0;
  }
  if (Reserved(bytes, records, scan.reserved)) {
    scan.found = 1;
  } else {
    scan.reserved = 0;
  }
  return scan;
}

}  // namespace morvak::fuzz
