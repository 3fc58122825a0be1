#pragma once
// Reads an image file at a moving position through one window of the file,
// for the scans that hop from record header to record header. Seeking only
// moves the position; a read inside the window costs no system call, so a
// scan of 100,000 small records reads the file once instead of refilling a
// stream buffer at every seek.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace morvak {

class ImageReader {
 public:
  ImageReader() = default;
  ~ImageReader();
  ImageReader(const ImageReader&) = delete;
  ImageReader& operator=(const ImageReader&) = delete;

  bool Open(const std::string& path);
  // Moves the position; false (position unchanged) when it would go before
  // the start of the file. A position past the end is allowed, as with
  // fseeko, and only the next read fails.
  bool SeekTo(off_t position);
  bool Skip(off_t distance);
  // Exactly `length` bytes at the position, which moves past them; false
  // when the file ends first or cannot be read.
  bool ReadExactly(uint8_t* out, size_t length);

 private:
  bool Fill(off_t position);

  int m_fd = -1;
  off_t m_position = 0;
  std::vector<uint8_t> m_window;
  off_t m_windowStart = 0;
  size_t m_windowLength = 0;
};

}  // namespace morvak
