#pragma once
// A file written front to back through one large buffer, with holes where the
// content is all zeros, and patches of bytes already passed. Bytes at or past
// the limit are dropped, which is how a file is cut short. Errors are kept as
// the errno of the first failure; every later call then does nothing.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace morvak {

class FileSink {
 public:
  FileSink();
  ~FileSink();
  FileSink(const FileSink&) = delete;
  FileSink& operator=(const FileSink&) = delete;

  // Creates or empties the file. False on failure (see Error()).
  bool Open(const std::string& path, uint64_t limit);

  // Room for up to `wanted` bytes at the current position in the buffer; the
  // caller fills `granted` of them and then calls Commit(granted).
  uint8_t* Space(size_t wanted, size_t& granted);
  void Commit(size_t count);
  void Append(const uint8_t* data, size_t length);
  // Passes over `length` zero bytes without writing them.
  void Skip(uint64_t length);
  // Overwrites 4 bytes at an earlier offset with a little-endian word.
  void PatchLE32(uint64_t offset, uint32_t value);
  // Writes what is buffered, sets the file's length to `size` (holes at the
  // end become zeros) and closes it. True when every step succeeded.
  bool Finish(uint64_t size);

  uint64_t Position() const { return m_nBufferStart + m_nBuffered; }
  int Error() const { return m_nError; }

 private:
  void Flush();
  void WriteAt(const uint8_t* data, size_t length, uint64_t offset);

  int m_hFile = -1;
  int m_nError = 0;
  uint64_t m_nLimit = 0;
  uint64_t m_nBufferStart = 0;  // file offset of the buffer's first byte
  size_t m_nBuffered = 0;
  std::unique_ptr<uint8_t[]> m_pBuffer;
};

}  // namespace morvak
