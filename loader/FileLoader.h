#pragma once
// CFileLoader: measures a file (GetSize) and reads it into a buffer the caller
// provides (Load). The plain file type takes the file's bytes as they are; the
// COFF type lays a COFF program's loadable sections flat by address. The
// loader owns no resource between calls.
#include <cstdint>

namespace morvak {

enum LoadError : int32_t {
  LOAD_ERR_NONE = 0,
  LOAD_ERR_OPEN = 1,    // the file cannot be opened (or its path cannot be held)
  LOAD_ERR_READ = 2,    // fewer than m_nSize bytes could be read
  LOAD_ERR_SEEK = 3,    // seeking to the end failed
  LOAD_ERR_GETPOS = 4,  // reading the position at the end failed
};

inline constexpr int32_t FILE_TYPE_PLAIN = 0;
inline constexpr int32_t FILE_TYPE_COFF = 4;
inline constexpr uint32_t LOADER_PATH_SIZE = 256;
inline constexpr uint32_t LOADER_SIZE_FAILED = 0xFFFFFFFFu;
// Sizes are 32-bit but files are not: an image of 0xFFFFFFFE bytes or more
// (a file of 4 GiB or more above all) is measured as this value, above every
// size limit a caller sets, never as its low 32 bits.
inline constexpr uint32_t LOADER_SIZE_TOO_LARGE = 0xFFFFFFFEu;

class CFileLoader {
 public:
  int32_t m_nFileType = FILE_TYPE_PLAIN;
  uint32_t m_nSize = 0;
  int32_t m_nError = LOAD_ERR_NONE;
  char m_szPath[LOADER_PATH_SIZE] = {};
  uint8_t* m_pBuffer = nullptr;
  // The last GetSize or Load found no regular file at the path (a FIFO, a
  // directory, a device): it was refused with LOAD_ERR_OPEN, never read.
  bool m_bNotRegularFile = false;

  int SetFileType(int32_t type) {
    m_nFileType = type;
    return 1;
  }
  // The image's size, also kept in m_nSize. Neither mode clears m_nError.
  // Plain: the file's length; 0 for an empty file or an empty path (no new
  // code); LOADER_SIZE_FAILED with the code in m_nError when the file cannot
  // be opened or measured. COFF: the span of the loadable sections; 0 with no
  // new code for a file that does not parse or has no loadable section.
  // Both: a path of 256 bytes or more is never cut; it is refused with
  // LOAD_ERR_OPEN and LOADER_SIZE_FAILED, and m_szPath is left empty.
  uint32_t GetSize(const char* path);
  // Fills buffer with the image of m_nSize bytes: 1, or 0 with the code in
  // m_nError. COFF: LOAD_ERR_OPEN when the file does not parse, LOAD_ERR_READ
  // when its sections no longer fit in m_nSize bytes. Bytes no section covers
  // keep what the buffer held.
  int Load(uint8_t* buffer, const char* path);
  int GetError() const { return m_nError; }

 private:
  bool CopyPath(const char* path);
  uint32_t GetPlainSize();
  uint32_t GetCoffSize();
  int LoadPlain();
  int LoadCoff();
};

}  // namespace morvak
