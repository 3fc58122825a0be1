// fuzz_coff_parse: CCoffFile::Parse and the loader's modes on arbitrary files.
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "ByteOrder.h"
#include "CoffFile.h"
#include "CoffImage.h"
#include "FileLoader.h"
#include "FuzzScratch.h"
#include "FuzzTargets.h"

namespace morvak::fuzz {
namespace {

// Images up to this size are loaded; larger ones are only measured.
constexpr uint32_t kLoadLimit = 1u << 20;
// A buffer well short of an image too large to load.
constexpr uint32_t kSmallBuffer = 4096;
constexpr uint8_t kUntouched = 0xA5;

bool Inside(uint64_t offset, uint64_t length, size_t size) { return offset <= size && length <= size - offset; }

std::string CheckParsed(const CCoffFile& coff, const uint8_t* data, size_t size) {
  const CoffFileHeader& h = coff.m_fileHeader;
  if (!coff.m_bLoaded) return "Parse succeeded but the file is not loaded";
  if (coff.m_bBigEndian != (data[0] == 0x00 && data[1] == 0xC2)) return "Parse took the wrong byte order";
  const uint16_t stored = coff.m_bBigEndian ? LoadBE16(data + 2) : LoadLE16(data + 2);
  if (h.sectionCount != coff.m_sectionHeaders.size() || coff.m_sectionBuffers.size() != coff.m_sectionHeaders.size())
    return "the section count, headers and buffers disagree";
  if (h.sectionCount + coff.m_nDroppedDebugSections != stored) return "sections were lost or made up";
  for (size_t k = 0; k < coff.m_sectionHeaders.size(); ++k) {
    const CoffSectionHeader& s = coff.m_sectionHeaders[k];
    const CoffSectionBuffers& b = coff.m_sectionBuffers[k];
    if (b.data.has_value() != (s.rawDataOffset != 0)) return "section data present against its offset";
    if (b.data) {
      // Section data is kept exactly as the file stores it.
      if (b.data->size() != s.size || !Inside(s.rawDataOffset, s.size, size) ||
          (s.size != 0 && std::memcmp(b.data->data(), data + s.rawDataOffset, s.size) != 0))
        return "section data differs from the file's bytes";
    }
    if (b.relocations.has_value() != (s.relocationOffset != 0) ||
        (b.relocations && b.relocations->size() != s.relocationCount))
      return "relocations disagree with their section header";
    if (b.lineNumbers.has_value() != (s.lineNumberOffset != 0) ||
        (b.lineNumbers && b.lineNumbers->size() != s.lineNumberCount))
      return "line numbers disagree with their section header";
    if (std::string_view(coff.SectionName(k)).starts_with(".debug_")) return "a debug section was kept";
  }
  if (!coff.SectionName(coff.m_sectionHeaders.size()).empty()) return "a section past the table has a name";
  if (coff.m_symbols.has_value() != (h.symbolTableOffset != 0) ||
      (coff.m_symbols && coff.m_symbols->size() != h.symbolCount))
    return "the symbol table disagrees with the file header";
  if (coff.m_nStringTableLength < COFF_STRING_TABLE_LENGTH_SIZE ||
      coff.m_stringTable.size() != coff.m_nStringTableLength - COFF_STRING_TABLE_LENGTH_SIZE)
    return "the string table disagrees with its length word";
  return {};
}

// The last loadable section in table order is overwritten by none.
std::string CheckImage(const CCoffFile& coff, const std::vector<uint8_t>& image) {
  const CoffFlatExtent extent = FindFlatExtent(coff);
  for (size_t k = coff.m_sectionHeaders.size(); k-- > 0;) {
    const CoffSectionHeader& s = coff.m_sectionHeaders[k];
    if (!IsLoadableSection(s)) continue;
    const std::vector<uint8_t>& bytes = *coff.m_sectionBuffers[k].data;
    if (std::memcmp(image.data() + (s.virtualAddress - extent.low), bytes.data(), bytes.size()) != 0)
      return "Load did not place the last section at its address";
    return {};
  }
  return {};
}

// Loads into a buffer of exactly `capacity` bytes on the heap, so that a write
// past it is caught; the loader is told the image has that size.
int LoadInto(CFileLoader& loader, const std::string& path, uint32_t capacity, std::vector<uint8_t>& out) {
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[capacity]);
  std::memset(buffer.get(), kUntouched, capacity);
  loader.m_nSize = capacity;
  const int loaded = loader.Load(buffer.get(), path.c_str());
  out.assign(buffer.get(), buffer.get() + capacity);
  return loaded;
}

std::string CheckCoffMode(const CCoffFile& coff, bool parsed, const std::string& path) {
  CFileLoader loader;
  loader.SetFileType(FILE_TYPE_COFF);
  const uint32_t size = loader.GetSize(path.c_str());
  if (loader.m_nError != LOAD_ERR_NONE) return "GetSize of a COFF file set an error";
  if (size != loader.m_nSize) return "GetSize did not keep its result";
  if (!parsed) return size == 0 ? std::string() : "a file that does not parse measured nonzero";
  const uint64_t span = FindFlatExtent(coff).Size();
  if (size != (span >= LOADER_SIZE_TOO_LARGE ? LOADER_SIZE_TOO_LARGE : span)) return "GetSize differs from the span";

  std::vector<uint8_t> image;
  if (size != 0 && size <= kLoadLimit) {
    if (LoadInto(loader, path, size, image) != 1) return "Load failed on a file GetSize measured";
    if (std::string problem = CheckImage(coff, image); !problem.empty()) return problem;
  }
  // A buffer too small for the image is refused before anything is written.
  if (size != 0) {
    const uint32_t small = size <= kLoadLimit ? size - 1 : kSmallBuffer;
    loader.m_nError = LOAD_ERR_NONE;
    if (LoadInto(loader, path, small, image) != 0 || loader.m_nError != LOAD_ERR_READ)
      return "Load filled a buffer too small for the image";
    for (const uint8_t b : image)
      if (b != kUntouched) return "a refused Load wrote into the buffer";
  }
  return {};
}

std::string CheckPlainMode(const std::string& path, const uint8_t* data, size_t size) {
  CFileLoader loader;
  loader.SetFileType(FILE_TYPE_PLAIN);
  const uint32_t measured = loader.GetSize(path.c_str());
  if (measured != size) return "the plain mode measured another size than the file's";
  if (size == 0) return {};
  std::vector<uint8_t> bytes;
  if (LoadInto(loader, path, measured, bytes) != 1 || std::memcmp(bytes.data(), data, size) != 0)
    return "the plain mode did not read the file's bytes";
  return {};
}

}  // namespace

std::string FuzzCoffParse(const uint8_t* data, size_t size) {
  const std::string path = WriteScratchFile("program.out", data, size);
  if (path.empty()) return "the file could not be written";
  const int descriptors = OpenDescriptorCount();

  CCoffFile coff;
  const int parsed = coff.Parse(path.c_str());
  if (parsed != 0 && parsed != 1) return "Parse returned neither 0 nor 1";
  if (parsed == 0 && (coff.m_bLoaded || !coff.m_sectionHeaders.empty() || !coff.m_sectionBuffers.empty() ||
                      coff.m_symbols || !coff.m_stringTable.empty()))
    return "a failed Parse left something behind";
  if (parsed == 1) {
    if (std::string problem = CheckParsed(coff, data, size); !problem.empty()) return problem;
  }
  // The object can be used again: a second Parse gives the same file.
  CCoffFile again;
  again.m_stringTable.assign(3, 0);
  if (again.Parse(path.c_str()) != parsed || again.m_sectionHeaders.size() != coff.m_sectionHeaders.size() ||
      again.m_stringTable != coff.m_stringTable)
    return "a second Parse of the same file differs";

  if (std::string problem = CheckCoffMode(coff, parsed == 1, path); !problem.empty()) return problem;
  if (std::string problem = CheckPlainMode(path, data, size); !problem.empty()) return problem;
  if (OpenDescriptorCount() != descriptors) return "a file was left open";
  return {};
}

}  // namespace morvak::fuzz
