#include "InspectCoff.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <fstream>
#include <new>
#include <optional>

#include "CliTexts.h"
#include "CoffFile.h"
#include "CoffImage.h"
#include "FileLoader.h"

namespace morvak::cli {
namespace {

// The largest image a flashing run accepts is one byte below 256 MiB; a
// larger flat image is no programmer and is not written.
constexpr uint32_t kFlatImageLimit = 0x10000000u;
constexpr char kUsage[] = "usage: morvak-cli inspect-coff FILE [--flat OUT]\n";

struct InspectCoffArgs {
  std::string file;
  std::optional<std::string> flat;
};

std::optional<InspectCoffArgs> ParseArgs(const std::vector<std::string>& args, std::string& problem) {
  InspectCoffArgs parsed;
  bool haveFile = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--flat") {
      if (i + 1 >= args.size() || parsed.flat) {
        problem = parsed.flat ? "--flat given twice" : "--flat needs a file name";
        return std::nullopt;
      }
      parsed.flat = args[++i];
    } else if (a.size() > 1 && a[0] == '-') {
      problem = "unknown option " + a;
      return std::nullopt;
    } else if (haveFile) {
      problem = "more than one FILE";
      return std::nullopt;
    } else {
      parsed.file = a;
      haveFile = true;
    }
  }
  if (!haveFile) {
    problem = "FILE is missing";
    return std::nullopt;
  }
  return parsed;
}

__attribute__((format(printf, 1, 2))) std::string Line(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

// Names come from the file: anything unprintable is shown as '?'.
std::string Printable(const std::string& name) {
  std::string shown = name;
  for (char& c : shown)
    if (c < 0x20 || c > 0x7E) c = '?';
  return shown.empty() ? "(none)" : shown;
}

void PrintHeaders(const CCoffFile& coff, std::ostream& out) {
  const CoffFileHeader& h = coff.m_fileHeader;
  out << "byte order: " << (coff.m_bBigEndian ? "big-endian" : "little-endian") << '\n';
  out << Line("version id: 0x%04X\n", h.versionId);
  out << Line("time stamp: 0x%08" PRIX32 "\n", h.timeStamp);
  out << Line("symbol table offset: 0x%08" PRIX32 "\n", h.symbolTableOffset);
  out << Line("symbol count: %" PRIu32 "\n", h.symbolCount);
  out << Line("optional header size: %u\n", h.optionalHeaderSize);
  out << Line("flags: 0x%04X\n", h.flags);
  out << Line("target id: 0x%04X\n", h.targetId);
  if (h.optionalHeaderSize == COFF_OPTIONAL_HEADER_SIZE) {
    const CoffOptionalHeader& o = coff.m_optionalHeader;
    out << Line("optional header: magic 0x%04X, version %u, code size 0x%08" PRIX32 ", data size 0x%08" PRIX32
                ", bss size 0x%08" PRIX32 ", entry 0x%08" PRIX32 ", code start 0x%08" PRIX32
                ", data start 0x%08" PRIX32 "\n",
                o.magic, o.version, o.codeSize, o.dataSize, o.bssSize, o.entryPoint, o.codeStart, o.dataStart);
  }
}

void PrintSections(const CCoffFile& coff, std::ostream& out) {
  out << Line("sections: %u kept, %" PRIu32 " debug dropped\n", coff.m_fileHeader.sectionCount,
              coff.m_nDroppedDebugSections);
  out << "  idx name             paddr      vaddr      size       data-off   relocs lines flags      page\n";
  for (size_t k = 0; k < coff.m_sectionHeaders.size(); ++k) {
    const CoffSectionHeader& s = coff.m_sectionHeaders[k];
    out << Line("  %-3zu %-16s 0x%08" PRIX32 " 0x%08" PRIX32 " 0x%08" PRIX32 " 0x%08" PRIX32 " %6" PRIu32
                " %5" PRIu32 " 0x%08" PRIX32 " %u\n",
                k, Printable(coff.SectionName(k)).c_str(), s.physicalAddress, s.virtualAddress, s.size,
                s.rawDataOffset, s.relocationCount, s.lineNumberCount, s.flags, s.memoryPage);
  }
}

void PrintFlatImage(const CCoffFile& coff, std::ostream& out) {
  const CoffFlatExtent extent = FindFlatExtent(coff);
  if (!extent.any) {
    out << "flat image: no loadable section\n";
    return;
  }
  out << Line("flat image: low 0x%08" PRIX32 ", size 0x%" PRIX64 "%s\n", extent.low, extent.Size(),
              extent.Size() >= LOADER_SIZE_TOO_LARGE ? " (too large to load)" : "");
}

// Writes the image exactly as the loader makes it; bytes no section covers are 0.
int WriteFlat(const std::string& file, const std::string& flat, std::ostream& out, std::ostream& err) {
  CFileLoader loader;
  loader.SetFileType(FILE_TYPE_COFF);
  const uint32_t size = loader.GetSize(file.c_str());
  if (size >= kFlatImageLimit) {
    err << "inspect-coff: the flat image of " << file << " is too large to write (256 MiB or more)\n";
    return clitexts::kExitFailed;
  }
  std::vector<uint8_t> image;
  try {
    image.assign(size, 0);
  } catch (const std::bad_alloc&) {
    err << "inspect-coff: no memory for the flat image of " << file << '\n';
    return clitexts::kExitFailed;
  }
  if (loader.Load(image.data(), file.c_str()) == 0) {
    err << "inspect-coff: " << file << " changed while it was read (loader code " << loader.GetError() << ")\n";
    return clitexts::kExitFailed;
  }
  std::ofstream stream(flat, std::ios::binary | std::ios::trunc);
  stream.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  stream.close();
  if (!stream) {
    err << "inspect-coff: cannot write " << flat << '\n';
    return clitexts::kExitFailed;
  }
  out << Line("flat image written: %" PRIu32 " bytes to ", size) << flat << '\n';
  return clitexts::kExitSucceeded;
}

}  // namespace

int RunInspectCoff(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::string problem;
  const auto parsed = ParseArgs(args, problem);
  if (!parsed) {
    err << "morvak-cli inspect-coff: " << problem << '\n' << kUsage;
    return clitexts::kExitUsage;
  }
  CCoffFile coff;
  if (coff.Parse(parsed->file.c_str()) == 0) {
    err << "inspect-coff: " << parsed->file
        << ": not a readable COFF file (version id 0x00C2 in either byte order, every block inside the file)\n";
    return clitexts::kExitFailed;
  }
  out << "file: " << parsed->file << '\n';
  PrintHeaders(coff, out);
  PrintSections(coff, out);
  out << Line("string table length: %" PRIu32 "\n", coff.m_nStringTableLength);
  PrintFlatImage(coff, out);
  coff.Free();
  return parsed->flat ? WriteFlat(parsed->file, *parsed->flat, out, err) : clitexts::kExitSucceeded;
}

}  // namespace morvak::cli
