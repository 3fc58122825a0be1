// Whole runs into the virtual handset: the lines, the progress messages, the
// blocks the handset received, and every failure row the handset's faults and
// the run's files can drive.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "FaultPlan.h"
#include "Format.h"
#include "Frame.h"
#include "ImageBlocks.h"
#include "ImageWriter.h"
#include "LinkTexts.h"
#include "RunTestSupport.h"
#include "RunTexts.h"
#include "SeededImage.h"
#include "VirtualHandsetTransport.h"

namespace morvak {
namespace {

using morvak::testing::RunEventKind;

using testing::RecordingRun;
using testing::ProgramDirectory;
using Lines = std::vector<std::string>;

ImageDesc DemoImage() {
  return SeededImage(4096, {{0x100000, 5000}, {0x200000, 0}, {0x300000, 0x130000}, {0x400000, 77}}, 0, {2, 3, 5});
}

struct RunFixture : ::testing::Test {
  ProgramDirectory dir{::testing::UnitTest::GetInstance()->current_test_info()->name()};
  RecordingRun run;
  VirtualHandsetTransport* handset = nullptr;
  std::string image;

  void SetUp() override {
    dir.Config(testing::kSmallNandSizes);
    run.m_strModuleDirectory = dir.Directory();
    UseFaults("");
    image = dir.Path("image.img");
    std::string problem;
    ASSERT_EQ(WriteImage(image, DemoImage(), nullptr, problem), IMAGE_WRITE_OK) << problem;
  }
  void UseFaults(const std::string& text) {
    FaultPlan plan;
    std::string error;
    ASSERT_TRUE(ParseFaultPlan(text, plan, error)) << error;
    auto t = std::make_unique<VirtualHandsetTransport>(plan);
    handset = t.get();
    run.m_link.m_device.SetTransport(std::move(t));
  }
  // Start and the whole worker; the run's own result.
  bool Flash(const std::string& path) {
    run.m_strImagePath = path;
    std::string line;
    if (!run.ApplyStartSettings(morvak::testing::SettingsOf(run), line)) {
      ADD_FAILURE() << "Start refused: " << line;
      return false;
    }
    EXPECT_TRUE(run.StartWorker());
    run.JoinWorker();
    const auto m = run.Messages();
    return !m.empty() && m.back().kind == RunEventKind::kRunSucceeded;
  }
  std::string Boot() const { return dir.Path("file/2ND.nb0"); }
  std::string Programmer() const { return dir.Path("file/NANDOUT.nb0"); }
};

TEST_F(RunFixture, ASuccessfulImgRunPostsItsLinesInOrder) {
  ASSERT_TRUE(Flash(image));
  const Lines lines = run.Lines();
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[0], "Read the input file:" + image);
  EXPECT_EQ(lines[1], texts::kWaitingForDevice);
  EXPECT_EQ(lines[2], texts::kLoadingBootCode);
  EXPECT_EQ(lines[3], texts::kConfiguringSdram);
  EXPECT_EQ(lines[4], texts::kSettingRamType);
  EXPECT_EQ(lines[5], "The file already downloaded to the device:" + Boot());
  EXPECT_EQ(lines[6], "Downloading the out file:" + Programmer());
  // A short run can cross a second's boundary.
  EXPECT_TRUE(lines[7] == std::string(texts::kImgSucceeded) + "00 Minutes, 00 Seconds" ||
              lines[7] == std::string(texts::kImgSucceeded) + "00 Minutes, 01 Seconds")
      << lines[7];
  EXPECT_EQ(run.ControlsReleased(), 1);
  EXPECT_EQ(run.EventsBeforeRelease(), run.Messages().size());
  EXPECT_FALSE(run.WorkerAlive());
}

TEST_F(RunFixture, TheHandsetReceivesTheProgrammerThenExactlyTheImage) {
  ASSERT_TRUE(Flash(image));
  std::vector<ImageBlock> expected;
  ASSERT_EQ(ExpectedImageBlocks(DemoImage(), expected), PLAN_OK);
  const std::vector<BlockRecord> blocks = handset->Blocks();
  ASSERT_EQ(blocks.size(), expected.size() + 1);
  EXPECT_EQ(blocks[0].kind, DATA_PROGRAM);
  EXPECT_EQ(blocks[0].address, PROGRAMMER_LOAD_ADDRESS);
  EXPECT_EQ(blocks[0].length, 20000u);
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(blocks[i + 1].kind, expected[i].kind) << i;
    EXPECT_EQ(blocks[i + 1].address, expected[i].address) << i;
    EXPECT_EQ(blocks[i + 1].length, expected[i].length) << i;
    EXPECT_EQ(blocks[i + 1].crc, expected[i].crc) << i;
  }
}

TEST_F(RunFixture, ProgressRangeOnceOnePositionPerHeaderAndZeroAtTheEnd) {
  ASSERT_TRUE(Flash(image));
  const auto messages = run.Messages();
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.front().kind, RunEventKind::kRunBegins);
  // The payload reports end at the whole image's payload, as Start counted it.
  const auto payload = run.Payload();
  ASSERT_FALSE(payload.empty());
  EXPECT_GT(run.m_nPayloadSize, run.m_nRawFileSize);
  EXPECT_EQ(payload.back(), std::make_pair(run.m_nPayloadSize, run.m_nPayloadSize));
  // The run's own progress: the range is the record count (4 of the 5 records
  // have data, the layout record among them); positions count every header
  // after the first, the terminator's included.
  ASSERT_EQ(run.m_nRecordCount, 4u);
  std::vector<uintptr_t> positions;
  int ranges = 0;
  bool afterRange = false;
  for (const auto& m : messages) {
    if (m.kind == RunEventKind::kProgressRange && m.value == 4) {
      ++ranges;
      afterRange = true;
      positions.clear();
    }
    if (afterRange && m.kind == RunEventKind::kProgressPosition) positions.push_back(m.value);
  }
  EXPECT_GE(ranges, 1);
  ASSERT_FALSE(positions.empty());
  EXPECT_EQ(positions.back(), 0u);
  // The run's own positions 1..5 appear in order among the programmer's reports.
  uintptr_t next = 1;
  for (uintptr_t p : positions)
    if (p == next) ++next;
  EXPECT_EQ(next, 6u);
  EXPECT_EQ(messages[messages.size() - 1].kind, RunEventKind::kRunSucceeded);
}

TEST_F(RunFixture, ARawRunSendsTheRawPartAndEndsWithItsLine) {
  const std::string raw = dir.Path("image.raw");
  RawDesc desc;
  desc.size = 10000;  // longer than 4096: the WithEboot pair, 8192 bytes sent
  std::string problem;
  ASSERT_EQ(WriteRaw(raw, desc, problem), IMAGE_WRITE_OK);
  ASSERT_TRUE(Flash(raw));
  EXPECT_EQ(run.m_nReservedSize, 0u);
  EXPECT_EQ(run.Lines().back(), std::string(texts::kRawSucceeded) + "00 Minutes, 00 Seconds");
  ImageBlock expected;
  ASSERT_TRUE(ExpectedRawBlock(desc, 8192, expected));
  const auto blocks = handset->Blocks();
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[1].length, 8192u);
  EXPECT_EQ(blocks[1].crc, expected.crc);
}

TEST_F(RunFixture, ARawFileShorterThanItsRawPartFailsToRead) {
  const std::string raw = dir.Path("short.raw");
  RawDesc desc;
  desc.size = 100;
  std::string problem;
  ASSERT_EQ(WriteRaw(raw, desc, problem), IMAGE_WRITE_OK);
  EXPECT_FALSE(Flash(raw));
  EXPECT_EQ(run.Lines().back(), "fread failed:" + raw);
}

struct FaultRow {
  const char* name;
  const char* faults;
  // The newest lines of the failed run, oldest first; "@boot" and "@programmer" stand for the paths.
  Lines last;
  bool box = false;
};

class FaultRowTest : public RunFixture, public ::testing::WithParamInterface<FaultRow> {};

TEST_P(FaultRowTest, EndsFailedWithTheLinesOfItsStep) {
  const FaultRow& row = GetParam();
  UseFaults(row.faults);
  EXPECT_FALSE(Flash(image));
  Lines expected;
  for (std::string line : row.last) {
    if (line.size() > 5 && line.compare(line.size() - 5, 5, "@boot") == 0) line.replace(line.size() - 5, 5, Boot());
    if (line.size() > 11 && line.compare(line.size() - 11, 11, "@programmer") == 0)
      line.replace(line.size() - 11, 11, Programmer());
    if (line.size() > 6 && line.compare(line.size() - 6, 6, "@image") == 0) line.replace(line.size() - 6, 6, image);
    expected.push_back(line);
  }
  const Lines lines = run.Lines();
  ASSERT_GE(lines.size(), expected.size());
  EXPECT_EQ(Lines(lines.end() - static_cast<long>(expected.size()), lines.end()), expected);
  EXPECT_EQ(run.Boxes().size(), row.box ? 1u : 0u);
  EXPECT_EQ(run.Messages().back().kind, RunEventKind::kRunFailed);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultRowTest,
    ::testing::Values(
        FaultRow{"AsicId", "asic-fail", {texts::kAsicIdFailed, "Download file to device failed:@boot"}},
        FaultRow{"Ping", "ping-bad",
                 {texts::kNotRecognized, texts::kBootCodeNotRunning, "Download file to device failed:@boot"}},
        FaultRow{"RamType", "ram-refuse", {texts::kSettingRamType, texts::kRamTypeFailed, texts::kInitDdrFailed}},
        FaultRow{"CrcFourTimes", "crc-bad=4",
                 {texts::kCrcFailure, "Download the file to device failed:@programmer"}},
        FaultRow{"ConfigA", "config-refuse=a", {texts::kConfigFailed}},
        FaultRow{"ConfigB", "config-refuse=b", {texts::kConfigFailed}},
        FaultRow{"ProgrammerStart", "error=5@1",
                 {"Flash Firmware Error occurred:  code 5", texts::kInvalidReturnValue}, true},
        FaultRow{"RawPart", "error=-1@2",
                 {"Flash Firmware Error occurred:  code -1", texts::kMessageHandlerFailedBang}, true},
        FaultRow{"Record", "error=9@3",
                 {"Flash Firmware Error occurred:  code 9", texts::kMessageHandlerFailed}, true},
        FaultRow{"DisconnectInLoader", "disconnect=100",
                 {texts::kBootCodeSendFailed, "Download file to device failed:@boot"}},
        FaultRow{"DisconnectInImage", "disconnect=40000",
                 {texts::kWriteFailed, "Download the file to device failed:@image"}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(RunFixture, ThreeWrongChecksumsAreRetriedAndTheRunSucceeds) {
  UseFaults("crc-bad=3");
  EXPECT_TRUE(Flash(image));
}

TEST_F(RunFixture, TextReportsAppearBetweenTheProgrammerLineAndTheEnd) {
  UseFaults("texts=2");
  ASSERT_TRUE(Flash(image));
  const Lines lines = run.Lines();
  EXPECT_GT(lines.size(), 8u);
  EXPECT_EQ(lines[6], "Downloading the out file:" + Programmer());
  for (const std::string& l : lines) EXPECT_LE(l.size(), 255u);
}

TEST_F(RunFixture, StopBeforeTheHandsetAppearsFailsWithTheLoaderLine) {
  UseFaults("appear=600000");
  run.m_strImagePath = image;
  std::string line;
  ASSERT_TRUE(run.ApplyStartSettings(morvak::testing::SettingsOf(run), line));
  ASSERT_TRUE(run.StartWorker());
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const auto stopped = std::chrono::steady_clock::now();
  run.RequestStop();
  run.JoinWorker();
  EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::milliseconds(200));
  EXPECT_EQ(run.Lines().back(), "Download file to device failed:" + Boot());
  EXPECT_EQ(run.Messages().back().kind, RunEventKind::kRunFailed);
  // The progress bar is left alone by a run that never reached the image.
  for (const auto& m : run.Messages()) EXPECT_NE(m.kind, RunEventKind::kProgressPosition);
}

TEST_F(RunFixture, AHungReadEndsWhenTheProgramShutsDown) {
  UseFaults("hang=run:2");
  run.m_strImagePath = image;
  std::string line;
  ASSERT_TRUE(run.ApplyStartSettings(morvak::testing::SettingsOf(run), line));
  ASSERT_TRUE(run.StartWorker());
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  run.RequestStop();  // Stop alone leaves the pending read
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(run.WorkerAlive());
  EXPECT_FALSE(run.StartWorker());  // one run at a time
  const auto started = std::chrono::steady_clock::now();
  run.Shutdown();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
  EXPECT_FALSE(run.WorkerAlive());
}

struct FileRow {
  const char* name;
  void (*prepare)(const ProgramDirectory&);
  Lines last;
};

class FileRowTest : public RunFixture, public ::testing::WithParamInterface<FileRow> {};

TEST_P(FileRowTest, RunFilesThatCannotServeFailTheirStep) {
  GetParam().prepare(dir);
  EXPECT_FALSE(Flash(image));
  Lines expected;
  for (std::string l : GetParam().last) {
    if (l.back() == ':') l += l.find("boot") != std::string::npos || l.find("invalide") != std::string::npos ? Boot() : Programmer();
    expected.push_back(l);
  }
  const Lines lines = run.Lines();
  ASSERT_GE(lines.size(), expected.size());
  EXPECT_EQ(Lines(lines.end() - static_cast<long>(expected.size()), lines.end()), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Files, FileRowTest,
    ::testing::Values(
        FileRow{"MissingProgrammer", [](const ProgramDirectory& d) { std::remove(d.Path("file/NANDOUT.nb0").c_str()); },
                {"fopen failed:"}},
        FileRow{"EmptyProgrammer", [](const ProgramDirectory& d) { d.WriteFile("file/NANDOUT.nb0", ""); },
                {"file is empty:"}},
        FileRow{"EmptyLoader", [](const ProgramDirectory& d) { d.WriteFile("file/2ND.nb0", ""); },
                {"It is an invalide file:"}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(RunFixture, AnEmptyLoaderNeverWaitsForTheDevice) {
  dir.WriteFile("file/2ND.nb0", "");
  EXPECT_FALSE(Flash(image));
  for (const std::string& l : run.Lines()) EXPECT_NE(l, texts::kWaitingForDevice);
  EXPECT_EQ(handset->HostBytes(), 0u);
}

TEST_F(RunFixture, ImagePathsOf255BytesPassAndOf256AreRefused) {
  for (size_t length : {255u, 256u}) {
    std::string path = dir.Directory();
    path += std::string(length - path.size() - 4, 'p') + ".img";
    ASSERT_EQ(path.size(), length);
    std::string problem;
    if (std::string(path.substr(path.rfind('/') + 1)).size() > 255) GTEST_SKIP() << "name too long for the file system";
    ASSERT_EQ(WriteImage(path, DemoImage(), nullptr, problem), IMAGE_WRITE_OK) << problem;
    UseFaults("");
    const bool ok = Flash(path);
    if (length == 255) {
      EXPECT_TRUE(ok);
    } else {
      EXPECT_FALSE(ok);
      EXPECT_EQ(run.Lines().back(), "The file name is too long:" + path);
    }
    std::remove(path.c_str());
  }
}

}  // namespace
}  // namespace morvak

namespace morvak {
namespace {

using morvak::testing::RunEventKind;

// No state is shared between runs: two links with two handsets flash side by side.
TEST(TwoRunsSideBySide, EachHandsetReceivesItsOwnImage) {
  ProgramDirectory dir("side-by-side");
  dir.Config(testing::kSmallNandSizes);
  struct One {
    RecordingRun run;
    VirtualHandsetTransport* handset = nullptr;
    std::string image;
  };
  One runs[2];
  for (int i = 0; i < 2; ++i) {
    ImageDesc desc = DemoImage();
    desc.records[0].data.seed = 1000u + static_cast<uint32_t>(i);
    runs[i].image = dir.Path("image" + std::to_string(i) + ".img");
    std::string problem;
    ASSERT_EQ(WriteImage(runs[i].image, desc, nullptr, problem), IMAGE_WRITE_OK);
    auto t = std::make_unique<VirtualHandsetTransport>(FaultPlan{});
    runs[i].handset = t.get();
    runs[i].run.m_link.m_device.SetTransport(std::move(t));
    runs[i].run.m_strModuleDirectory = dir.Directory();
    runs[i].run.m_strImagePath = runs[i].image;
    std::string line;
    ASSERT_TRUE(runs[i].run.ApplyStartSettings(morvak::testing::SettingsOf(runs[i].run), line)) << line;
  }
  for (One& one : runs) ASSERT_TRUE(one.run.StartWorker());
  for (One& one : runs) one.run.JoinWorker();
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(runs[i].run.Messages().back().kind, RunEventKind::kRunSucceeded) << i;
    ImageDesc desc = DemoImage();
    desc.records[0].data.seed = 1000u + static_cast<uint32_t>(i);
    std::vector<ImageBlock> expected;
    ASSERT_EQ(ExpectedImageBlocks(desc, expected), PLAN_OK);
    const auto blocks = runs[i].handset->Blocks();
    ASSERT_EQ(blocks.size(), expected.size() + 1);
    for (size_t b = 0; b < expected.size(); ++b) EXPECT_EQ(blocks[b + 1].crc, expected[b].crc) << i << " " << b;
  }
  EXPECT_NE(runs[0].handset->Blocks()[3].crc, runs[1].handset->Blocks()[3].crc);  // records[0], after the programmer, raw part and layout
}

}  // namespace
}  // namespace morvak
