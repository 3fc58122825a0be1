#pragma once
// The flat image of a COFF program: its loadable sections (nonzero size and
// data in the file) laid out by virtual address, starting from the lowest.
#include <cstdint>

#include "CoffFile.h"

namespace morvak {

struct CoffFlatExtent {
  bool any = false;  // at least one loadable section
  uint32_t low = 0;  // lowest virtual address of a loadable section
  // One past the highest byte. Kept in 64 bits so that a section reaching
  // past the top of the 32-bit address space makes the image too large
  // rather than wrapping to a small size.
  uint64_t end = 0;
  uint64_t Size() const { return any ? end - low : 0; }
};

bool IsLoadableSection(const CoffSectionHeader& s);
CoffFlatExtent FindFlatExtent(const CCoffFile& coff);

// Copies every loadable section to buffer + (virtual address - low), in table
// order, so a later section overwrites the bytes it shares with an earlier
// one. Bytes no section covers are left as the caller's buffer held them.
// Refuses, before writing anything, an image that does not fit in capacity.
bool PlaceSections(const CCoffFile& coff, uint8_t* buffer, uint64_t capacity);

}  // namespace morvak
