#include "CoffWriter.h"

#include <fstream>

#include "ByteOrder.h"

namespace morvak::testing {
namespace {

class Bytes {
 public:
  explicit Bytes(bool bigEndian) : m_bBigEndian(bigEndian) {}
  void U8(uint8_t v) { m_bytes.push_back(v); }
  void U16(uint16_t v) {
    uint8_t b[2];
    m_bBigEndian ? StoreBE16(b, v) : StoreLE16(b, v);
    m_bytes.insert(m_bytes.end(), b, b + 2);
  }
  void U32(uint32_t v) {
    uint8_t b[4];
    m_bBigEndian ? StoreBE32(b, v) : StoreLE32(b, v);
    m_bytes.insert(m_bytes.end(), b, b + 4);
  }
  void Raw(const uint8_t* p, size_t n) { m_bytes.insert(m_bytes.end(), p, p + n); }
  uint32_t Size() const { return static_cast<uint32_t>(m_bytes.size()); }
  std::vector<uint8_t>& Vector() { return m_bytes; }

 private:
  bool m_bBigEndian;
  std::vector<uint8_t> m_bytes;
};

constexpr uint32_t kFileHeaderSize = 22;
constexpr uint32_t kOptionalHeaderSize = 28;
constexpr uint32_t kSectionHeaderSize = 48;
constexpr uint32_t kRelocationSize = 12;
constexpr uint32_t kLineNumberSize = 6;
constexpr uint32_t kSymbolSize = 18;

struct Placed {
  uint32_t data = 0, relocations = 0, lineNumbers = 0, nameOffset = 0;
};

}  // namespace

std::vector<uint8_t> CoffWriter::Build(CoffWriterLayout* layout) const {
  // Lay the file out first: headers, section table, each section's blocks in
  // order, the symbol table, the string table.
  std::vector<Placed> placed(sections.size());
  uint32_t offset = kFileHeaderSize + (optionalHeader ? kOptionalHeaderSize : 0);
  const uint32_t sectionTable = offset;
  offset += static_cast<uint32_t>(sections.size()) * kSectionHeaderSize;
  for (size_t k = 0; k < sections.size(); ++k) {
    const CoffWriterSection& s = sections[k];
    if (s.hasData) {
      placed[k].data = offset;
      offset += static_cast<uint32_t>(s.data.size());
    }
    if (s.hasRelocations || !s.relocations.empty()) {
      placed[k].relocations = offset;
      offset += static_cast<uint32_t>(s.relocations.size()) * kRelocationSize;
    }
    if (s.hasLineNumbers || !s.lineNumbers.empty()) {
      placed[k].lineNumbers = offset;
      offset += static_cast<uint32_t>(s.lineNumbers.size()) * kLineNumberSize;
    }
  }
  const bool withSymbols = symbolTable || !symbols.empty();
  const uint32_t symbolOffset = withSymbols ? offset : 0;
  offset += static_cast<uint32_t>(symbols.size()) * kSymbolSize;
  const uint32_t stringOffset = offset;

  std::string body;
  for (size_t k = 0; k < sections.size(); ++k) {
    if (!sections[k].nameInTable) continue;
    placed[k].nameOffset = static_cast<uint32_t>(body.size()) + 4;
    body += sections[k].name;
    body += '\0';
  }
  for (const std::string& s : extraStrings) {
    body += s;
    body += '\0';
  }

  Bytes out(bigEndian);
  // The version id is what tells the byte order, so it follows it too.
  out.U16(versionId);
  out.U16(sectionCount.value_or(static_cast<uint16_t>(sections.size())));
  out.U32(timeStamp);
  out.U32(symbolTableOffset.value_or(symbolOffset));
  out.U32(symbolCount.value_or(static_cast<uint32_t>(symbols.size())));
  out.U16(optionalHeaderSize.value_or(optionalHeader ? static_cast<uint16_t>(kOptionalHeaderSize) : 0));
  out.U16(flags);
  out.U16(targetId);
  if (optionalHeader) {
    for (const uint16_t v : optionalFields16) out.U16(v);
    for (const uint32_t v : optionalFields32) out.U32(v);
  }
  for (size_t k = 0; k < sections.size(); ++k) {
    const CoffWriterSection& s = sections[k];
    if (s.nameInTable) {
      out.Raw(s.prefix, 4);
      out.U32(s.nameOffset.value_or(placed[k].nameOffset));
    } else {
      uint8_t name[8] = {};
      for (size_t i = 0; i < s.name.size() && i < 8; ++i) name[i] = static_cast<uint8_t>(s.name[i]);
      out.Raw(name, 8);
    }
    out.U32(s.physicalAddress);
    out.U32(s.virtualAddress);
    out.U32(s.size.value_or(static_cast<uint32_t>(s.data.size())));
    out.U32(s.rawDataOffset.value_or(placed[k].data));
    out.U32(s.relocationOffset.value_or(placed[k].relocations));
    out.U32(s.lineNumberOffset.value_or(placed[k].lineNumbers));
    out.U32(s.relocationCount.value_or(static_cast<uint32_t>(s.relocations.size())));
    out.U32(s.lineNumberCount.value_or(static_cast<uint32_t>(s.lineNumbers.size())));
    out.U32(s.flags);
    out.U16(s.reserved);
    out.U16(s.memoryPage);
  }
  for (const CoffWriterSection& s : sections) {
    if (s.hasData) out.Raw(s.data.data(), s.data.size());
    for (const CoffWriterRelocation& r : s.relocations) {
      out.U32(r.address);
      out.U32(r.symbolIndex);
      out.U16(r.extra);
      out.U16(r.type);
    }
    for (const CoffWriterLineNumber& l : s.lineNumbers) {
      out.U32(l.symbolOrAddress);
      out.U16(l.lineNumber);
    }
  }
  for (const CoffWriterSymbol& s : symbols) {
    out.U32(s.nameWords[0]);
    out.U32(s.nameWords[1]);
    out.U32(s.value);
    out.U16(s.sectionNumber);
    out.U16(s.type);
    out.U8(s.storageClass);
    out.U8(s.auxCount);
  }
  if (stringTableWritten) {
    out.U32(stringTableLength.value_or(static_cast<uint32_t>(body.size()) + 4));
    out.Raw(reinterpret_cast<const uint8_t*>(body.data()), body.size());
  }
  if (layout != nullptr) {
    layout->sectionTable = sectionTable;
    layout->sectionData.clear();
    for (const Placed& p : placed) layout->sectionData.push_back(p.data);
    layout->symbolTable = symbolOffset;
    layout->stringTable = stringOffset;
    layout->fileSize = out.Size();
  }
  return std::move(out.Vector());
}

bool CoffWriter::WriteFile(const std::string& path, CoffWriterLayout* layout) const {
  const std::vector<uint8_t> bytes = Build(layout);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(file);
}

}  // namespace morvak::testing
