// COFF version 2 files made by another toolchain (GNU binutils for a COFF
// version 2 target), in both header byte orders: the reader must agree with
// that toolchain's own listing of sections, relocations and symbols.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "CoffFile.h"
#include "InspectCoff.h"

namespace morvak {
namespace {

const std::string kToolPrefix = "tic4x-coff-";

std::string ToolsBin() {
  const char* dir = std::getenv("MORVAK_COFF_TOOLS_BIN");
  return dir != nullptr && *dir != '\0' ? dir : MORVAK_COFF_TOOLS_BIN;
}

std::string Tool(const std::string& name) { return ToolsBin() + "/" + kToolPrefix + name; }

bool ToolsPresent() {
  for (const char* name : {"as", "ld", "objcopy", "objdump"})
    if (access(Tool(name).c_str(), X_OK) != 0) return false;
  return true;
}

// Runs a command, bounded in time, and gives its standard output; the exit
// status goes to `status`.
std::string RunCommand(const std::string& command, int& status) {
  std::string out;
  std::FILE* pipe = popen(("timeout 60 " + command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) {
    status = -1;
    return out;
  }
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  status = pclose(pipe);
  return out;
}

struct ListedSection {
  std::string name;
  uint32_t size = 0, vma = 0, lma = 0, fileOffset = 0;
};

// The section table as `objdump -h -w` prints it.
std::vector<ListedSection> ListedSections(const std::string& listing) {
  std::vector<ListedSection> sections;
  std::istringstream lines(listing);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    unsigned index;
    ListedSection s;
    if (!(fields >> index >> s.name >> std::hex >> s.size >> s.vma >> s.lma >> s.fileOffset)) continue;
    sections.push_back(s);
  }
  return sections;
}

// Relocation records per section as `objdump -r` prints them.
std::map<std::string, uint32_t> ListedRelocations(const std::string& listing) {
  std::map<std::string, uint32_t> counts;
  std::istringstream lines(listing);
  std::string line, current;
  const std::string head = "RELOCATION RECORDS FOR [";
  while (std::getline(lines, line)) {
    if (line.rfind(head, 0) == 0) {
      current = line.substr(head.size(), line.find(']') - head.size());
      counts[current] = 0;
    } else if (!current.empty() && !line.empty() && line.rfind("OFFSET", 0) != 0) {
      ++counts[current];
    } else if (line.empty()) {
      current.clear();
    }
  }
  return counts;
}

// Symbol table entries, auxiliary entries included, from `objdump -t`.
uint32_t ListedSymbolEntries(const std::string& listing) {
  uint32_t entries = 0;
  std::istringstream lines(listing);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] != '[') continue;
    const size_t nx = line.find("(nx ");
    if (nx == std::string::npos) continue;
    entries += 1 + static_cast<uint32_t>(std::stoul(line.substr(nx + 4)));
  }
  return entries;
}

constexpr char kProgram[] = R"(        .text
        .global _start
_start: nop
        nop
        br ext
        .data
val:    .word 0x1234, 0x5678, 0x9abc
        .sect "a_long_section_name"
        .word 1, 2, 3, 4
        .sect "exactly8"
        .word 7
        .bss buf, 16
)";

// Places the sections the default script has no memory region for.
constexpr char kLinkerScript[] = R"(SECTIONS
{
  .text 0x100 : { *(.text) }
  .data : { *(.data) }
  a_long_s : { *(a_long_s) }
  exactly8 : { *(exactly8) }
  .bss 0x800 : { *(.bss) }
}
)";

constexpr char kExternal[] = R"(        .text
        .global ext
ext:    nop
        nop
)";

class CoffInteropTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!ToolsPresent()) {
      const char* ci = std::getenv("CI");
      const std::string why = "no COFF toolchain at " + ToolsBin() + " (built by the coff_tools test from Debian's "
                              "binutils-source; see " MORVAK_COFF_TOOLS_LOG ")";
      if (ci != nullptr && std::string(ci) == "true") FAIL() << why;
      GTEST_SKIP() << why;
    }
    char pattern[] = "/tmp/coff-interop-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    m_dir = pattern;
    std::ofstream(m_dir + "/prog.s") << kProgram;
    std::ofstream(m_dir + "/ext.s") << kExternal;
    std::ofstream(m_dir + "/prog.ld") << kLinkerScript;
    Must(Tool("as") + " -o " + m_dir + "/prog.o " + m_dir + "/prog.s");
    Must(Tool("as") + " -o " + m_dir + "/ext.o " + m_dir + "/ext.s");
  }
  void TearDown() override {
    if (!m_dir.empty()) std::filesystem::remove_all(m_dir);
  }
  std::string Must(const std::string& command) {
    int status = 0;
    const std::string out = RunCommand(command, status);
    EXPECT_EQ(status, 0) << command << "\n" << out;
    return out;
  }

  void Link(const std::string& format, const std::string& out) {
    Must(Tool("ld") + " --oformat " + format + " -T " + m_dir + "/prog.ld -e _start -o " + out + " " + m_dir +
         "/prog.o " + m_dir + "/ext.o");
  }

  // Parses `file` and checks it against the toolchain's listing of it.
  void ExpectAgreement(const std::string& file, bool bigEndian) {
    SCOPED_TRACE(file);
    CCoffFile coff;
    ASSERT_EQ(coff.Parse(file.c_str()), 1);
    EXPECT_EQ(coff.m_bBigEndian, bigEndian);
    EXPECT_EQ(coff.m_fileHeader.versionId, COFF_VERSION_ID);

    std::vector<ListedSection> listed = ListedSections(Must(Tool("objdump") + " -h -w " + file));
    ASSERT_FALSE(listed.empty());
    uint32_t debug = 0;
    for (auto it = listed.begin(); it != listed.end();) {
      if (it->name.rfind(".debug_", 0) == 0) {
        it = listed.erase(it);
        ++debug;
      } else {
        ++it;
      }
    }
    EXPECT_EQ(coff.m_nDroppedDebugSections, debug);
    ASSERT_EQ(coff.m_fileHeader.sectionCount, listed.size());
    const auto relocations = ListedRelocations(Must(Tool("objdump") + " -r " + file));
    for (size_t k = 0; k < listed.size(); ++k) {
      const CoffSectionHeader& s = coff.m_sectionHeaders[k];
      SCOPED_TRACE(listed[k].name);
      EXPECT_EQ(coff.SectionName(k), listed[k].name);
      EXPECT_EQ(s.size, listed[k].size);
      EXPECT_EQ(s.virtualAddress, listed[k].vma);
      EXPECT_EQ(s.physicalAddress, listed[k].lma);
      EXPECT_EQ(s.rawDataOffset, listed[k].fileOffset);
      const auto r = relocations.find(listed[k].name);
      EXPECT_EQ(s.relocationCount, r == relocations.end() ? 0u : r->second);
      const auto& b = coff.m_sectionBuffers[k];
      EXPECT_EQ(b.relocations ? b.relocations->size() : 0u, s.relocationCount);
    }
    EXPECT_EQ(coff.m_fileHeader.symbolCount, ListedSymbolEntries(Must(Tool("objdump") + " -t " + file)));
    coff.Free();

    std::ostringstream out, err;
    EXPECT_EQ(cli::RunInspectCoff({file, "--flat", file + ".flat"}, out, err), 0) << err.str();
    EXPECT_NE(out.str().find(bigEndian ? "byte order: big-endian" : "byte order: little-endian"), std::string::npos);
  }
  std::string m_dir;
};

struct InteropFormat {
  const char* name;
  bool bigEndian;
};

void PrintTo(const InteropFormat& format, std::ostream* os) { *os << format.name; }

class CoffInteropFormatTest : public CoffInteropTest, public ::testing::WithParamInterface<InteropFormat> {};

TEST_P(CoffInteropFormatTest, ALinkedExecutableAgreesWithTheToolchainsListing) {
  const std::string out = m_dir + "/prog-" + GetParam().name + ".out";
  Link(GetParam().name, out);
  ASSERT_NO_FATAL_FAILURE(ExpectAgreement(out, GetParam().bigEndian));
  EXPECT_NE(Must(Tool("objdump") + " -f " + out).find("EXEC_P"), std::string::npos);
}

TEST_P(CoffInteropFormatTest, AnObjectWithRelocationsAgrees) {
  const std::string out = m_dir + "/prog-" + GetParam().name + ".o";
  Must(Tool("objcopy") + " -O " + GetParam().name + " " + m_dir + "/prog.o " + out);
  ASSERT_NO_FATAL_FAILURE(ExpectAgreement(out, GetParam().bigEndian));
  CCoffFile coff;
  ASSERT_EQ(coff.Parse(out.c_str()), 1);
  EXPECT_GT(coff.m_sectionHeaders[0].relocationCount, 0u) << "the reference to ext is relocated";
}

TEST_P(CoffInteropFormatTest, ADebugSectionTheToolchainAddsIsDropped) {
  const std::string exe = m_dir + "/prog-" + GetParam().name + ".out";
  const std::string out = m_dir + "/prog-" + GetParam().name + "-debug.out";
  std::ofstream(m_dir + "/blob") << "debug bytes";
  Link(GetParam().name, exe);
  Must(Tool("objcopy") + " --add-section .debug_info=" + m_dir + "/blob --set-section-flags .debug_info=contents " +
       "--add-section .debugx=" + m_dir + "/blob --set-section-flags .debugx=contents " + exe + " " + out);
  ASSERT_NO_FATAL_FAILURE(ExpectAgreement(out, GetParam().bigEndian));
  CCoffFile coff;
  ASSERT_EQ(coff.Parse(out.c_str()), 1);
  EXPECT_EQ(coff.m_nDroppedDebugSections, 1u);
  EXPECT_EQ(coff.SectionName(coff.m_sectionHeaders.size() - 1), ".debugx");
}

INSTANTIATE_TEST_SUITE_P(HeaderByteOrders, CoffInteropFormatTest,
                         ::testing::Values(InteropFormat{"coff2-tic4x", false}, InteropFormat{"coff2-beh-tic4x", true}),
                         [](const auto& p) { return p.param.bigEndian ? "BigEndianHeader" : "LittleEndianHeader"; });

}  // namespace
}  // namespace morvak
