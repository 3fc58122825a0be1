#pragma once
// A small writer of COFF version 2 files (version id 0x00C2) in either byte
// order, for tests. Every field can be set, and every offset and count the
// layout would give can be overridden, so that broken files are as easy to
// make as sound ones. Depends on nothing but the standard library.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace morvak::testing {

struct CoffWriterRelocation {
  uint32_t address = 0;
  uint32_t symbolIndex = 0;
  uint16_t extra = 0;
  uint16_t type = 0;
};

struct CoffWriterLineNumber {
  uint32_t symbolOrAddress = 0;
  uint16_t lineNumber = 0;
};

struct CoffWriterSection {
  std::string name;
  // Put the name in the string table; the name field then holds `prefix`
  // (four bytes of 0..9) and the name's table offset.
  bool nameInTable = false;
  uint8_t prefix[4] = {0, 0, 0, 0};
  std::optional<uint32_t> nameOffset;  // table offset to write instead of the real one
  uint32_t physicalAddress = 0;
  uint32_t virtualAddress = 0;
  std::vector<uint8_t> data;
  bool hasData = true;             // false: raw data offset 0, no bytes written
  std::optional<uint32_t> size;    // size field; default data.size()
  std::vector<CoffWriterRelocation> relocations;
  bool hasRelocations = false;     // true: nonzero relocation offset even when empty
  std::vector<CoffWriterLineNumber> lineNumbers;
  bool hasLineNumbers = false;
  uint32_t flags = 0;
  uint16_t reserved = 0;
  uint16_t memoryPage = 0;
  // Field overrides for broken files.
  std::optional<uint32_t> rawDataOffset, relocationOffset, lineNumberOffset, relocationCount, lineNumberCount;
};

struct CoffWriterSymbol {
  uint32_t nameWords[2] = {0, 0};
  uint32_t value = 0;
  uint16_t sectionNumber = 0;
  uint16_t type = 0;
  uint8_t storageClass = 0;
  uint8_t auxCount = 0;
};

// Where Build put each part of the file.
struct CoffWriterLayout {
  uint32_t sectionTable = 0;
  std::vector<uint32_t> sectionData;  // offset of each section's data (0 without)
  uint32_t symbolTable = 0;
  uint32_t stringTable = 0;           // offset of the length word
  uint32_t fileSize = 0;
};

class CoffWriter {
 public:
  bool bigEndian = false;
  uint16_t versionId = 0x00C2;
  uint32_t timeStamp = 0;
  uint16_t flags = 0;
  uint16_t targetId = 0;
  // The optional header's fields; written when `optionalHeader` is set.
  bool optionalHeader = true;
  uint16_t optionalFields16[2] = {0x0108, 0};
  uint32_t optionalFields32[6] = {0, 0, 0, 0, 0, 0};
  std::optional<uint16_t> optionalHeaderSize;  // default 28 with the header, else 0
  std::vector<CoffWriterSection> sections;
  std::optional<uint16_t> sectionCount;        // default sections.size()
  std::vector<CoffWriterSymbol> symbols;
  bool symbolTable = false;                    // true: nonzero offset even when empty
  std::optional<uint32_t> symbolTableOffset, symbolCount;
  std::vector<std::string> extraStrings;       // more table strings after the names
  std::optional<uint32_t> stringTableLength;   // length word to write instead
  bool stringTableWritten = true;              // false: the file ends before it

  std::vector<uint8_t> Build(CoffWriterLayout* layout = nullptr) const;
  // Builds and writes the file; false when it cannot be written.
  bool WriteFile(const std::string& path, CoffWriterLayout* layout = nullptr) const;
};

}  // namespace morvak::testing
