#pragma once
// A second reading of the .img format, straight from the bytes in memory,
// for the fuzzer to hold the file scans against: the scans read through a
// moving window of the file, seek backwards and skip past the end, and must
// come to the same result as a plain walk over the bytes.
#include <cstddef>
#include <cstdint>

namespace morvak::fuzz {

struct ModelScan {
  int counted = 0;
  uint32_t count = 0;
  int found = 0;
  uint32_t reserved = 0;
};

ModelScan ScanImageModel(const uint8_t* file, size_t size, uint32_t offset);

}  // namespace morvak::fuzz
