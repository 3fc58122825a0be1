#pragma once
// Descriptions of `.img` and `.raw` files for the image writer. A description
// says what every byte of the file is, so that tests can build an image, run
// it, and compute what the handset must have received without reading it back.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "DataPattern.h"
#include "ImageLayout.h"

namespace morvak {

inline constexpr uint32_t LAYOUT_TABLE_ENTRY_SIZE = 16;
inline constexpr uint32_t DEFAULT_NAND_RAW_SIZE = 0xC0000;  // header place of a NAND image, no boot loader part

struct RecordDesc {
  uint32_t address = 0;
  uint32_t length = 0;
  // The header's checksum field. Unset: the 32-bit sum of the data bytes, or 1
  // where that sum is 0, so that a generated record never reads as the end of
  // the stream. Set it to 0 (with address 0) to write a record that does.
  std::optional<uint32_t> checksum;
  DataDesc data;  // `length` bytes of it are written; given bytes beyond that are dropped
};

// The record that carries the flash layout: its first unit begins like a PC
// boot sector, its second holds "MSFLSH50", the table size in bytes and the
// table; each entry's block count sits at entry offset 12. The other bytes of
// both units and everything after them come from the record's seeded pattern.
struct LayoutDesc {
  size_t position = 0;       // index among the image's records at which it stands
  uint32_t address = 0x00010000;
  uint32_t length = 2 * LAYOUT_UNIT_SIZE;  // shorter lengths cut the units short
  std::optional<uint32_t> checksum;        // as RecordDesc::checksum
  uint32_t seed = 0x4C41594Fu;
  std::vector<uint32_t> blockCounts;
  std::optional<uint32_t> tableSize;       // unset: 16 bytes an entry
  uint8_t jumpByte = 0xEB;                 // first byte of the boot unit (0xEB or 0xE9 pass)
  bool bootSignature = true;               // 0x55 0xAA at unit bytes 510 and 511
  std::string magic = "MSFLSH50";          // first 8 bytes of the second unit (padded with NULs)
};

struct TerminatorDesc {
  bool present = true;  // false: the stream simply ends after the last record
  uint32_t length = 0;  // the length field, which readers ignore
};

struct ImageDesc {
  uint32_t rawSize = DEFAULT_NAND_RAW_SIZE;  // the leading raw part; the header stands at this offset
  DataDesc rawData;
  std::array<uint8_t, 7> signature = IMAGE_SIGNATURE;
  // Unset: the lowest address of the records with data, and the span from it
  // to the highest record end (both 0 without such records).
  std::optional<uint32_t> headerWord1;
  std::optional<uint32_t> headerWord2;
  std::vector<RecordDesc> records;
  std::optional<LayoutDesc> layout;
  TerminatorDesc terminator;
  uint64_t trailingLength = 0;  // pattern bytes after the terminator
  DataDesc trailingData;
  std::optional<uint64_t> truncateAt;  // cut the finished file to this many bytes
};

struct RawDesc {
  uint64_t size = 0;
  DataDesc data;
};

// Where everything of a described image lands. Records are in file order,
// with the layout record in its place.
struct PlannedRecord {
  RecordDesc desc;
  uint64_t headerOffset = 0;
  bool layout = false;
};

struct ImagePlan {
  uint64_t headerOffset = 0;
  uint32_t headerWord1 = 0;
  uint32_t headerWord2 = 0;
  std::vector<PlannedRecord> records;
  std::optional<uint64_t> terminatorOffset;
  uint64_t fullSize = 0;  // before any truncation
  uint64_t fileSize = 0;  // as written
};

inline constexpr int PLAN_OK = 0;
inline constexpr int PLAN_BAD_LAYOUT_POSITION = 1;  // layout position past the end of the records
inline constexpr int PLAN_BAD_LAYOUT_MAGIC = 2;     // magic longer than 8 bytes
inline constexpr int PLAN_BAD_LAYOUT_TABLE = 3;     // the table does not fit its unit

// Resolves a description. The layout units are built into the layout record's given data.
int PlanImage(const ImageDesc& desc, ImagePlan& plan);
const char* PlanErrorText(int code);

// The 2 * 2056 bytes of the layout record's two units.
std::vector<uint8_t> MakeLayoutUnits(const LayoutDesc& layout);

// The reserved size a reader finds in this layout: the block counts of the
// entries the table size announces, times 131,072, in 32-bit arithmetic.
uint32_t LayoutReservedSize(const LayoutDesc& layout);

}  // namespace morvak
