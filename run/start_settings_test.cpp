// Start's checks: the size pair chosen by the image, the extension rule, and
// every line Start shows instead of starting a run.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "ImageWriter.h"
#include "RunTestSupport.h"
#include "RunTexts.h"
#include "SeededImage.h"

namespace morvak {
namespace {

using testing::RecordingRun;
using testing::ProgramDirectory;

ImageDesc ImageAt(uint32_t rawSize) { return SeededImage(rawSize, {{0x1000, 100}}, 1, {1}); }

struct StartFixture : ::testing::Test {
  ProgramDirectory dir{::testing::UnitTest::GetInstance()->current_test_info()->name()};
  RecordingRun run;
  std::string line;
  void SetUp() override { run.m_strModuleDirectory = dir.Directory(); }
  std::string WriteImg(const std::string& name, const ImageDesc& desc) {
    const std::string path = dir.Path(name);
    std::string problem;
    EXPECT_EQ(WriteImage(path, desc, nullptr, problem), IMAGE_WRITE_OK) << problem;
    return path;
  }
  std::string WriteRawFile(const std::string& name, uint64_t size) {
    const std::string path = dir.Path(name);
    RawDesc desc;
    desc.size = size;
    desc.data.zeroFill = true;
    std::string problem;
    EXPECT_EQ(WriteRaw(path, desc, problem), IMAGE_WRITE_OK) << problem;
    return path;
  }
  bool Start(const std::string& path, int flashType = 0) {
    run.m_strImagePath = path;
    run.m_nFlashType = flashType;
    return run.ApplyStartSettings(morvak::testing::SettingsOf(run), line);
  }
};

TEST_F(StartFixture, WithoutConfigurationANandImageAtTheDefaultPlaceTakesTheWithoutPair) {
  ASSERT_TRUE(Start(WriteImg("a.img", ImageAt(786432)))) << line;
  EXPECT_EQ(run.m_nRawFileSize, 786432u);
  EXPECT_EQ(run.m_nBinaryRegionSize, 786432u);
  EXPECT_EQ(run.m_nRecordCount, 2u);
  EXPECT_EQ(run.m_nReservedSize, 131072u);
  EXPECT_EQ(run.m_bRawImage, 0);
  EXPECT_EQ(run.m_bCrcEnable, 1);
  EXPECT_EQ(run.m_programFile.loadAddress, 0x10000000u);
  EXPECT_EQ(std::string(run.m_programFile.path), dir.Path("file/NANDOUT.nb0"));
  EXPECT_EQ(std::string(run.m_bootFile.path), dir.Path("file/2ND.nb0"));
}

TEST_F(StartFixture, AnImageWhoseHeaderStandsAtTheWithPlaceTakesTheWithPair) {
  ASSERT_TRUE(Start(WriteImg("b.img", ImageAt(1048576)))) << line;
  EXPECT_EQ(run.m_nRawFileSize, 1048576u);
  EXPECT_EQ(run.m_nBinaryRegionSize, 1179648u);
}

TEST_F(StartFixture, OneNandUsesItsOwnSectionAndProgrammer) {
  ASSERT_TRUE(Start(WriteImg("c.img", ImageAt(131072)), 1)) << line;
  EXPECT_EQ(run.m_nRawFileSize, 131072u);
  EXPECT_EQ(std::string(run.m_programFile.path), dir.Path("file/OneNANDOUT.nb0"));
}

struct RawPairCase {
  uint64_t length;
  uint32_t raw;
  uint32_t region;
};

class RawPairTest : public StartFixture, public ::testing::WithParamInterface<RawPairCase> {};

TEST_P(RawPairTest, TheRawFilesLengthChoosesThePair) {
  const std::string path = WriteRawFile("image.raw", GetParam().length);
  run.m_nReservedSize = 1234;  // left by an earlier .img check
  ASSERT_TRUE(Start(path)) << line;
  EXPECT_EQ(run.m_bRawImage, 1);
  EXPECT_EQ(run.m_nRawFileSize, GetParam().raw);
  EXPECT_EQ(run.m_nBinaryRegionSize, GetParam().region);
  EXPECT_EQ(run.m_nReservedSize, 0u);
}

INSTANTIATE_TEST_SUITE_P(Lengths, RawPairTest,
                         ::testing::Values(RawPairCase{786432, 786432, 786432},
                                           RawPairCase{786433, 1048576, 1179648},
                                           RawPairCase{1, 786432, 786432},
                                           // 4 GiB + 10 bytes must not pass as 10 bytes
                                           RawPairCase{0x10000000AULL, 1048576, 1179648}));

struct RefusalCase {
  const char* name;
  std::string (*make)(StartFixture&);
  const char* line;  // %s stands for the image path
};

class RefusalTest : public StartFixture, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusalTest, StartShowsItsLineAndStartsNothing) {
  const std::string path = GetParam().make(*this);
  EXPECT_FALSE(Start(path));
  std::string expected = GetParam().line;
  const size_t at = expected.find("%s");
  if (at != std::string::npos) expected.replace(at, 2, path);
  EXPECT_EQ(line, expected);
  EXPECT_FALSE(run.WorkerAlive());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RefusalTest,
    ::testing::Values(
        RefusalCase{"NoDot", [](StartFixture& f) { return f.WriteImg("nodot", ImageAt(786432)); },
                    texts::kInvalidDownloadFile},
        RefusalCase{"Missing", [](StartFixture& f) { return f.dir.Path("missing.img"); }, texts::kOpenFileFailed},
        RefusalCase{"TooShort", [](StartFixture& f) { return f.WriteRawFile("short.img", 100); },
                    texts::kFreadFileFailed},
        RefusalCase{"NoSignature", [](StartFixture& f) { return f.WriteRawFile("zeros.img", 2000000); },
                    texts::kErrorFileFormat},
        // .RAW is no raw image: checked as an .img, which it is not
        RefusalCase{"UpperCaseRaw", [](StartFixture& f) { return f.WriteRawFile("image.RAW", 2000000); },
                    texts::kErrorFileFormat},
        RefusalCase{"NoLayout",
                    [](StartFixture& f) {
                      ImageDesc d = ImageAt(786432);
                      d.layout.reset();
                      return f.WriteImg("nolayout.img", d);
                    },
                    texts::kErrorFileFormat}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(StartFixture, ADotOnlyInADirectoryNameMakesAnImg) {
  std::filesystem::create_directories(dir.Path("old.files"));
  const std::string path = WriteImg("old.files/image", ImageAt(786432));
  ASSERT_TRUE(Start(path)) << line;
  EXPECT_EQ(run.m_bRawImage, 0);
}

TEST_F(StartFixture, AnUpperCaseRawWithAValidImageIsFlashedAsAnImg) {
  ASSERT_TRUE(Start(WriteImg("image.RAW", ImageAt(786432)))) << line;
  EXPECT_EQ(run.m_bRawImage, 0);
}

TEST_F(StartFixture, StartClearsTheStopFlagsAndReadsCrcEnable) {
  dir.Config("[LURRA_PARAMS]\nCRCEnable=0\n");
  run.m_link.m_bCancelWait = 1;
  run.m_link.m_device.m_bAbort = 1;
  ASSERT_TRUE(Start(WriteImg("a.img", ImageAt(786432))));
  EXPECT_EQ(run.m_link.m_bCancelWait.load(), 0);
  EXPECT_EQ(run.m_link.m_device.m_bAbort.load(), 0);
  EXPECT_EQ(run.m_bCrcEnable, 0);
}

TEST_F(StartFixture, ADirectoryTooLongForThePathFieldsIsRefusedNotCut) {
  // OneNAND has the longest name, "file/OneNANDOUT.nb0": 236 bytes of directory fit.
  const std::string image = WriteImg("a.img", ImageAt(131072));
  for (size_t length : {236u, 237u}) {
    // "/ddd.../" made in place: GCC 12 at -O3 warns falsely (-Wrestrict) of
    // the insert behind `"/" + std::string`.
    run.m_strModuleDirectory.assign(length, 'd');
    run.m_strModuleDirectory.front() = '/';
    run.m_strModuleDirectory.back() = '/';
    ASSERT_EQ(run.m_strModuleDirectory.size(), length);
    const bool started = Start(image, 1);
    if (length == 236) {
      EXPECT_TRUE(started) << line;
      EXPECT_EQ(std::string(run.m_programFile.path).size(), 255u);
    } else {
      EXPECT_FALSE(started);
      EXPECT_NE(line.find("too long"), std::string::npos) << line;
    }
  }
}

TEST_F(StartFixture, AnEmptyPathDoesNothing) {
  EXPECT_FALSE(Start(""));
  EXPECT_TRUE(line.empty());
}

}  // namespace
}  // namespace morvak
