#include "CoffFile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>
#include <string>
#include <vector>

#include "CoffWriter.h"

// Every allocation of this test program goes through here, so that a test can
// see the largest single block a parse asked for.
namespace {
std::atomic<size_t> g_largestAllocation{0};
void* Allocate(std::size_t n) {
  size_t seen = g_largestAllocation.load();
  while (n > seen && !g_largestAllocation.compare_exchange_weak(seen, n)) {
  }
  void* p = std::malloc(n == 0 ? 1 : n);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
}  // namespace
void* operator new(std::size_t n) { return Allocate(n); }
void* operator new[](std::size_t n) { return Allocate(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace morvak {
namespace {

using testing::CoffWriter;
using testing::CoffWriterSection;

std::string TempPath() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "-" + info->name();
  for (char& c : name)
    if (c == '/') c = '_';
  return ::testing::TempDir() + "coff-" + std::to_string(getpid()) + "-" + name;
}

class CoffFileTest : public ::testing::Test {
 protected:
  void TearDown() override { std::remove(m_path.c_str()); }
  int ParseBytes(const std::vector<uint8_t>& bytes) {
    std::ofstream(m_path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return m_coff.Parse(m_path.c_str());
  }
  int Parse(const CoffWriter& writer) { return ParseBytes(writer.Build()); }
  void ExpectEmpty() const {
    EXPECT_FALSE(m_coff.m_bLoaded);
    EXPECT_TRUE(m_coff.m_sectionHeaders.empty());
    EXPECT_TRUE(m_coff.m_sectionBuffers.empty());
    EXPECT_FALSE(m_coff.m_symbols.has_value());
    EXPECT_TRUE(m_coff.m_stringTable.empty());
    EXPECT_EQ(m_coff.m_fileHeader.sectionCount, 0);
  }
  std::string m_path = TempPath();
  CCoffFile m_coff;
};

CoffWriterSection Section(const std::string& name, uint32_t address, std::vector<uint8_t> data) {
  CoffWriterSection s;
  s.name = name;
  s.virtualAddress = address;
  s.physicalAddress = address;
  s.data = std::move(data);
  return s;
}

CoffWriter Program(bool bigEndian) {
  CoffWriter w;
  w.bigEndian = bigEndian;
  w.timeStamp = 0x11223344;
  w.flags = 0x0123;
  w.targetId = 0x0098;
  w.optionalFields16[0] = 0x0108;
  w.optionalFields16[1] = 0x0201;
  w.optionalFields32[0] = 0xA1A2A3A4;
  w.optionalFields32[3] = 0x00001234;
  w.optionalFields32[5] = 0xB1B2B3B4;
  CoffWriterSection text = Section(".text", 0x100, {1, 2, 3, 4, 5, 6});
  text.physicalAddress = 0x80000100;
  text.relocations = {{0x01020304, 0x05060708, 0x090A, 0x0B0C}, {1, 2, 3, 4}};
  text.lineNumbers = {{0x0D0E0F10, 0x1112}};
  text.flags = 0x00000020;
  text.memoryPage = 1;
  text.reserved = 0x0203;
  w.sections.push_back(text);
  CoffWriterSection bss;
  bss.name = ".bss";
  bss.virtualAddress = 0x800;
  bss.hasData = false;
  bss.size = 0x400;
  w.sections.push_back(bss);
  testing::CoffWriterSymbol sym;
  sym.nameWords[0] = 0x41424344;
  sym.nameWords[1] = 0x45464748;
  sym.value = 0xCAFEF00D;
  sym.sectionNumber = 0xFFFE;
  sym.type = 0x0102;
  sym.storageClass = 2;
  sym.auxCount = 1;
  w.symbols = {sym, {}};
  w.extraStrings = {"a_long_symbol_name"};
  return w;
}

class CoffByteOrderTest : public CoffFileTest, public ::testing::WithParamInterface<bool> {};

TEST_P(CoffByteOrderTest, EveryFieldComesOutInHostOrderAndDataAsStored) {
  const CoffWriter w = Program(GetParam());
  const std::vector<uint8_t> bytes = w.Build();
  EXPECT_EQ(bytes[0], GetParam() ? 0x00 : 0xC2);
  EXPECT_EQ(bytes[1], GetParam() ? 0xC2 : 0x00);
  ASSERT_EQ(ParseBytes(bytes), 1);
  EXPECT_TRUE(m_coff.m_bLoaded);
  EXPECT_EQ(m_coff.m_bBigEndian, GetParam());
  const CoffFileHeader& h = m_coff.m_fileHeader;
  EXPECT_EQ(h.versionId, COFF_VERSION_ID);
  EXPECT_EQ(h.sectionCount, 2);
  EXPECT_EQ(h.timeStamp, 0x11223344u);
  EXPECT_NE(h.symbolTableOffset, 0u);
  EXPECT_EQ(h.symbolCount, 2u);
  EXPECT_EQ(h.optionalHeaderSize, 28);
  EXPECT_EQ(h.flags, 0x0123);
  EXPECT_EQ(h.targetId, 0x0098);
  const CoffOptionalHeader& o = m_coff.m_optionalHeader;
  EXPECT_EQ(o.magic, 0x0108);
  EXPECT_EQ(o.version, 0x0201);
  EXPECT_EQ(o.codeSize, 0xA1A2A3A4u);
  EXPECT_EQ(o.entryPoint, 0x1234u);
  EXPECT_EQ(o.dataStart, 0xB1B2B3B4u);

  ASSERT_EQ(m_coff.m_sectionHeaders.size(), 2u);
  const CoffSectionHeader& text = m_coff.m_sectionHeaders[0];
  EXPECT_EQ(m_coff.SectionName(0), ".text");
  EXPECT_EQ(text.physicalAddress, 0x80000100u);
  EXPECT_EQ(text.virtualAddress, 0x100u);
  EXPECT_EQ(text.size, 6u);
  EXPECT_EQ(text.relocationCount, 2u);
  EXPECT_EQ(text.lineNumberCount, 1u);
  EXPECT_EQ(text.flags, 0x20u);
  EXPECT_EQ(text.reserved, 0x0203);
  EXPECT_EQ(text.memoryPage, 1);
  const CoffSectionBuffers& b = m_coff.m_sectionBuffers[0];
  ASSERT_TRUE(b.data && b.relocations && b.lineNumbers);
  EXPECT_EQ(*b.data, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
  ASSERT_EQ(b.relocations->size(), 2u);
  EXPECT_EQ((*b.relocations)[0].address, 0x01020304u);
  EXPECT_EQ((*b.relocations)[0].symbolIndex, 0x05060708u);
  EXPECT_EQ((*b.relocations)[0].extra, 0x090A);
  EXPECT_EQ((*b.relocations)[0].type, 0x0B0C);
  EXPECT_EQ((*b.relocations)[1].type, 4);
  ASSERT_EQ(b.lineNumbers->size(), 1u);
  EXPECT_EQ((*b.lineNumbers)[0].symbolOrAddress, 0x0D0E0F10u);
  EXPECT_EQ((*b.lineNumbers)[0].lineNumber, 0x1112);

  EXPECT_EQ(m_coff.SectionName(1), ".bss");
  EXPECT_EQ(m_coff.m_sectionHeaders[1].size, 0x400u);
  EXPECT_FALSE(m_coff.m_sectionBuffers[1].data.has_value());
  EXPECT_FALSE(m_coff.m_sectionBuffers[1].relocations.has_value());

  ASSERT_TRUE(m_coff.m_symbols.has_value());
  ASSERT_EQ(m_coff.m_symbols->size(), 2u);
  const CoffSymbol& sym = (*m_coff.m_symbols)[0];
  EXPECT_EQ(sym.nameWords[0], 0x41424344u);
  EXPECT_EQ(sym.nameWords[1], 0x45464748u);
  EXPECT_EQ(sym.value, 0xCAFEF00Du);
  EXPECT_EQ(sym.sectionNumber, 0xFFFE);
  EXPECT_EQ(sym.type, 0x0102);
  EXPECT_EQ(sym.storageClass, 2);
  EXPECT_EQ(sym.auxCount, 1);
  EXPECT_EQ(m_coff.m_nStringTableLength, 4u + 19u);
  EXPECT_EQ(std::string(m_coff.m_stringTable.begin(), m_coff.m_stringTable.end()),
            std::string("a_long_symbol_name\0", 19));
}

TEST_P(CoffByteOrderTest, NamesInlineAndByReference) {
  CoffWriter w;
  w.bigEndian = GetParam();
  w.sections = {Section("abc", 0, {}), Section("ABCDEFGH", 0, {}), Section(".a_long_name", 0, {}),
                Section("other_long_name", 0, {})};
  w.sections[2].nameInTable = true;
  w.sections[3].nameInTable = true;
  const uint8_t prefix[4] = {1, 2, 3, 4};
  std::memcpy(w.sections[3].prefix, prefix, 4);
  ASSERT_EQ(Parse(w), 1);
  EXPECT_EQ(m_coff.SectionName(0), "abc");
  EXPECT_EQ(m_coff.SectionName(1), "ABCDEFGH");
  EXPECT_EQ(m_coff.SectionName(2), ".a_long_name");
  EXPECT_EQ(m_coff.SectionName(3), "other_long_name");
  // Inline names stay as read.
  EXPECT_EQ(std::memcmp(m_coff.m_sectionHeaders[1].name, "ABCDEFGH", 8), 0);
  // A reference holds its offset most significant byte first in either order;
  // a little-endian file has its first four bytes turned round too.
  const uint8_t zeroRef[8] = {0, 0, 0, 0, 0, 0, 0, 4};
  EXPECT_EQ(std::memcmp(m_coff.m_sectionHeaders[2].name, zeroRef, 8), 0);
  const uint8_t expected[8] = {static_cast<uint8_t>(GetParam() ? 1 : 4), static_cast<uint8_t>(GetParam() ? 2 : 3),
                               static_cast<uint8_t>(GetParam() ? 3 : 2), static_cast<uint8_t>(GetParam() ? 4 : 1),
                               0, 0, 0, 17};
  EXPECT_EQ(std::memcmp(m_coff.m_sectionHeaders[3].name, expected, 8), 0);
}

TEST_P(CoffByteOrderTest, DebugSectionsAreDroppedAndTheRestMovedDown) {
  CoffWriter w;
  w.bigEndian = GetParam();
  w.sections = {Section("A", 0x10, {0xA}),        Section(".debug_x", 0, {0xD1, 0xD1}),
                Section("B", 0x20, {0xB, 0xB}),   Section(".debug_y", 0, {0xD2}),
                Section("C", 0x30, {0xC, 0xC, 0xC}), Section(".debug_information", 0, {0xD3}),
                Section(".debug", 0x40, {0xE}),   Section(".debugx", 0x50, {0xF})};
  w.sections[5].nameInTable = true;
  w.sections[2].relocations = {{7, 8, 9, 10}};
  w.sections[3].lineNumbers = {{1, 2}};
  ASSERT_EQ(Parse(w), 1);
  EXPECT_EQ(m_coff.m_fileHeader.sectionCount, 5);
  EXPECT_EQ(m_coff.m_nDroppedDebugSections, 3u);
  ASSERT_EQ(m_coff.m_sectionHeaders.size(), 5u);
  ASSERT_EQ(m_coff.m_sectionBuffers.size(), 5u);
  const std::vector<std::string> names = {"A", "B", "C", ".debug", ".debugx"};
  const std::vector<std::vector<uint8_t>> data = {{0xA}, {0xB, 0xB}, {0xC, 0xC, 0xC}, {0xE}, {0xF}};
  for (size_t k = 0; k < names.size(); ++k) {
    EXPECT_EQ(m_coff.SectionName(k), names[k]);
    EXPECT_EQ(m_coff.m_sectionHeaders[k].virtualAddress, 0x10u * (k + 1));
    ASSERT_TRUE(m_coff.m_sectionBuffers[k].data.has_value());
    EXPECT_EQ(*m_coff.m_sectionBuffers[k].data, data[k]);
  }
  ASSERT_TRUE(m_coff.m_sectionBuffers[1].relocations.has_value());
  EXPECT_EQ((*m_coff.m_sectionBuffers[1].relocations)[0].type, 10);
  EXPECT_FALSE(m_coff.m_sectionBuffers[0].relocations.has_value());
  EXPECT_FALSE(m_coff.m_sectionBuffers[2].lineNumbers.has_value());
}

INSTANTIATE_TEST_SUITE_P(ByteOrders, CoffByteOrderTest, ::testing::Bool(),
                         [](const auto& p) { return p.param ? "BigEndian" : "LittleEndian"; });

TEST_F(CoffFileTest, AFileOfDebugSectionsOnlyKeepsNone) {
  CoffWriter w;
  w.sections = {Section(".debug_info", 0, {1}), Section(".debug_line", 0, {2})};
  ASSERT_EQ(Parse(w), 1);
  EXPECT_EQ(m_coff.m_fileHeader.sectionCount, 0);
  EXPECT_TRUE(m_coff.m_sectionHeaders.empty());
  EXPECT_EQ(m_coff.m_nDroppedDebugSections, 2u);
}

TEST_F(CoffFileTest, OnlyTheTwoVersionIdsAreAccepted) {
  for (const uint16_t id : {uint16_t{0xC2C2}, uint16_t{0}, uint16_t{0x00C1}, uint16_t{0xC201}, uint16_t{0x014C}}) {
    CoffWriter w;
    w.versionId = id;
    w.sections = {Section("A", 0, {1})};
    EXPECT_EQ(Parse(w), 0) << std::hex << id;
    ExpectEmpty();
  }
}

TEST_F(CoffFileTest, OptionalHeaderSizeDecidesWhereTheSectionTableStands) {
  // 0 and 36 both place the table right behind the file header.
  for (const uint16_t size : {uint16_t{0}, uint16_t{36}}) {
    CoffWriter w;
    w.optionalHeader = false;
    w.optionalHeaderSize = size;
    w.sections = {Section("A", 0x40, {1, 2})};
    ASSERT_EQ(Parse(w), 1) << size;
    EXPECT_EQ(m_coff.SectionName(0), "A");
    EXPECT_EQ(m_coff.m_fileHeader.optionalHeaderSize, size);
    EXPECT_EQ(m_coff.m_optionalHeader.magic, 0) << "nothing is read for size " << size;
    m_coff.Free();
  }
  // With any size but 28 the optional header's own bytes are read as the
  // start of the first section header.
  CoffWriter w;
  w.optionalHeaderSize = 36;
  w.optionalFields16[0] = 0x6261;  // "ab"
  w.optionalFields16[1] = 0x6463;  // "cd"
  w.optionalFields32[0] = 0x68676665;  // "efgh"
  w.optionalFields32[1] = 0x1111;  // physical address
  w.optionalFields32[2] = 0x2222;  // virtual address
  CoffWriterSection real;
  real.hasData = false;
  real.rawDataOffset = 4;  // read as the string table length: an empty table
  w.sections = {real};
  ASSERT_EQ(Parse(w), 1);
  EXPECT_EQ(m_coff.SectionName(0), "abcdefgh");
  EXPECT_EQ(m_coff.m_sectionHeaders[0].physicalAddress, 0x1111u);
  EXPECT_EQ(m_coff.m_sectionHeaders[0].virtualAddress, 0x2222u);
  EXPECT_EQ(m_coff.m_nStringTableLength, 4u);
}

TEST_F(CoffFileTest, ASectionCountOfZeroIsRefused) {
  CoffWriter w = Program(false);
  w.sectionCount = 0;
  EXPECT_EQ(Parse(w), 0);
  ExpectEmpty();
}

TEST_F(CoffFileTest, BlocksArePresentExactlyWhenTheirOffsetIsNonzero) {
  CoffWriter w;
  CoffWriterSection noOffset;
  noOffset.name = "nodata";
  noOffset.hasData = false;
  noOffset.size = 0x100;
  CoffWriterSection empty;
  empty.name = "empty";
  empty.hasRelocations = true;
  empty.hasLineNumbers = true;
  w.sections = {noOffset, empty};
  testing::CoffWriterLayout layout;
  ASSERT_EQ(ParseBytes(w.Build(&layout)), 1);
  EXPECT_FALSE(m_coff.m_sectionBuffers[0].data.has_value());
  ASSERT_TRUE(m_coff.m_sectionBuffers[1].data.has_value());
  EXPECT_TRUE(m_coff.m_sectionBuffers[1].data->empty());
  ASSERT_TRUE(m_coff.m_sectionBuffers[1].relocations.has_value());
  EXPECT_TRUE(m_coff.m_sectionBuffers[1].relocations->empty());
  ASSERT_TRUE(m_coff.m_sectionBuffers[1].lineNumbers.has_value());
  EXPECT_TRUE(m_coff.m_sectionBuffers[1].lineNumbers->empty());
  EXPECT_EQ(m_coff.m_sectionHeaders[1].rawDataOffset, layout.sectionData[1]);
}

TEST_F(CoffFileTest, TheStringTableLengthMustBeThere) {
  CoffWriter w;
  w.sections = {Section("A", 0, {1, 2, 3})};
  w.stringTableLength = 4;
  ASSERT_EQ(Parse(w), 1) << "a length of 4 is an empty table";
  EXPECT_TRUE(m_coff.m_stringTable.empty());
  m_coff.Free();
  w.stringTableWritten = false;
  EXPECT_EQ(Parse(w), 0) << "the file ends where the length should be";
  w.symbols = {{}};
  EXPECT_EQ(Parse(w), 0) << "the file ends right behind the symbol table";
  for (const uint32_t length : {0u, 3u, 5u, 0xFFFFFFFFu}) {
    w.stringTableWritten = true;
    w.stringTableLength = length;
    EXPECT_EQ(Parse(w), 0) << length;
    ExpectEmpty();
  }
}

TEST_F(CoffFileTest, EveryTruncationOfASoundFileFails) {
  for (const bool big : {false, true}) {
    const std::vector<uint8_t> bytes = Program(big).Build();
    ASSERT_EQ(ParseBytes(bytes), 1);
    m_coff.Free();
    for (size_t n = 0; n < bytes.size(); ++n) {
      EXPECT_EQ(ParseBytes(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(n))), 0)
          << "cut at " << n << (big ? " (big-endian)" : "");
      ExpectEmpty();
    }
  }
}

TEST_F(CoffFileTest, AMissingFileFails) {
  EXPECT_EQ(m_coff.Parse("/nonexistent/program.out"), 0);
  EXPECT_EQ(m_coff.Parse(nullptr), 0);
  ExpectEmpty();
}

struct HostileCase {
  const char* name;
  void (*spoil)(CoffWriter&);
};

void PrintTo(const HostileCase& c, std::ostream* os) { *os << c.name; }

class CoffHostileTest : public CoffFileTest, public ::testing::WithParamInterface<HostileCase> {};

// Counts and sizes from the file that would ask for far more than the file
// holds are refused before anything of that size is allocated.
TEST_P(CoffHostileTest, IsRefusedWithoutAHugeAllocation) {
  CoffWriter w = Program(false);
  GetParam().spoil(w);
  const std::vector<uint8_t> bytes = w.Build();
  g_largestAllocation = 0;
  EXPECT_EQ(ParseBytes(bytes), 0);
  EXPECT_LT(g_largestAllocation.load(), size_t{1} << 20);
  ExpectEmpty();
}

INSTANTIATE_TEST_SUITE_P(
    Counts, CoffHostileTest,
    ::testing::Values(
        HostileCase{"SymbolCount", [](CoffWriter& w) { w.symbolCount = 0xFFFFFFFF; }},
        HostileCase{"SymbolCountJustPastTheEnd", [](CoffWriter& w) { w.symbolCount = 40; }},
        HostileCase{"SymbolTableOffset", [](CoffWriter& w) { w.symbolTableOffset = 0xFFFFFFF0; }},
        HostileCase{"SectionCount", [](CoffWriter& w) { w.sectionCount = 0xFFFF; }},
        HostileCase{"SectionSize", [](CoffWriter& w) { w.sections[0].size = 0xFFFFFFFF; }},
        HostileCase{"SectionDataOffset", [](CoffWriter& w) { w.sections[0].rawDataOffset = 0xFFFFFFFF; }},
        HostileCase{"EmptyBlockPastTheEnd",
                    [](CoffWriter& w) {
                      w.sections[0].rawDataOffset = 0x7FFFFFFF;
                      w.sections[0].size = 0;
                    }},
        HostileCase{"RelocationCount", [](CoffWriter& w) { w.sections[0].relocationCount = 0xFFFFFFFF; }},
        HostileCase{"LineNumberCount", [](CoffWriter& w) { w.sections[0].lineNumberCount = 0xFFFFFFFF; }},
        HostileCase{"LineNumberOffset", [](CoffWriter& w) { w.sections[0].lineNumberOffset = 0xFFFFFFFE; }},
        HostileCase{"StringTableLength", [](CoffWriter& w) { w.stringTableLength = 0xFFFFFFFF; }},
        HostileCase{"StringTableLengthBelowFour", [](CoffWriter& w) { w.stringTableLength = 2; }}),
    [](const auto& p) { return std::string(p.param.name); });

// A reference outside the table designates no string: the section could be a
// debug section or not, so the file is refused.
TEST_F(CoffFileTest, AStringTableReferenceOutsideTheTableFailsTheParse) {
  CoffWriter w;
  w.sections = {Section("A", 0, {1}), Section(".debug_info", 0, {2})};
  w.sections[1].nameInTable = true;
  const uint32_t length = 4 + 12;  // ".debug_info\0"
  for (const uint32_t offset : {0u, 3u, length, length + 1, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    w.sections[1].nameOffset = offset;
    EXPECT_EQ(Parse(w), 0) << offset;
    ExpectEmpty();
  }
  // The last byte of the table is still inside it: an empty name.
  w.sections[1].nameOffset = length - 1;
  ASSERT_EQ(Parse(w), 1);
  EXPECT_EQ(m_coff.SectionName(1), "");
  m_coff.Free();
  // A name running to the end of the table without its NUL ends there.
  w.sections[1].nameOffset = 4;
  w.stringTableLength = length - 1;
  ASSERT_EQ(Parse(w), 1);
  EXPECT_EQ(m_coff.m_fileHeader.sectionCount, 1) << ".debug_info is still a debug name";
}

TEST_F(CoffFileTest, FreeReleasesEverythingAndIsHarmlessTwice) {
  ASSERT_EQ(Parse(Program(true)), 1);
  m_coff.Free();
  ExpectEmpty();
  m_coff.Free();
  ExpectEmpty();
  EXPECT_EQ(m_coff.SectionName(0), "");
}

}  // namespace
}  // namespace morvak
