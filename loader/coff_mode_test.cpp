#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "CoffWriter.h"
#include "FileLoader.h"

namespace morvak {
namespace {

using testing::CoffWriter;
using testing::CoffWriterSection;

constexpr uint8_t kUntouched = 0xAA;

CoffWriterSection Loadable(uint32_t address, uint32_t size, uint8_t fill) {
  CoffWriterSection s;
  s.name = "s" + std::to_string(address);
  s.virtualAddress = address;
  s.data.assign(size, fill);
  return s;
}

CoffWriterSection WithoutData(uint32_t address, uint32_t size) {
  CoffWriterSection s;
  s.name = ".bss";
  s.virtualAddress = address;
  s.hasData = false;
  s.size = size;
  return s;
}

class CoffModeTest : public ::testing::Test {
 protected:
  CoffModeTest() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    m_path = ::testing::TempDir() + "coffmode-" + std::to_string(getpid()) + "-" + info->name();
    for (size_t i = ::testing::TempDir().size(); i < m_path.size(); ++i)
      if (m_path[i] == '/') m_path[i] = '_';
    m_loader.SetFileType(FILE_TYPE_COFF);
  }
  ~CoffModeTest() override { std::remove(m_path.c_str()); }
  void Write(const CoffWriter& w) { ASSERT_TRUE(w.WriteFile(m_path)); }
  // Loads into a buffer of `size` bytes and a guard behind it, all kUntouched.
  int Load(size_t size) {
    m_buffer.assign(size + 64, kUntouched);
    return m_loader.Load(m_buffer.data(), m_path.c_str());
  }
  void ExpectBytes(size_t from, size_t to, uint8_t value) const {
    for (size_t i = from; i < to; ++i) ASSERT_EQ(m_buffer[i], value) << "at 0x" << std::hex << i;
  }
  std::string m_path;
  CFileLoader m_loader;
  std::vector<uint8_t> m_buffer;
};

class CoffModeByteOrderTest : public CoffModeTest, public ::testing::WithParamInterface<bool> {};

TEST_P(CoffModeByteOrderTest, LaysLoadableSectionsFlatByAddress) {
  CoffWriter w;
  w.bigEndian = GetParam();
  // Given out of address order; the section without data and the empty one
  // with data take no part, wherever they stand.
  w.sections = {Loadable(0x300, 0x10, 0x33), Loadable(0x100, 0x40, 0x11), WithoutData(0x500, 0x80),
                Loadable(0x50, 0, 0x55), Loadable(0x1000, 0, 0x66)};
  w.sections[1].data[0] = 0x01;
  w.sections[1].data[1] = 0x02;
  Write(w);
  EXPECT_EQ(m_loader.GetSize(m_path.c_str()), 0x210u);
  EXPECT_EQ(m_loader.m_nSize, 0x210u);
  ASSERT_EQ(Load(0x210), 1);
  EXPECT_EQ(m_loader.GetError(), LOAD_ERR_NONE);
  // Section data is placed exactly as stored, never swapped.
  EXPECT_EQ(m_buffer[0], 0x01);
  EXPECT_EQ(m_buffer[1], 0x02);
  ExpectBytes(2, 0x40, 0x11);
  ExpectBytes(0x40, 0x200, kUntouched);
  ExpectBytes(0x200, 0x210, 0x33);
  ExpectBytes(0x210, m_buffer.size(), kUntouched);
}

INSTANTIATE_TEST_SUITE_P(ByteOrders, CoffModeByteOrderTest, ::testing::Bool(),
                         [](const auto& p) { return p.param ? "BigEndian" : "LittleEndian"; });

TEST_F(CoffModeTest, ALaterSectionOverwritesTheBytesItShares) {
  CoffWriter w;
  w.sections = {Loadable(0x10, 0x20, 0x11), Loadable(0x20, 0x08, 0x22)};
  Write(w);
  ASSERT_EQ(m_loader.GetSize(m_path.c_str()), 0x20u);
  ASSERT_EQ(Load(0x20), 1);
  ExpectBytes(0, 0x10, 0x11);
  ExpectBytes(0x10, 0x18, 0x22);
  ExpectBytes(0x18, 0x20, 0x11);
}

TEST_F(CoffModeTest, AFileThatDoesNotParseMeasuresZeroWithoutACodeAndFailsToLoad) {
  CoffWriter w;
  w.sections = {Loadable(0, 4, 1)};
  w.versionId = 0x1234;
  Write(w);
  EXPECT_EQ(m_loader.GetSize(m_path.c_str()), 0u);
  EXPECT_EQ(m_loader.GetError(), LOAD_ERR_NONE);
  EXPECT_EQ(Load(0), 0);
  EXPECT_EQ(m_loader.GetError(), LOAD_ERR_OPEN);
  EXPECT_EQ(m_loader.GetSize("/nonexistent/program.out"), 0u);
  EXPECT_EQ(m_loader.GetError(), LOAD_ERR_OPEN) << "the earlier code stays";
}

// A failure never reports the size an earlier file had.
TEST_F(CoffModeTest, AFailedParseDoesNotReportTheEarlierSize) {
  CoffWriter w;
  w.sections = {Loadable(0x100, 0x40, 1)};
  Write(w);
  ASSERT_EQ(m_loader.GetSize(m_path.c_str()), 0x40u);
  EXPECT_EQ(m_loader.GetSize("/nonexistent/program.out"), 0u);
  EXPECT_EQ(m_loader.m_nSize, 0u);
  EXPECT_EQ(m_loader.GetError(), LOAD_ERR_NONE);
}

TEST_F(CoffModeTest, AFileWithNoLoadableSectionIsAnEmptyImage) {
  CoffWriter w;
  w.sections = {WithoutData(0x100, 0x100), Loadable(0x200, 0, 1)};
  Write(w);
  EXPECT_EQ(m_loader.GetSize(m_path.c_str()), 0u);
  EXPECT_EQ(m_loader.GetError(), LOAD_ERR_NONE) << "code 0 with size 0 reads as an empty file";
  EXPECT_EQ(Load(0), 1);
  ExpectBytes(0, m_buffer.size(), kUntouched);
}

// 32-bit sums would wrap: sections at 0x10 and at 0xFFFFFF00 (0x200 bytes)
// span more than 4 GiB and must not be measured as a small image.
TEST_F(CoffModeTest, AnImageReachingPastTheAddressSpaceIsTooLarge) {
  CoffWriter w;
  w.sections = {Loadable(0x10, 0x10, 1), Loadable(0xFFFFFF00u, 0x200, 2)};
  Write(w);
  const uint32_t size = m_loader.GetSize(m_path.c_str());
  EXPECT_EQ(size, LOADER_SIZE_TOO_LARGE);
  EXPECT_GE(size, 0x10000000u);
  EXPECT_EQ(Load(0x100), 0);
  EXPECT_EQ(m_loader.GetError(), LOAD_ERR_READ);
  ExpectBytes(0, m_buffer.size(), kUntouched);
  // Alone, the top section is a plain 0x200-byte image.
  w.sections.erase(w.sections.begin());
  Write(w);
  EXPECT_EQ(m_loader.GetSize(m_path.c_str()), 0x200u);
  ASSERT_EQ(Load(0x200), 1);
  ExpectBytes(0, 0x200, 2);
}

// The caller's buffer holds the size it was told; a file that has grown since
// is refused before anything is written.
TEST_F(CoffModeTest, AFileThatGrewSinceItWasMeasuredIsNotLoaded) {
  CoffWriter w;
  w.sections = {Loadable(0x100, 0x10, 1)};
  Write(w);
  ASSERT_EQ(m_loader.GetSize(m_path.c_str()), 0x10u);
  w.sections.push_back(Loadable(0x200, 0x10, 2));
  Write(w);
  EXPECT_EQ(Load(0x10), 0);
  EXPECT_EQ(m_loader.GetError(), LOAD_ERR_READ);
  ExpectBytes(0, m_buffer.size(), kUntouched);
}

TEST_F(CoffModeTest, LoadWithoutGetSizeWritesNothing) {
  CoffWriter w;
  w.sections = {Loadable(0x100, 0x10, 1)};
  Write(w);
  EXPECT_EQ(Load(0), 0);
  EXPECT_EQ(m_loader.GetError(), LOAD_ERR_READ);
  ExpectBytes(0, m_buffer.size(), kUntouched);
}

TEST_F(CoffModeTest, TooLongAPathIsRefused) {
  const std::string path(LOADER_PATH_SIZE, 'c');
  EXPECT_EQ(m_loader.GetSize(path.c_str()), LOADER_SIZE_FAILED);
  EXPECT_EQ(m_loader.GetError(), LOAD_ERR_OPEN);
  EXPECT_EQ(m_loader.m_szPath[0], '\0');
}

}  // namespace
}  // namespace morvak
