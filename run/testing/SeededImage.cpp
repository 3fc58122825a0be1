#include <utility>

#include "SeededImage.h"

namespace morvak {

ImageDesc SeededImage(uint32_t rawSize, const std::vector<RecordSpan>& records, size_t layoutPosition,
                      std::vector<uint32_t> blockCounts) {
  ImageDesc desc;
  desc.rawSize = rawSize;
  for (const RecordSpan& span : records) {
    RecordDesc record;
    record.address = span.address;
    record.length = span.length;
    record.data.seed = span.address;
    desc.records.push_back(record);
  }
  LayoutDesc layout;
  layout.position = layoutPosition;
  layout.blockCounts = std::move(blockCounts);
  desc.layout = layout;
  return desc;
}

}  // namespace morvak
