#include <gtest/gtest.h>

#include "Format.h"
#include "RunConfig.h"

namespace morvak {
namespace {

struct ElapsedCase {
  long long seconds;
  const char* text;
};

class ElapsedTest : public ::testing::TestWithParam<ElapsedCase> {};

TEST_P(ElapsedTest, MinutesWithinTheHourAndSecondsWithinTheMinute) {
  EXPECT_EQ(FormatElapsed(GetParam().seconds), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Times, ElapsedTest,
                         ::testing::Values(ElapsedCase{75, "01 Minutes, 15 Seconds"},
                                           ElapsedCase{3725, "02 Minutes, 05 Seconds"},
                                           ElapsedCase{127, "02 Minutes, 07 Seconds"},
                                           ElapsedCase{0, "00 Minutes, 00 Seconds"},
                                           ElapsedCase{3599, "59 Minutes, 59 Seconds"},
                                           ElapsedCase{-5, "00 Minutes, 00 Seconds"}));

struct RawCase {
  const char* path;
  bool raw;
};

class RawPathTest : public ::testing::TestWithParam<RawCase> {};

TEST_P(RawPathTest, OnlyAnExactRawExtensionIsRaw) { EXPECT_EQ(IsRawImagePath(GetParam().path), GetParam().raw); }

INSTANTIATE_TEST_SUITE_P(Paths, RawPathTest,
                         ::testing::Values(RawCase{"/a/b.raw", true}, RawCase{"/a/b.RAW", false},
                                           RawCase{"/a/b.Raw", false}, RawCase{"/a/b.img", false},
                                           RawCase{"/a/b.", false}, RawCase{"/a.raw/image", false},
                                           RawCase{"x.tar.raw", true}, RawCase{"noext", false}));

TEST(RunConfigTest, DefaultsPerFlashTypeAndSection) {
  const ProfileFile empty;
  const RunConfig nand = ReadRunConfig(empty, 0);
  EXPECT_EQ(nand.crcEnable, 1u);
  EXPECT_EQ(nand.downloadRaw, 0u);
  EXPECT_EQ(nand.withoutEboot.rawFileSize, 786432u);
  EXPECT_EQ(nand.withoutEboot.binaryRegionSize, 786432u);
  EXPECT_EQ(nand.withEboot.rawFileSize, 1048576u);
  EXPECT_EQ(nand.withEboot.binaryRegionSize, 1179648u);
  for (int type : {1, 7, -1}) {
    const RunConfig one = ReadRunConfig(empty, type);
    EXPECT_EQ(one.withoutEboot.rawFileSize, 131072u);
    EXPECT_EQ(one.withoutEboot.binaryRegionSize, 131072u);
    EXPECT_EQ(one.withEboot.rawFileSize, 393216u);
    EXPECT_EQ(one.withEboot.binaryRegionSize, 524288u);
  }
  const ProfileFile custom = ProfileFile::FromText(
      "[LURRA_OneNAND]\nRawFileSize_WithEboot=5\n[LURRA_NAND]\nRawFileSize_WithEboot=7\n[LURRA_PARAMS]\nCRCEnable=2\n");
  EXPECT_EQ(ReadRunConfig(custom, 1).withEboot.rawFileSize, 5u);
  EXPECT_EQ(ReadRunConfig(custom, 0).withEboot.rawFileSize, 7u);
  EXPECT_EQ(ReadRunConfig(custom, 0).crcEnable, 2u);
}

}  // namespace
}  // namespace morvak
