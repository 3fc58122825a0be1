#include "ImageReader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>

#include "RegularFile.h"

namespace morvak {
namespace {

// Large enough to hold many record headers and a layout unit, small enough
// that a scan of records far apart reads little it does not use.
constexpr size_t kWindowSize = 64 * 1024;

}  // namespace

ImageReader::~ImageReader() {
  if (m_fd >= 0) ::close(m_fd);
}

bool ImageReader::Open(const std::string& path) {
  if (m_fd >= 0) ::close(m_fd);
  OpenRegularFileDescriptor(path.c_str(), m_fd);
  m_position = 0;
  m_windowStart = 0;
  m_windowLength = 0;
  m_window.resize(kWindowSize);
  return m_fd >= 0;
}

bool ImageReader::SeekTo(off_t position) {
  if (position < 0) return false;
  m_position = position;
  return true;
}

bool ImageReader::Skip(off_t distance) {
  if (distance > 0 && m_position > std::numeric_limits<off_t>::max() - distance) return false;
  return SeekTo(m_position + distance);
}

bool ImageReader::Fill(off_t position) {
  m_windowStart = position;
  m_windowLength = 0;
  for (;;) {
    const ssize_t n = ::pread(m_fd, m_window.data(), m_window.size(), position);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    m_windowLength = static_cast<size_t>(n);
    return true;
  }
}

bool ImageReader::ReadExactly(uint8_t* out, size_t length) {
  if (m_fd < 0) return false;
  while (length > 0) {
    const bool inWindow = m_position >= m_windowStart &&
                          static_cast<uint64_t>(m_position - m_windowStart) < m_windowLength;
    if (!inWindow && !Fill(m_position)) return false;
    const size_t at = static_cast<size_t>(m_position - m_windowStart);
    const size_t take = std::min(length, m_windowLength - at);
    std::memcpy(out, m_window.data() + at, take);
    out += take;
    length -= take;
    m_position += static_cast<off_t>(take);
  }
  return true;
}

}  // namespace morvak
