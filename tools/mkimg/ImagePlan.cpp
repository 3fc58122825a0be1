#include <algorithm>

#include "ByteOrder.h"
#include "ImageDescription.h"

namespace morvak {
namespace {

constexpr uint32_t kMaxTableEntries = (LAYOUT_UNIT_SIZE - 16) / LAYOUT_TABLE_ENTRY_SIZE;  // 127

RecordDesc LayoutRecord(const LayoutDesc& layout) {
  RecordDesc record;
  record.address = layout.address;
  record.length = layout.length;
  record.checksum = layout.checksum;
  record.data.seed = layout.seed;
  record.data.given = MakeLayoutUnits(layout);
  return record;
}

}  // namespace

std::vector<uint8_t> MakeLayoutUnits(const LayoutDesc& layout) {
  std::vector<uint8_t> units(2 * LAYOUT_UNIT_SIZE, 0);
  uint8_t* boot = units.data();
  FillPattern(layout.seed, 0, boot, LAYOUT_UNIT_SIZE);
  boot[0] = layout.jumpByte;
  // Without the signature the two bytes are zeroed rather than left to the
  // pattern, which could hold 0x55 0xAA by chance.
  boot[510] = layout.bootSignature ? 0x55 : 0x00;
  boot[511] = layout.bootSignature ? 0xAA : 0x00;

  uint8_t* table = units.data() + LAYOUT_UNIT_SIZE;
  std::copy_n(layout.magic.begin(), std::min<size_t>(layout.magic.size(), 8), table);
  const uint32_t entries = static_cast<uint32_t>(std::min<size_t>(layout.blockCounts.size(), kMaxTableEntries));
  StoreLE32(table + 8, layout.tableSize.value_or(entries * LAYOUT_TABLE_ENTRY_SIZE));
  for (uint32_t i = 0; i < entries; ++i)
    StoreLE32(table + 16 + LAYOUT_TABLE_ENTRY_SIZE * i + 12, layout.blockCounts[i]);
  return units;
}

uint32_t LayoutReservedSize(const LayoutDesc& layout) {
  const uint32_t tableSize =
      layout.tableSize.value_or(static_cast<uint32_t>(layout.blockCounts.size()) * LAYOUT_TABLE_ENTRY_SIZE);
  const size_t announced = std::min<size_t>(tableSize / LAYOUT_TABLE_ENTRY_SIZE, kMaxTableEntries);
  uint32_t sum = 0;
  for (size_t i = 0; i < announced && i < layout.blockCounts.size(); ++i) sum += layout.blockCounts[i];
  return sum << 17;
}

int PlanImage(const ImageDesc& desc, ImagePlan& plan) {
  plan = ImagePlan{};
  std::vector<RecordDesc> records = desc.records;
  if (desc.layout) {
    const LayoutDesc& layout = *desc.layout;
    if (layout.position > records.size()) return PLAN_BAD_LAYOUT_POSITION;
    if (layout.magic.size() > 8) return PLAN_BAD_LAYOUT_MAGIC;
    if (layout.blockCounts.size() > kMaxTableEntries) return PLAN_BAD_LAYOUT_TABLE;
    records.insert(records.begin() + static_cast<std::ptrdiff_t>(layout.position), LayoutRecord(layout));
  }

  plan.headerOffset = desc.rawSize;
  uint64_t offset = plan.headerOffset + IMAGE_HEADER_SIZE;
  uint32_t lowest = UINT32_MAX;
  uint64_t highestEnd = 0;
  const size_t layoutIndex = desc.layout ? desc.layout->position : SIZE_MAX;
  for (size_t i = 0; i < records.size(); ++i) {
    PlannedRecord planned;
    planned.desc = std::move(records[i]);
    planned.headerOffset = offset;
    planned.layout = i == layoutIndex;
    offset += IMAGE_RECORD_SIZE + uint64_t{planned.desc.length};
    if (planned.desc.length != 0) {
      lowest = std::min(lowest, planned.desc.address);
      highestEnd = std::max(highestEnd, uint64_t{planned.desc.address} + planned.desc.length);
    }
    plan.records.push_back(std::move(planned));
  }
  if (desc.terminator.present) {
    plan.terminatorOffset = offset;
    offset += IMAGE_RECORD_SIZE;
  }
  offset += desc.trailingLength;

  const bool anyData = lowest != UINT32_MAX;
  plan.headerWord1 = desc.headerWord1.value_or(anyData ? lowest : 0);
  plan.headerWord2 = desc.headerWord2.value_or(anyData ? static_cast<uint32_t>(highestEnd - lowest) : 0);
  plan.fullSize = offset;
  plan.fileSize = desc.truncateAt ? std::min(*desc.truncateAt, offset) : offset;
  return PLAN_OK;
}

const char* PlanErrorText(int code) {
  switch (code) {
    case PLAN_OK: return "ok";
    case PLAN_BAD_LAYOUT_POSITION: return "the layout position lies past the last record";
    case PLAN_BAD_LAYOUT_MAGIC: return "the layout magic is longer than 8 bytes";
    case PLAN_BAD_LAYOUT_TABLE: return "more than 127 layout entries do not fit their unit";
    default: return "unknown image description problem";
  }
}

}  // namespace morvak
