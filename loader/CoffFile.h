#pragma once
// CCoffFile: one COFF executable of the version 2 layout (version id 0x00C2),
// stored in either byte order, brought whole into memory with every header
// and table field in host order. Section data is kept exactly as the file
// stores it. Sections whose name begins with ".debug_" are dropped on reading.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace morvak {

inline constexpr uint16_t COFF_VERSION_ID = 0x00C2;
// The version id of a big-endian file, read least significant byte first.
inline constexpr uint16_t COFF_VERSION_ID_SWAPPED = 0xC200;
inline constexpr uint32_t COFF_FILE_HEADER_SIZE = 22;
inline constexpr uint32_t COFF_OPTIONAL_HEADER_SIZE = 28;
inline constexpr uint32_t COFF_SECTION_HEADER_SIZE = 48;
inline constexpr uint32_t COFF_RELOCATION_SIZE = 12;
inline constexpr uint32_t COFF_LINE_NUMBER_SIZE = 6;
inline constexpr uint32_t COFF_SYMBOL_SIZE = 18;
inline constexpr uint32_t COFF_NAME_SIZE = 8;
// The string table's length word counts itself.
inline constexpr uint32_t COFF_STRING_TABLE_LENGTH_SIZE = 4;

struct CoffFileHeader {
  uint16_t versionId = 0;
  uint16_t sectionCount = 0;  // after reading: the kept sections only
  uint32_t timeStamp = 0;
  uint32_t symbolTableOffset = 0;  // 0: no symbol table
  uint32_t symbolCount = 0;
  uint16_t optionalHeaderSize = 0;  // the optional header is read only when 28
  uint16_t flags = 0;
  uint16_t targetId = 0;
};

// Stored and converted, never interpreted: no entry point is taken from it.
struct CoffOptionalHeader {
  uint16_t magic = 0;
  uint16_t version = 0;
  uint32_t codeSize = 0;
  uint32_t dataSize = 0;
  uint32_t bssSize = 0;
  uint32_t entryPoint = 0;
  uint32_t codeStart = 0;
  uint32_t dataStart = 0;
};

struct CoffSectionHeader {
  // Inline name (NUL-filled, unterminated when 8 characters long) or a
  // string-table reference (see IsStringTableReference). A reference holds
  // its table offset in bytes 4 to 7 most significant byte first, whatever
  // the file's byte order.
  uint8_t name[COFF_NAME_SIZE] = {};
  uint32_t physicalAddress = 0;
  uint32_t virtualAddress = 0;  // load address
  uint32_t size = 0;
  uint32_t rawDataOffset = 0;  // 0: no data in the file
  uint32_t relocationOffset = 0;
  uint32_t lineNumberOffset = 0;
  uint32_t relocationCount = 0;
  uint32_t lineNumberCount = 0;
  uint32_t flags = 0;
  uint16_t reserved = 0;
  uint16_t memoryPage = 0;
};

struct CoffRelocation {
  uint32_t address = 0;
  uint32_t symbolIndex = 0;
  uint16_t extra = 0;
  uint16_t type = 0;
};

struct CoffLineNumber {
  uint32_t symbolOrAddress = 0;
  uint16_t lineNumber = 0;
};

struct CoffSymbol {
  uint32_t nameWords[2] = {};  // the 8-byte name field as two 32-bit words
  uint32_t value = 0;
  uint16_t sectionNumber = 0;
  uint16_t type = 0;
  uint8_t storageClass = 0;
  uint8_t auxCount = 0;
};

// One entry per section. Each block is present exactly when its file offset
// in the section header is nonzero; a present block may be empty.
struct CoffSectionBuffers {
  std::optional<std::vector<uint8_t>> data;
  std::optional<std::vector<CoffRelocation>> relocations;
  std::optional<std::vector<CoffLineNumber>> lineNumbers;
};

// A name field whose first four bytes are each 0..9 refers to the string table.
bool IsStringTableReference(const uint8_t (&name)[COFF_NAME_SIZE]);

class CCoffFile {
 public:
  CoffFileHeader m_fileHeader;
  CoffOptionalHeader m_optionalHeader;             // meaningful when its size was 28
  std::vector<CoffSectionHeader> m_sectionHeaders;  // m_fileHeader.sectionCount entries
  std::vector<CoffSectionBuffers> m_sectionBuffers;  // one per section header
  std::optional<std::vector<CoffSymbol>> m_symbols;  // present when the offset was nonzero
  uint32_t m_nStringTableLength = 0;                 // counts its own 4 bytes
  std::vector<uint8_t> m_stringTable;                // the body, without the length word
  bool m_bBigEndian = false;
  uint32_t m_nDroppedDebugSections = 0;
  bool m_bLoaded = false;

  // Reads the whole file: 1 when it was read whole, 0 otherwise. On 0 the
  // object holds nothing and is not loaded. Counts and sizes come from the
  // file and are refused, before any allocation, when the block they describe
  // would reach past the end of the file. A string-table reference outside
  // the table fails the parse: such a section cannot be told apart from a
  // debug section, and loading it could put debug bytes into an image.
  int Parse(const char* path);
  // Releases every buffer; the object is then not loaded. Harmless when the
  // object is not loaded.
  void Free();

  // The section's name: the inline field up to its first NUL, or the string
  // the reference designates. Empty when a reference points outside the table.
  std::string SectionName(size_t index) const;

 private:
  // Moves the kept sections down in file order; false when a name cannot be read.
  bool DropDebugSections();
  int Fail();
};

}  // namespace morvak
