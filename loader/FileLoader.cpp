#include "FileLoader.h"

#include <cstdio>
#include <cstring>

namespace morvak {

bool CFileLoader::CopyPath(const char* path) {
  const size_t length = std::strlen(path);
  if (length >= LOADER_PATH_SIZE) return false;
  std::memcpy(m_szPath, path, length + 1);
  return true;
}

uint32_t CFileLoader::GetSize(const char* path) {
  if (!CopyPath(path)) {
    m_nError = LOAD_ERR_OPEN;
    return 0xFFFFFFFFu;
  }
  if (m_szPath[0] == '\0') return 0;
  std::FILE* f = std::fopen(m_szPath, "rb");
  if (f == nullptr) {
    m_nError = LOAD_ERR_OPEN;
    return 0xFFFFFFFFu;
  }
  if (fseeko(f, 0, SEEK_END) != 0) {
    m_nError = LOAD_ERR_SEEK;
    std::fclose(f);
    return 0xFFFFFFFFu;
  }
  const off_t end = ftello(f);
  std::fclose(f);
  if (end < 0) {
    m_nError = LOAD_ERR_GETPOS;
    return 0xFFFFFFFFu;
  }
  m_nSize = static_cast<uint64_t>(end) > 0xFFFFFFFFu ? LOADER_SIZE_TOO_LARGE : static_cast<uint32_t>(end);
  return m_nSize;
}

int CFileLoader::Load(uint8_t* buffer, const char* path) {
  m_pBuffer = buffer;
  if (!CopyPath(path)) {
    m_nError = LOAD_ERR_OPEN;
    return 0;
  }
  std::FILE* f = std::fopen(m_szPath, "rb");
  if (f == nullptr) {
    m_nError = LOAD_ERR_OPEN;
    return 0;
  }
  const size_t got = m_nSize == 0 ? 0 : std::fread(m_pBuffer, 1, m_nSize, f);
  std::fclose(f);
  if (got != m_nSize) {
    m_nError = LOAD_ERR_READ;
    return 0;
  }
  return 1;
}

}  // namespace morvak
