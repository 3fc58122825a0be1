#pragma once
#include <cstdint>

namespace morvak {

// Paths of the run are byte strings of at most 255 bytes and a NUL.
inline constexpr uint32_t DOWNLOAD_PATH_SIZE = 256;

// The record of one file to send to the target.
struct DownloadFile {
  char path[DOWNLOAD_PATH_SIZE] = {};
  uint32_t size = 0;
  uint32_t loadAddress = 0;
  uint8_t* data = nullptr;  // heap buffer owned by the run, or null
};

}  // namespace morvak
