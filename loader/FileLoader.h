#pragma once
// CFileLoader: measures a file (GetSize) and reads it whole into a buffer the
// caller provides (Load). The loader owns no resource between calls.
#include <cstdint>

namespace morvak {

enum LoadError : int32_t {
  LOAD_ERR_NONE = 0,
  LOAD_ERR_OPEN = 1,    // the file cannot be opened
  LOAD_ERR_READ = 2,    // fewer than m_nSize bytes could be read
  LOAD_ERR_SEEK = 3,    // seeking to the end failed
  LOAD_ERR_GETPOS = 4,  // reading the position at the end failed
};

inline constexpr int32_t FILE_TYPE_PLAIN = 0;
inline constexpr int32_t FILE_TYPE_COFF = 4;
inline constexpr uint32_t LOADER_PATH_SIZE = 256;
// Sizes are 32-bit but files are not: a file of 4 GiB or more is measured as
// this value, at or above every size limit, never as its low 32 bits.
inline constexpr uint32_t LOADER_SIZE_TOO_LARGE = 0xFFFFFFFEu;

class CFileLoader {
 public:
  int32_t m_nFileType = FILE_TYPE_PLAIN;
  uint32_t m_nSize = 0;
  int32_t m_nError = LOAD_ERR_NONE;
  char m_szPath[LOADER_PATH_SIZE] = {};
  uint8_t* m_pBuffer = nullptr;

  int SetFileType(int32_t type) {
    m_nFileType = type;
    return 1;
  }
  // The file's length; 0 for an empty file or an empty path (no new code);
  // 0xFFFFFFFF with the code in m_nError on failure. A path of 256 bytes or
  // more cannot be held and is refused as a file that cannot be opened.
  uint32_t GetSize(const char* path);
  // Reads m_nSize bytes into buffer; 1, or 0 with the code in m_nError.
  int Load(uint8_t* buffer, const char* path);
  int GetError() const { return m_nError; }

 private:
  bool CopyPath(const char* path);
};

}  // namespace morvak
