#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "ImageReader.h"

namespace morvak {
namespace {

// A file of 200,000 bytes, each byte a function of its offset, so that any
// read can be checked against the offset it claims to come from.
class ImageReaderTest : public ::testing::Test {
 protected:
  static constexpr size_t kSize = 200000;
  static uint8_t ByteAt(size_t offset) { return static_cast<uint8_t>((offset * 131u) ^ (offset >> 8)); }
  void SetUp() override {
    m_path = ::testing::TempDir() + "image-reader-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed());
    std::string bytes(kSize, '\0');
    for (size_t i = 0; i < kSize; ++i) bytes[i] = static_cast<char>(ByteAt(i));
    std::ofstream(m_path, std::ios::binary | std::ios::trunc) << bytes;
    ASSERT_TRUE(m_reader.Open(m_path));
  }
  void ExpectBytesAt(off_t at, size_t length) {
    std::vector<uint8_t> got(length);
    ASSERT_TRUE(m_reader.ReadExactly(got.data(), length)) << "at " << at << " length " << length;
    for (size_t i = 0; i < length; ++i)
      ASSERT_EQ(got[i], ByteAt(static_cast<size_t>(at) + i)) << "at " << at << " + " << i;
  }
  std::string m_path;
  ImageReader m_reader;
};

// Reads that start, end or lie across the edges of the reader's window,
// forwards and backwards, and reads larger than the window.
TEST_F(ImageReaderTest, ReadsTheBytesOfTheirPositionWhereverTheWindowStands) {
  const std::vector<std::pair<off_t, size_t>> reads = {
      {0, 12},          {65530, 12},     {65536, 1},       {131060, 2056},  {100, 2056},
      {65535, 130000},  {199988, 12},    {131072 - 1, 2},  {7, 65536 * 2},  {0, kSize}};
  for (const auto& [at, length] : reads) {
    ASSERT_TRUE(m_reader.SeekTo(at));
    ExpectBytesAt(at, length);
  }
}

TEST_F(ImageReaderTest, SkipsMoveBothWaysAndNeverBeforeTheStart) {
  ASSERT_TRUE(m_reader.SeekTo(70000));
  ExpectBytesAt(70000, 12);
  ASSERT_TRUE(m_reader.Skip(-2056));  // a short record's unit read runs on; the scan steps back
  ExpectBytesAt(70012 - 2056, 4);
  EXPECT_FALSE(m_reader.Skip(-1000000));
  ExpectBytesAt(70012 - 2056 + 4, 4);  // a refused skip leaves the position where it was
}

TEST_F(ImageReaderTest, ReadsThatReachPastTheEndFail) {
  uint8_t bytes[16];
  ASSERT_TRUE(m_reader.SeekTo(kSize - 8));
  EXPECT_FALSE(m_reader.ReadExactly(bytes, sizeof bytes));
  ASSERT_TRUE(m_reader.SeekTo(off_t{1} << 40));  // past the end is a place, not an error
  EXPECT_FALSE(m_reader.ReadExactly(bytes, 1));
  ImageReader missing;
  EXPECT_FALSE(missing.Open(m_path + ".not-there"));
  EXPECT_FALSE(missing.ReadExactly(bytes, 1));
}

}  // namespace
}  // namespace morvak
