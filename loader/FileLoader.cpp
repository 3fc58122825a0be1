#include "FileLoader.h"

#include <sys/types.h>

#include <cstdio>
#include <cstring>

#include "CoffFile.h"
#include "CoffImage.h"
#include "RegularFile.h"

namespace morvak {
namespace {

uint32_t ImageSize(uint64_t size) {
  return size >= LOADER_SIZE_TOO_LARGE ? LOADER_SIZE_TOO_LARGE : static_cast<uint32_t>(size);
}

}  // namespace

bool CFileLoader::CopyPath(const char* path) {
  const size_t length = path == nullptr ? 0 : strnlen(path, LOADER_PATH_SIZE);
  if (length >= LOADER_PATH_SIZE) {
    m_szPath[0] = '\0';
    return false;
  }
  if (length != 0) std::memcpy(m_szPath, path, length);
  m_szPath[length] = '\0';
  return true;
}

uint32_t CFileLoader::GetSize(const char* path) {
  m_bNotRegularFile = false;
  if (!CopyPath(path)) {
    m_nError = LOAD_ERR_OPEN;
    return LOADER_SIZE_FAILED;
  }
  return m_nFileType == FILE_TYPE_COFF ? GetCoffSize() : GetPlainSize();
}

int CFileLoader::Load(uint8_t* buffer, const char* path) {
  m_bNotRegularFile = false;
  m_pBuffer = buffer;
  if (!CopyPath(path)) {
    m_nError = LOAD_ERR_OPEN;
    return 0;
  }
  return m_nFileType == FILE_TYPE_COFF ? LoadCoff() : LoadPlain();
}

uint32_t CFileLoader::GetPlainSize() {
  if (m_szPath[0] == '\0') return 0;
  StdioFile file;
  if (const FileOpenResult opened = OpenRegularFile(m_szPath, file); opened != FileOpenResult::kOpened) {
    m_bNotRegularFile = opened == FileOpenResult::kNotRegular;
    m_nError = LOAD_ERR_OPEN;
    return LOADER_SIZE_FAILED;
  }
  std::FILE* f = file.get();
  if (fseeko(f, 0, SEEK_END) != 0) {
    m_nError = LOAD_ERR_SEEK;
    return LOADER_SIZE_FAILED;
  }
  const off_t end = ftello(f);
  file.reset();
  if (end < 0) {
    m_nError = LOAD_ERR_GETPOS;
    return LOADER_SIZE_FAILED;
  }
  m_nSize = ImageSize(static_cast<uint64_t>(end));
  return m_nSize;
}

int CFileLoader::LoadPlain() {
  StdioFile file;
  if (const FileOpenResult opened = OpenRegularFile(m_szPath, file); opened != FileOpenResult::kOpened) {
    m_bNotRegularFile = opened == FileOpenResult::kNotRegular;
    m_nError = LOAD_ERR_OPEN;
    return 0;
  }
  std::FILE* f = file.get();
  // A file too large to measure cannot be read whole into any buffer.
  const bool readable = m_nSize != LOADER_SIZE_TOO_LARGE && (m_nSize == 0 || m_pBuffer != nullptr);
  const size_t got = readable && m_nSize != 0 ? std::fread(m_pBuffer, 1, m_nSize, f) : 0;
  file.reset();
  if (!readable || got != m_nSize) {
    m_nError = LOAD_ERR_READ;
    return 0;
  }
  return 1;
}

uint32_t CFileLoader::GetCoffSize() {
  CCoffFile coff;
  // A file that does not parse measures 0, never the size an earlier file had.
  m_nSize = coff.Parse(m_szPath) != 0 ? ImageSize(FindFlatExtent(coff).Size()) : 0;
  coff.Free();
  return m_nSize;
}

int CFileLoader::LoadCoff() {
  CCoffFile coff;
  if (coff.Parse(m_szPath) == 0) {
    coff.Free();
    m_nError = LOAD_ERR_OPEN;
    return 0;
  }
  // The file is parsed afresh: it may have changed since it was measured, and
  // the caller's buffer holds only m_nSize bytes.
  const bool placed = m_nSize != LOADER_SIZE_TOO_LARGE && PlaceSections(coff, m_pBuffer, m_nSize);
  coff.Free();
  if (!placed) {
    m_nError = LOAD_ERR_READ;
    return 0;
  }
  return 1;
}

}  // namespace morvak
