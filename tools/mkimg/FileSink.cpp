#include "FileSink.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "ByteOrder.h"

namespace morvak {
namespace {
constexpr size_t kBufferSize = size_t{4} << 20;
}

FileSink::FileSink() : m_pBuffer(new uint8_t[kBufferSize]) {}

FileSink::~FileSink() {
  if (m_hFile >= 0) ::close(m_hFile);
}

bool FileSink::Open(const std::string& path, uint64_t limit) {
  m_hFile = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (m_hFile < 0) {
    m_nError = errno != 0 ? errno : EIO;
    return false;
  }
  m_nLimit = limit;
  return true;
}

uint8_t* FileSink::Space(size_t wanted, size_t& granted) {
  if (m_nBuffered == kBufferSize) Flush();
  granted = std::min(wanted, kBufferSize - m_nBuffered);
  return m_pBuffer.get() + m_nBuffered;
}

void FileSink::Commit(size_t count) { m_nBuffered += count; }

void FileSink::Append(const uint8_t* data, size_t length) {
  while (length != 0) {
    size_t granted = 0;
    uint8_t* space = Space(length, granted);
    std::copy_n(data, granted, space);
    Commit(granted);
    data += granted;
    length -= granted;
  }
}

void FileSink::Skip(uint64_t length) {
  Flush();
  m_nBufferStart += length;
}

void FileSink::PatchLE32(uint64_t offset, uint32_t value) {
  uint8_t bytes[4];
  StoreLE32(bytes, value);
  if (offset >= m_nBufferStart && offset + 4 <= Position()) {
    std::copy_n(bytes, 4, m_pBuffer.get() + (offset - m_nBufferStart));
    return;
  }
  WriteAt(bytes, 4, offset);
}

void FileSink::Flush() {
  WriteAt(m_pBuffer.get(), m_nBuffered, m_nBufferStart);
  m_nBufferStart += m_nBuffered;
  m_nBuffered = 0;
}

void FileSink::WriteAt(const uint8_t* data, size_t length, uint64_t offset) {
  if (m_nError != 0 || m_hFile < 0 || offset >= m_nLimit) return;
  length = static_cast<size_t>(std::min<uint64_t>(length, m_nLimit - offset));
  while (length != 0) {
    const ssize_t n = ::pwrite(m_hFile, data, length, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      m_nError = n < 0 ? errno : ENOSPC;
      return;
    }
    const size_t done = static_cast<size_t>(n);
    data += done;
    length -= done;
    offset += done;
  }
}

bool FileSink::Finish(uint64_t size) {
  Flush();
  if (m_hFile < 0) return false;
  if (m_nError == 0 && ::ftruncate(m_hFile, static_cast<off_t>(size)) != 0) m_nError = errno;
  if (::close(m_hFile) != 0 && m_nError == 0) m_nError = errno;
  m_hFile = -1;
  return m_nError == 0;
}

}  // namespace morvak
