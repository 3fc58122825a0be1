#include "InspectCoff.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "CoffWriter.h"

namespace morvak::cli {
namespace {

using morvak::testing::CoffWriter;
using morvak::testing::CoffWriterSection;

class InspectCoffTest : public ::testing::Test {
 protected:
  ~InspectCoffTest() override {
    std::remove(m_file.c_str());
    std::remove(m_flat.c_str());
  }
  int Run(const std::vector<std::string>& args) {
    m_out.str("");
    m_err.str("");
    return RunInspectCoff(args, m_out, m_err);
  }
  static CoffWriter Example(bool bigEndian) {
    CoffWriter w;
    w.bigEndian = bigEndian;
    w.targetId = 0x0098;
    CoffWriterSection a;
    a.name = ".text";
    a.virtualAddress = 0x100;
    a.physicalAddress = 0x8100;
    a.data.assign(0x40, 0x11);
    a.relocations = {{1, 2, 3, 4}, {5, 6, 7, 8}};
    a.flags = 0x20;
    CoffWriterSection b = a;
    b.name = ".a_long_section";
    b.nameInTable = true;
    b.virtualAddress = 0x300;
    b.physicalAddress = 0x300;
    b.data.assign(0x10, 0x33);
    b.relocations.clear();
    b.lineNumbers = {{9, 10}};
    b.memoryPage = 1;
    CoffWriterSection debug = a;
    debug.name = ".debug_info";
    CoffWriterSection bss;
    bss.name = ".bss";
    bss.virtualAddress = 0x500;
    bss.size = 0x80;
    bss.hasData = false;
    w.sections = {a, debug, b, bss};
    w.symbols = {{}, {}, {}};
    return w;
  }
  std::string m_file = ::testing::TempDir() + "inspect-" + std::to_string(getpid()) + ".out";
  std::string m_flat = ::testing::TempDir() + "inspect-" + std::to_string(getpid()) + ".flat";
  std::ostringstream m_out, m_err;
};

TEST_F(InspectCoffTest, UsageErrorsReturnTwo) {
  const std::vector<std::vector<std::string>> cases = {
      {}, {"--flat"}, {"a", "b"}, {"--bogus", "a"}, {"a", "--flat"}, {"a", "--flat", "x", "--flat", "y"}, {"--flat", "x"}};
  for (const auto& args : cases) {
    EXPECT_EQ(Run(args), 2) << ::testing::PrintToString(args);
    EXPECT_NE(m_err.str().find("usage: morvak-cli inspect-coff FILE [--flat OUT]"), std::string::npos);
    EXPECT_TRUE(m_out.str().empty());
  }
}

TEST_F(InspectCoffTest, AFileThatDoesNotParsePrintsOneLineAndReturnsOne) {
  std::ofstream(m_file, std::ios::binary) << "not a program";
  EXPECT_EQ(Run({m_file}), 1);
  EXPECT_TRUE(m_out.str().empty());
  const std::string err = m_err.str();
  EXPECT_NE(err.find(m_file), std::string::npos);
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
  EXPECT_EQ(Run({"/nonexistent/program.out"}), 1);
}

class InspectCoffByteOrderTest : public InspectCoffTest, public ::testing::WithParamInterface<bool> {};

TEST_P(InspectCoffByteOrderTest, PrintsHeadersSectionsAndTheFlatImage) {
  ASSERT_TRUE(Example(GetParam()).WriteFile(m_file));
  ASSERT_EQ(Run({m_file}), 0) << m_err.str();
  const std::string out = m_out.str();
  const std::vector<std::string> expected = {
      std::string("byte order: ") + (GetParam() ? "big-endian" : "little-endian"),
      "version id: 0x00C2",
      "target id: 0x0098",
      "symbol count: 3",
      "optional header size: 28",
      "sections: 3 kept, 1 debug dropped",
      "  0   .text            0x00008100 0x00000100 0x00000040",
      "  1   .a_long_section  0x00000300 0x00000300 0x00000010",
      "  2   .bss             0x00000000 0x00000500 0x00000080 0x00000000      0     0 0x00000000 0",
      "string table length: 20",
      "flat image: low 0x00000100, size 0x210",
  };
  for (const std::string& line : expected) EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;
  EXPECT_EQ(out.find(".debug_info"), std::string::npos);
  EXPECT_TRUE(m_err.str().empty());
}

TEST_P(InspectCoffByteOrderTest, WritesTheFlatImageWithUncoveredBytesCleared) {
  ASSERT_TRUE(Example(GetParam()).WriteFile(m_file));
  ASSERT_EQ(Run({"--flat", m_flat, m_file}), 0) << m_err.str();
  std::ifstream in(m_flat, std::ios::binary);
  const std::vector<uint8_t> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(image.size(), 0x210u);
  for (size_t i = 0; i < image.size(); ++i) {
    const uint8_t want = i < 0x40 ? 0x11 : (i >= 0x200 ? 0x33 : 0);
    ASSERT_EQ(image[i], want) << "at 0x" << std::hex << i;
  }
  EXPECT_NE(m_out.str().find("flat image written: 528 bytes"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(ByteOrders, InspectCoffByteOrderTest, ::testing::Bool(),
                         [](const auto& p) { return p.param ? "BigEndian" : "LittleEndian"; });

TEST_F(InspectCoffTest, AFlatImageThatCannotBeWrittenReturnsOne) {
  ASSERT_TRUE(Example(false).WriteFile(m_file));
  EXPECT_EQ(Run({m_file, "--flat", "/nonexistent/dir/image.bin"}), 1);
  EXPECT_NE(m_err.str().find("/nonexistent/dir/image.bin"), std::string::npos);
}

TEST_F(InspectCoffTest, AnImageTooLargeToLoadIsShownButNotWritten) {
  CoffWriter w = Example(false);
  w.sections[0].virtualAddress = 0;
  w.sections[2].virtualAddress = 0xFFFFFFF8u;
  ASSERT_TRUE(w.WriteFile(m_file));
  EXPECT_EQ(Run({m_file, "--flat", m_flat}), 1);
  EXPECT_NE(m_out.str().find("size 0x100000008 (too large to load)"), std::string::npos) << m_out.str();
  EXPECT_NE(m_err.str().find("too large"), std::string::npos);
}

TEST_F(InspectCoffTest, AFlatImageOf256MiBOrMoreIsNotWritten) {
  CoffWriter w = Example(false);
  w.sections[0].virtualAddress = 0;
  w.sections[2].virtualAddress = 0x0FFFFFF8u;
  ASSERT_TRUE(w.WriteFile(m_file));
  EXPECT_EQ(Run({m_file, "--flat", m_flat}), 1);
  EXPECT_NE(m_out.str().find("size 0x10000008\n"), std::string::npos) << m_out.str();
  std::ifstream in(m_flat);
  EXPECT_FALSE(in.good()) << "no file is left behind";
}

TEST_F(InspectCoffTest, AFileWithNoLoadableSectionSaysSo) {
  CoffWriter w = Example(false);
  w.sections = {w.sections[3]};
  ASSERT_TRUE(w.WriteFile(m_file));
  ASSERT_EQ(Run({m_file}), 0);
  EXPECT_NE(m_out.str().find("flat image: no loadable section"), std::string::npos);
}

}  // namespace
}  // namespace morvak::cli
