#pragma once
// Reading .img files (their layout is in ImageLayout.h): the image header and
// record headers unpacked, and the scans Start makes of an image.
#include <cstdint>
#include <string>

#include "ImageLayout.h"

namespace morvak {

struct ImageHeader {
  uint8_t signature[7] = {};
  uint32_t word1 = 0;
  uint32_t word2 = 0;
};

struct ImageRecord {
  uint32_t address = 0;
  uint32_t length = 0;
  uint32_t checksum = 0;
  // The stream ends at the first header whose address and checksum are both 0;
  // its length is not looked at.
  bool IsTerminator() const { return address == 0 && checksum == 0; }
};

void UnpackImageHeader(ImageHeader& header, const uint8_t bytes[IMAGE_HEADER_SIZE]);
bool HasImageSignature(const ImageHeader& header);
ImageRecord UnpackImageRecord(const uint8_t bytes[IMAGE_RECORD_SIZE]);

// The scans of an image file at `offset` (the image header's place). Each opens
// and closes the file, seeks past record data and never reads it whole.
// 1 on success with the result in `count` / `reservedSize`, else 0 with it at 0.
// `recordBytes`, when given, gets the records' data lengths summed.
int CountImageRecordsIn(const std::string& path, int32_t offset, uint32_t& count,
                        uint64_t* recordBytes = nullptr);
int FindReservedSizeIn(const std::string& path, int32_t offset, uint32_t& reservedSize);

}  // namespace morvak
