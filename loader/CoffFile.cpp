#include "CoffFile.h"

#include <sys/types.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <utility>

#include "ByteOrder.h"
#include "RegularFile.h"
#include "StdioFile.h"

namespace morvak {
namespace {

constexpr char kDebugPrefix[] = ".debug_";
constexpr size_t kDebugPrefixLength = sizeof kDebugPrefix - 1;

// Reads one file through one handle, keeping its own position so that every
// block can be checked against the file's length before anything is
// allocated for it. Multi-byte fields are unpacked in the file's byte order.
class CoffReader {
 public:
  bool Open(const char* path) {
    if (OpenRegularFile(path, m_file) != FileOpenResult::kOpened || fseeko(m_file.get(), 0, SEEK_END) != 0) return false;
    const off_t end = ftello(m_file.get());
    if (end < 0 || fseeko(m_file.get(), 0, SEEK_SET) != 0) return false;
    m_nFileSize = static_cast<uint64_t>(end);
    return true;
  }

  // True when `length` bytes from `offset` lie inside the file.
  bool Fits(uint64_t offset, uint64_t length) const {
    return offset <= m_nFileSize && length <= m_nFileSize - offset;
  }

  bool SeekTo(uint32_t offset) {
    if (fseeko(m_file.get(), static_cast<off_t>(offset), SEEK_SET) != 0) return false;
    m_nPosition = offset;
    return true;
  }

  // Reads exactly `length` bytes at the current position; a block that would
  // reach past the end of the file is refused before it is allocated.
  bool ReadBlock(std::vector<uint8_t>& block, uint64_t length) {
    if (!Fits(m_nPosition, length)) return false;
    block.resize(static_cast<size_t>(length));
    return ReadInto(block.data(), block.size());
  }

  bool ReadInto(uint8_t* bytes, size_t length) {
    if (!Fits(m_nPosition, length)) return false;
    if (length != 0 && std::fread(bytes, 1, length, m_file.get()) != length) return false;
    m_nPosition += length;
    return true;
  }

  // Seeks to a block's offset and reads count entries of entrySize bytes.
  bool ReadBlockAt(std::vector<uint8_t>& block, uint32_t offset, uint64_t count, uint32_t entrySize) {
    const uint64_t length = count * entrySize;
    return Fits(offset, length) && SeekTo(offset) && ReadBlock(block, length);
  }

  bool m_bBigEndian = false;
  uint16_t U16(const uint8_t* p) const { return m_bBigEndian ? LoadBE16(p) : LoadLE16(p); }
  uint32_t U32(const uint8_t* p) const { return m_bBigEndian ? LoadBE32(p) : LoadLE32(p); }

 private:
  StdioFile m_file;
  uint64_t m_nFileSize = 0;
  uint64_t m_nPosition = 0;
};

void UnpackFileHeader(const CoffReader& r, const uint8_t* p, CoffFileHeader& h) {
  h.versionId = r.U16(p + 0);
  h.sectionCount = r.U16(p + 2);
  h.timeStamp = r.U32(p + 4);
  h.symbolTableOffset = r.U32(p + 8);
  h.symbolCount = r.U32(p + 12);
  h.optionalHeaderSize = r.U16(p + 16);
  h.flags = r.U16(p + 18);
  h.targetId = r.U16(p + 20);
}

void UnpackOptionalHeader(const CoffReader& r, const uint8_t* p, CoffOptionalHeader& h) {
  h.magic = r.U16(p + 0);
  h.version = r.U16(p + 2);
  h.codeSize = r.U32(p + 4);
  h.dataSize = r.U32(p + 8);
  h.bssSize = r.U32(p + 12);
  h.entryPoint = r.U32(p + 16);
  h.codeStart = r.U32(p + 20);
  h.dataStart = r.U32(p + 24);
}

void UnpackSectionHeader(const CoffReader& r, const uint8_t* p, CoffSectionHeader& s) {
  std::memcpy(s.name, p, COFF_NAME_SIZE);
  // In memory a reference's offset reads most significant byte first; a
  // little-endian file has each half of the field the other way round.
  if (!r.m_bBigEndian && IsStringTableReference(s.name)) {
    std::swap(s.name[0], s.name[3]);
    std::swap(s.name[1], s.name[2]);
    std::swap(s.name[4], s.name[7]);
    std::swap(s.name[5], s.name[6]);
  }
  s.physicalAddress = r.U32(p + 8);
  s.virtualAddress = r.U32(p + 12);
  s.size = r.U32(p + 16);
  s.rawDataOffset = r.U32(p + 20);
  s.relocationOffset = r.U32(p + 24);
  s.lineNumberOffset = r.U32(p + 28);
  s.relocationCount = r.U32(p + 32);
  s.lineNumberCount = r.U32(p + 36);
  s.flags = r.U32(p + 40);
  s.reserved = r.U16(p + 44);
  s.memoryPage = r.U16(p + 46);
}

bool ReadRelocations(CoffReader& r, const CoffSectionHeader& s, std::vector<CoffRelocation>& out) {
  std::vector<uint8_t> raw;
  if (!r.ReadBlockAt(raw, s.relocationOffset, s.relocationCount, COFF_RELOCATION_SIZE)) return false;
  out.resize(s.relocationCount);
  for (size_t i = 0; i < out.size(); ++i) {
    const uint8_t* p = raw.data() + i * COFF_RELOCATION_SIZE;
    out[i] = {r.U32(p), r.U32(p + 4), r.U16(p + 8), r.U16(p + 10)};
  }
  return true;
}

bool ReadLineNumbers(CoffReader& r, const CoffSectionHeader& s, std::vector<CoffLineNumber>& out) {
  std::vector<uint8_t> raw;
  if (!r.ReadBlockAt(raw, s.lineNumberOffset, s.lineNumberCount, COFF_LINE_NUMBER_SIZE)) return false;
  out.resize(s.lineNumberCount);
  for (size_t i = 0; i < out.size(); ++i) {
    const uint8_t* p = raw.data() + i * COFF_LINE_NUMBER_SIZE;
    out[i] = {r.U32(p), r.U16(p + 4)};
  }
  return true;
}

bool ReadSymbols(CoffReader& r, const CoffFileHeader& h, std::vector<CoffSymbol>& out) {
  std::vector<uint8_t> raw;
  if (!r.ReadBlockAt(raw, h.symbolTableOffset, h.symbolCount, COFF_SYMBOL_SIZE)) return false;
  out.resize(h.symbolCount);
  for (size_t i = 0; i < out.size(); ++i) {
    const uint8_t* p = raw.data() + i * COFF_SYMBOL_SIZE;
    CoffSymbol& s = out[i];
    s.nameWords[0] = r.U32(p);
    s.nameWords[1] = r.U32(p + 4);
    s.value = r.U32(p + 8);
    s.sectionNumber = r.U16(p + 12);
    s.type = r.U16(p + 14);
    s.storageClass = p[16];
    s.auxCount = p[17];
  }
  return true;
}

// The string a section's name designates, bounded by the name field or by
// the end of the string table; nullopt for a reference outside the table.
std::optional<std::string_view> NameOf(const CoffSectionHeader& s, uint32_t tableLength,
                                       const std::vector<uint8_t>& body) {
  const char* chars = reinterpret_cast<const char*>(s.name);
  if (!IsStringTableReference(s.name)) return std::string_view(chars, strnlen(chars, COFF_NAME_SIZE));
  // The offset counts from the table's start, its length word included.
  const uint32_t offset = LoadBE32(s.name + 4);
  if (offset < COFF_STRING_TABLE_LENGTH_SIZE || offset >= tableLength) return std::nullopt;
  const size_t start = offset - COFF_STRING_TABLE_LENGTH_SIZE;
  const char* text = reinterpret_cast<const char*>(body.data()) + start;
  return std::string_view(text, strnlen(text, body.size() - start));
}

bool IsDebugName(std::string_view name) {
  return name.size() >= kDebugPrefixLength && name.compare(0, kDebugPrefixLength, kDebugPrefix) == 0;
}

}  // namespace

bool IsStringTableReference(const uint8_t (&name)[COFF_NAME_SIZE]) {
  for (int i = 0; i < 4; ++i)
    if (name[i] > 9) return false;
  return true;
}

int CCoffFile::Parse(const char* path) {
  Free();
  CoffReader r;
  try {
    uint8_t header[COFF_FILE_HEADER_SIZE];
    if (path == nullptr || !r.Open(path) || !r.ReadInto(header, sizeof header)) return Fail();
    // The version id read least significant byte first tells the byte order.
    const uint16_t version = LoadLE16(header);
    if (version != COFF_VERSION_ID && version != COFF_VERSION_ID_SWAPPED) return Fail();
    r.m_bBigEndian = version != COFF_VERSION_ID;
    m_bBigEndian = r.m_bBigEndian;
    UnpackFileHeader(r, header, m_fileHeader);

    // Any other optional header size reads nothing and skips nothing.
    if (m_fileHeader.optionalHeaderSize == COFF_OPTIONAL_HEADER_SIZE) {
      uint8_t optional[COFF_OPTIONAL_HEADER_SIZE];
      if (!r.ReadInto(optional, sizeof optional)) return Fail();
      UnpackOptionalHeader(r, optional, m_optionalHeader);
    }

    const uint16_t count = m_fileHeader.sectionCount;
    std::vector<uint8_t> table;
    if (count == 0 || !r.ReadBlock(table, uint64_t{count} * COFF_SECTION_HEADER_SIZE)) return Fail();
    m_sectionHeaders.resize(count);
    for (size_t k = 0; k < count; ++k)
      UnpackSectionHeader(r, table.data() + k * COFF_SECTION_HEADER_SIZE, m_sectionHeaders[k]);

    m_sectionBuffers.resize(count);
    for (size_t k = 0; k < count; ++k) {
      const CoffSectionHeader& s = m_sectionHeaders[k];
      CoffSectionBuffers& b = m_sectionBuffers[k];
      if (s.rawDataOffset != 0 && !r.ReadBlockAt(b.data.emplace(), s.rawDataOffset, s.size, 1)) return Fail();
      if (s.relocationOffset != 0 && !ReadRelocations(r, s, b.relocations.emplace())) return Fail();
      if (s.lineNumberOffset != 0 && !ReadLineNumbers(r, s, b.lineNumbers.emplace())) return Fail();
    }

    if (m_fileHeader.symbolTableOffset != 0 && !ReadSymbols(r, m_fileHeader, m_symbols.emplace())) return Fail();

    // The string table follows whatever was read last.
    uint8_t length[COFF_STRING_TABLE_LENGTH_SIZE];
    if (!r.ReadInto(length, sizeof length)) return Fail();
    m_nStringTableLength = r.U32(length);
    if (m_nStringTableLength < COFF_STRING_TABLE_LENGTH_SIZE ||
        !r.ReadBlock(m_stringTable, m_nStringTableLength - COFF_STRING_TABLE_LENGTH_SIZE))
      return Fail();

    if (!DropDebugSections()) return Fail();
  } catch (const std::bad_alloc&) {
    return Fail();
  }
  m_bLoaded = true;
  return 1;
}

bool CCoffFile::DropDebugSections() {
  size_t kept = 0;
  for (size_t k = 0; k < m_sectionHeaders.size(); ++k) {
    const auto name = NameOf(m_sectionHeaders[k], m_nStringTableLength, m_stringTable);
    if (!name) return false;
    if (IsDebugName(*name)) continue;
    if (kept != k) {
      m_sectionHeaders[kept] = m_sectionHeaders[k];
      m_sectionBuffers[kept] = std::move(m_sectionBuffers[k]);
    }
    ++kept;
  }
  m_nDroppedDebugSections = static_cast<uint32_t>(m_sectionHeaders.size() - kept);
  m_sectionHeaders.resize(kept);
  m_sectionBuffers.resize(kept);
  m_fileHeader.sectionCount = static_cast<uint16_t>(kept);
  return true;
}

int CCoffFile::Fail() {
  Free();
  return 0;
}

void CCoffFile::Free() { *this = CCoffFile(); }

std::string CCoffFile::SectionName(size_t index) const {
  if (index >= m_sectionHeaders.size()) return {};
  const auto name = NameOf(m_sectionHeaders[index], m_nStringTableLength, m_stringTable);
  return name ? std::string(*name) : std::string();
}

}  // namespace morvak
