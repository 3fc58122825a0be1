#include "CoffImage.h"

#include <algorithm>
#include <cstring>

namespace morvak {

bool IsLoadableSection(const CoffSectionHeader& s) { return s.size != 0 && s.rawDataOffset != 0; }

CoffFlatExtent FindFlatExtent(const CCoffFile& coff) {
  CoffFlatExtent extent;
  for (const CoffSectionHeader& s : coff.m_sectionHeaders) {
    if (!IsLoadableSection(s)) continue;
    const uint64_t end = uint64_t{s.virtualAddress} + s.size;
    extent.low = extent.any ? std::min(extent.low, s.virtualAddress) : s.virtualAddress;
    extent.end = extent.any ? std::max(extent.end, end) : end;
    extent.any = true;
  }
  return extent;
}

bool PlaceSections(const CCoffFile& coff, uint8_t* buffer, uint64_t capacity) {
  const CoffFlatExtent extent = FindFlatExtent(coff);
  if (!extent.any) return true;
  if (buffer == nullptr || extent.Size() > capacity) return false;
  for (size_t k = 0; k < coff.m_sectionHeaders.size(); ++k) {
    const CoffSectionHeader& s = coff.m_sectionHeaders[k];
    if (!IsLoadableSection(s)) continue;
    const std::vector<uint8_t>& data = *coff.m_sectionBuffers[k].data;
    std::memcpy(buffer + (s.virtualAddress - extent.low), data.data(), data.size());
  }
  return true;
}

}  // namespace morvak
