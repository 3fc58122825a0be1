#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Frame.h"
#include "ImageBlocks.h"
#include "MkimgCommand.h"

namespace morvak {
namespace {

struct NumberCase {
  const char* text;
  uint64_t max;
  bool ok;
  uint64_t value;
};

TEST(MkimgNumberTest, Forms) {
  const uint64_t m32 = UINT32_MAX, m64 = UINT64_MAX;
  const NumberCase cases[] = {
      {"0", m32, true, 0},
      {"786432", m32, true, 786432},
      {"0xC0000", m32, true, 0xC0000},
      {"0Xc0000", m32, true, 0xC0000},
      {"1M", m32, true, 1u << 20},
      {"0x10K", m32, true, 16u << 10},
      {"4G", m64, true, uint64_t{4} << 30},
      {"4G", m32, false, 0},
      {"4294967295", m32, true, m32},
      {"4294967296", m32, false, 0},
      {"0x1FFFFFFFF", m32, false, 0},
      {"18446744073709551615", m64, true, m64},
      {"18446744073709551616", m64, false, 0},
      {"", m32, false, 0},
      {"0x", m32, false, 0},
      {"K", m32, false, 0},
      {"12x", m32, false, 0},
      {"-1", m32, false, 0},
      {"1m", m32, false, 0},
      {"0xEB", 0xFF, true, 0xEB},
      {"256", 0xFF, false, 0},
  };
  for (const NumberCase& c : cases) {
    uint64_t value = 0;
    EXPECT_EQ(ParseMkimgNumber(c.text, c.max, value), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(value, c.value) << c.text;
    }
  }
}

MkimgCommand Parse(const std::vector<std::string>& args) {
  MkimgCommand command;
  std::string error;
  EXPECT_TRUE(ParseMkimgArgs(args, command, error)) << error;
  return command;
}

TEST(MkimgArgsTest, ImageOptionsBecomeTheDescription) {
  const MkimgCommand c = Parse({"img", "out.img", "--raw-size", "0x100000", "--raw-seed=9", "--record", "0x200000:4096",
                                "--record", "0x300000:1M:zero", "--record", "0:16:5:7", "--layout", "2,3,5",
                                "--layout-at", "1", "--layout-address", "0x20000", "--layout-table-size=50",
                                "--layout-jump", "0xE9", "--layout-no-boot-signature", "--header-words", "1,2",
                                "--signature-byte", "6:0x0D", "--terminator-length", "0x1000", "--trailing", "8",
                                "--truncate", "100K", "--blocks", "b.txt"});
  ASSERT_EQ(c.action, MkimgAction::Image);
  EXPECT_EQ(c.output, "out.img");
  const ImageDesc& s = c.image;
  EXPECT_EQ(s.rawSize, 0x100000u);
  EXPECT_EQ(s.rawData.seed, 9u);
  ASSERT_EQ(s.records.size(), 3u);
  EXPECT_EQ(s.records[0].address, 0x200000u);
  EXPECT_EQ(s.records[0].length, 4096u);
  EXPECT_EQ(s.records[0].data.seed, 2u);  // position + 2
  EXPECT_FALSE(s.records[0].checksum);
  EXPECT_TRUE(s.records[1].data.zeroFill);
  EXPECT_EQ(s.records[1].length, 1u << 20);
  EXPECT_EQ(s.records[2].data.seed, 5u);
  EXPECT_EQ(s.records[2].checksum, 7u);
  ASSERT_TRUE(s.layout);
  EXPECT_EQ(s.layout->blockCounts, (std::vector<uint32_t>{2, 3, 5}));
  EXPECT_EQ(s.layout->position, 1u);
  EXPECT_EQ(s.layout->address, 0x20000u);
  EXPECT_EQ(s.layout->tableSize, 50u);
  EXPECT_EQ(s.layout->jumpByte, 0xE9);
  EXPECT_FALSE(s.layout->bootSignature);
  EXPECT_EQ(s.headerWord1, 1u);
  EXPECT_EQ(s.headerWord2, 2u);
  EXPECT_EQ(s.signature[6], 0x0D);
  EXPECT_EQ(s.signature[5], 0x46);
  EXPECT_EQ(s.terminator.length, 0x1000u);
  EXPECT_TRUE(s.terminator.present);
  EXPECT_EQ(s.trailingLength, 8u);
  EXPECT_EQ(s.truncateAt, uint64_t{100} << 10);
  EXPECT_EQ(c.blocksPath, "b.txt");

  EXPECT_FALSE(Parse({"img", "x.img", "--no-terminator"}).image.terminator.present);
  EXPECT_TRUE(Parse({"img", "x.img", "--layout="}).image.layout->blockCounts.empty());
  EXPECT_EQ(Parse({"img", "x.img"}).image.rawSize, 786432u);
}

TEST(MkimgArgsTest, RawOptionsAndHelp) {
  const MkimgCommand c = Parse({"raw", "--size", "5G", "--zero", "out.raw", "--prefix", "AB", "--send", "1M"});
  ASSERT_EQ(c.action, MkimgAction::Raw);
  EXPECT_EQ(c.output, "out.raw");
  EXPECT_EQ(c.raw.size, uint64_t{5} << 30);
  EXPECT_TRUE(c.raw.data.zeroFill);
  EXPECT_EQ(c.raw.data.given, (std::vector<uint8_t>{'A', 'B'}));
  EXPECT_EQ(c.rawSendLength, 1u << 20);
  EXPECT_EQ(Parse({"--help"}).action, MkimgAction::Help);
  EXPECT_EQ(Parse({"img", "--help"}).action, MkimgAction::Help);
  EXPECT_EQ(Parse({"--version"}).action, MkimgAction::Version);
}

TEST(MkimgArgsTest, BadUsageIsRefusedWithALine) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"image", "x"},
      {"img"},
      {"img", "a.img", "b.img"},
      {"img", "x.img", "--bogus", "1"},
      {"img", "x.img", "--raw-size"},
      {"img", "x.img", "--raw-size", "lots"},
      {"img", "x.img", "--record", "0x100"},
      {"img", "x.img", "--record", "1:2:3:4:5"},
      {"img", "x.img", "--record", "1:2:seedy"},
      {"img", "x.img", "--layout-at", "0"},
      {"img", "x.img", "--layout", "1", "--layout", "2"},
      {"img", "x.img", "--layout", "1", "--layout-at", "1"},
      {"img", "x.img", "--layout", "1", "--layout-magic", "TOOLONGXX"},
      {"img", "x.img", "--signature-byte", "7:0"},
      {"img", "x.img", "--raw-zero=1"},
      {"img", "x.img", "--size", "1"},
      {"raw", "x.raw"},
      {"raw", "x.raw", "--size", "1", "--record", "1:1"},
  };
  for (const auto& args : bad) {
    MkimgCommand command;
    std::string error;
    std::string joined;
    for (const auto& a : args) joined += a + " ";
    EXPECT_FALSE(ParseMkimgArgs(args, command, error)) << joined;
    EXPECT_FALSE(error.empty()) << joined;
  }
}

TEST(MkimgBlocksTest, LineFormat) {
  EXPECT_EQ(FormatBlockLine({DATA_RAW, 0, 786432, 0x1A2B}), "DATA_RAW 0x00000000 786432 0x1A2B");
  EXPECT_EQ(FormatBlockLine({DATA_RECORD, 0x80001000, 7, 0xF}), "DATA_RECORD 0x80001000 7 0x000F");
  EXPECT_EQ(FormatBlockLine({DATA_PROGRAM, 0x10000000, 1, 0}), "DATA_PROGRAM 0x10000000 1 0x0000");
  EXPECT_EQ(FormatBlockLine({0x42, 1, 2, 3}), "0x00000042 0x00000001 2 0x0003");
}

class MkimgRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/mkimg_command_test.XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    m_dir = dir;
  }
  void TearDown() override { std::system(("rm -rf '" + m_dir + "'").c_str()); }
  std::string m_dir;
};

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST_F(MkimgRunTest, WritesTheImageTheBlockListAndAMap) {
  const MkimgCommand c = Parse({"img", m_dir + "/d.img", "--raw-size", "1000", "--layout", "2,3,5", "--record",
                                "0x200000:100", "--record", "0x300000:0", "--blocks", m_dir + "/d.blocks"});
  std::string report, problem;
  ASSERT_EQ(RunMkimg(c, report, problem), MKIMG_EXIT_OK) << problem;
  std::vector<ImageBlock> blocks;
  ASSERT_EQ(ExpectedImageBlocks(c.image, blocks), PLAN_OK);
  std::string lines;
  for (const ImageBlock& b : blocks) lines += FormatBlockLine(b) + "\n";
  EXPECT_EQ(ReadText(m_dir + "/d.blocks"), lines);
  EXPECT_NE(report.find("0x000003E8  header"), std::string::npos) << report;
  EXPECT_NE(report.find("flash layout with blocks 2 3 5, reserved size 1310720"), std::string::npos) << report;
  EXPECT_NE(report.find("terminating record"), std::string::npos) << report;
}

TEST_F(MkimgRunTest, RawSendLongerThanTheFileFails) {
  MkimgCommand c = Parse({"raw", m_dir + "/r.raw", "--size", "10", "--send", "11", "--blocks", m_dir + "/r.b"});
  std::string report, problem;
  EXPECT_EQ(RunMkimg(c, report, problem), MKIMG_EXIT_FAILED);
  EXPECT_FALSE(problem.empty());
  c.rawSendLength = 10;
  EXPECT_EQ(RunMkimg(c, report, problem), MKIMG_EXIT_OK) << problem;
  EXPECT_EQ(ReadText(m_dir + "/r.b").substr(0, 24), "DATA_RAW 0x00000000 10 0");
}

}  // namespace
}  // namespace morvak
