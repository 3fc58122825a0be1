#pragma once
// The image most run tests flash, described for the image writer.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ImageDescription.h"

namespace morvak {

// One record of a seeded image: `length` bytes at `address`.
struct RecordSpan {
  uint32_t address = 0;
  uint32_t length = 0;
};

// A raw part of `rawSize` bytes, the records in the given order, each record's
// data the pattern seeded by its address (so that no two records carry the
// same bytes), and the layout record at `layoutPosition` among them with
// `blockCounts`.
ImageDesc SeededImage(uint32_t rawSize, const std::vector<RecordSpan>& records, size_t layoutPosition,
                      std::vector<uint32_t> blockCounts);

}  // namespace morvak
