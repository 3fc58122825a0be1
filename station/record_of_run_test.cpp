// The record of a run made from its run state: where RecordFile= puts the
// file, and the record of whole runs into the virtual handset as the window
// would write it, with the digest of the bytes the run sent.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "Crc16.h"
#include "Format.h"
#include "HandsetContent.h"
#include "ImageFormat.h"
#include "ImageWriter.h"
#include "RecordOfRun.h"
#include "RunTexts.h"
#include "RunTestSupport.h"
#include "Sha256.h"
#include "VirtualHandsetTransport.h"

namespace morvak {
namespace {

using morvak::testing::RunEventKind;

using testing::RecordingRun;
using testing::ProgramDirectory;

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

struct PlaceCase {
  const char* name;
  const char* config;  // the [LURRA_PARAMS] lines
  const char* expected;  // relative to the program directory; "" for none, "/..." as it stands
};

class ConfiguredRecordFileTest : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(ConfiguredRecordFileTest, PutsTheFileBesideTheProgram) {
  ProgramDirectory dir(std::string("record-place-") + GetParam().name);
  dir.Config(std::string("[LURRA_PARAMS]\n") + GetParam().config);
  const std::string expected = GetParam().expected;
  const std::string want = expected.empty() || expected.front() == '/' ? expected : dir.Directory() + expected;
  EXPECT_EQ(ConfiguredRecordFile(dir.Directory()), want);
}

INSTANTIATE_TEST_SUITE_P(
    Configs, ConfiguredRecordFileTest,
    ::testing::Values(PlaceCase{"Missing", "CRCEnable=1\n", ""}, PlaceCase{"Empty", "RecordFile=\n", ""},
                      PlaceCase{"Relative", "recordfile = runs/records.jsonl \n", "runs/records.jsonl"},
                      PlaceCase{"Absolute", "RecordFile=/var/log/morvak.jsonl\n", "/var/log/morvak.jsonl"}),
    [](const ::testing::TestParamInfo<PlaceCase>& p) { return std::string(p.param.name); });

// A whole run as the window makes it, and the one call it makes at the end.
class RecordedRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir.Config(
        "[LURRA_PARAMS]\nRecordFile=records.jsonl\n[LURRA_NAND]\nRawFileSize_WithoutEboot=4096\n"
        "BinaryRegionSize_WithoutEboot=4096\nRawFileSize_WithEboot=8192\nBinaryRegionSize_WithEboot=12288\n");
    run.m_strModuleDirectory = dir.Directory();
    image = dir.Path("image.img");
    ImageDesc d;
    d.rawSize = 4096;
    RecordDesc r;
    r.address = 0x100000;
    r.length = 5000;
    d.records.push_back(r);
    LayoutDesc layout;
    layout.blockCounts = {2, 3};
    d.layout = layout;
    std::string problem;
    ASSERT_EQ(WriteImage(image, d, nullptr, problem), IMAGE_WRITE_OK) << problem;
  }
  // One run on a fresh handset with `faults`; the record call as the window makes it.
  void FlashAndRecord(const char* faults) {
    FaultPlan plan;
    std::string error;
    ASSERT_TRUE(ParseFaultPlan(faults, plan, error)) << error;
    run.m_link.m_device.SetTransport(std::make_unique<VirtualHandsetTransport>(plan));
    run.m_strImagePath = image;
    std::string line;
    ASSERT_TRUE(run.ApplyStartSettings(morvak::testing::SettingsOf(run), line)) << line;
    const auto started = std::chrono::system_clock::now();
    ASSERT_TRUE(run.StartWorker());
    run.JoinWorker();
    bool succeeded = false;
    // The recording run keeps the messages of earlier runs too: the last result is this run's.
    for (const auto& m : run.Messages())
      if (m.kind == RunEventKind::kRunSucceeded || m.kind == RunEventKind::kRunFailed) succeeded = m.kind == RunEventKind::kRunSucceeded;
    // The window may have a new path in its field by now; the record names the run's.
    run.m_strImagePath = dir.Path("other.img");
    ASSERT_TRUE(RecordRunIfConfigured(run, RunEnding{OutcomeOf(run, succeeded), run.Lines().back(), started}, error)) << error;
  }

  ProgramDirectory dir{"recorded-run"};
  RecordingRun run;
  std::string image;
};

TEST_F(RecordedRunTest, EachRunAppendsItsRecord) {
  FlashAndRecord("");
  FlashAndRecord("ram-refuse");
  const std::vector<std::string> lines = ReadLines(dir.Path("records.jsonl"));
  ASSERT_EQ(lines.size(), 2u);

  uint8_t id[VIRTUAL_ASIC_ID_SIZE];
  VirtualAsicId(id);
  std::string sha, error;
  ASSERT_TRUE(Sha256OfFile(image, sha, error)) << error;
  const std::string common = "\"image\":" + std::string("\"") + image + "\",\"image_sha256\":\"" + sha +
                             "\",\"image_type\":\"img\",\"flash_type\":\"NAND\",\"erase_reserved\":false,"
                             "\"crc_check\":true,";
  EXPECT_NE(lines[0].find("\"port\":null,\"asic_id\":\"" + HexOf(id, sizeof id) + "\","), std::string::npos)
      << lines[0];
  EXPECT_NE(lines[0].find(common), std::string::npos) << lines[0];
  EXPECT_NE(lines[0].find("\"result\":\"succeeded\",\"stage\":null,\"error_code\":null,\"reason\":null,"
                          "\"last_line\":\"Download the img successfully!"),
            std::string::npos)
      << lines[0];
  // The failed run's record names its own line, and its boot's chip.
  EXPECT_NE(lines[1].find(common), std::string::npos) << lines[1];
  EXPECT_NE(lines[1].find("\"result\":\"failed\""), std::string::npos) << lines[1];
  EXPECT_NE(lines[1].find("\"last_line\":\"Init the DDR failed\""), std::string::npos)
      << lines[1];
}

TEST_F(RecordedRunTest, ARunWhoseBootFailsRecordsNoChip) {
  FlashAndRecord("");
  FlashAndRecord("asic-fail");
  const std::vector<std::string> lines = ReadLines(dir.Path("records.jsonl"));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].find("\"asic_id\":null"), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find("\"asic_id\":null"), std::string::npos) << lines[1];
}

struct ImageWriteCase {
  const char* name;
  bool modificationTimeSetBack;  // as touch -r would, once written
};

class ImageWrittenDuringTheRunTest : public RecordedRunTest,
                                     public ::testing::WithParamInterface<ImageWriteCase> {};

// The image is written in place while a slow run streams it: the run never
// succeeds, and its record's digest is that of the bytes it read and sent,
// whichever version of the written region that was. Its size stays, and its
// modification time may be set back: the identity still tells.
TEST_P(ImageWrittenDuringTheRunTest, AnImageWrittenDuringTheRunNeverSucceeds) {
  ImageDesc d;
  d.rawSize = 4096;
  RecordDesc big;
  big.address = 0x100000;
  big.length = 400000;
  d.records.push_back(big);
  LayoutDesc layout;
  layout.position = 1;
  layout.blockCounts = {2, 3};
  d.layout = layout;
  std::string problem;
  ASSERT_EQ(WriteImage(image, d, nullptr, problem), IMAGE_WRITE_OK) << problem;
  ImagePlan plan;
  ASSERT_EQ(PlanImage(d, plan), PLAN_OK);
  const uint64_t dataOffset = plan.records.at(0).headerOffset + IMAGE_RECORD_SIZE;
  std::string before, after, error;
  ASSERT_TRUE(Sha256OfFile(image, before, error)) << error;

  FaultPlan faults;
  ASSERT_TRUE(ParseFaultPlan("speed=1", faults, error)) << error;
  auto transport = std::make_unique<VirtualHandsetTransport>(faults);
  VirtualHandsetTransport* handset = transport.get();
  run.m_link.m_device.SetTransport(std::move(transport));
  run.m_strImagePath = image;
  std::string line;
  ASSERT_TRUE(run.ApplyStartSettings(morvak::testing::SettingsOf(run), line)) << line;
  ASSERT_TRUE(run.StartWorker());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  // Once the raw part is in, the image is open and its record is streaming.
  while (handset->Blocks().size() < 2 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  struct stat checked {};
  ASSERT_EQ(::stat(image.c_str(), &checked), 0);
  // Past the file system's coarsest clock tick, so that the write's change
  // time differs from the one Start saw.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const std::string patch(1000, '\x5A');
  {
    std::fstream f(image, std::ios::binary | std::ios::in | std::ios::out);
    f.seekp(static_cast<std::streamoff>(dataOffset + big.length - patch.size()));
    f.write(patch.data(), static_cast<std::streamsize>(patch.size()));
  }
  if (GetParam().modificationTimeSetBack) {
    const struct timespec times[2] = {{0, UTIME_OMIT}, checked.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, image.c_str(), times, 0), 0);
    struct stat now {};
    ASSERT_EQ(::stat(image.c_str(), &now), 0);
    ASSERT_EQ(now.st_mtim.tv_sec, checked.st_mtim.tv_sec);
    ASSERT_EQ(now.st_mtim.tv_nsec, checked.st_mtim.tv_nsec);
  }
  ASSERT_TRUE(Sha256OfFile(image, after, error)) << error;
  run.JoinWorker();

  const std::vector<std::string> lines = run.Lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), Format(texts::kImageChanged, image.c_str()));
  for (const std::string& l : lines) EXPECT_EQ(l.rfind(texts::kImgSucceeded, 0), std::string::npos) << l;
  // Which version of the record the handset got tells which digest is right.
  std::ifstream in(image, std::ios::binary);
  std::vector<uint8_t> record(big.length);
  in.seekg(static_cast<std::streamoff>(dataOffset));
  in.read(reinterpret_cast<char*>(record.data()), static_cast<std::streamsize>(record.size()));
  const auto crcAfter = static_cast<uint16_t>(Crc16(record.data(), record.size()));
  const std::vector<BlockRecord> blocks = handset->Blocks();
  ASSERT_EQ(blocks.size(), 4u) << "programmer, raw part, record, layout";
  EXPECT_EQ(run.ImageSha256(), blocks[2].crc == crcAfter ? after : before);
}

INSTANTIATE_TEST_SUITE_P(
    Writes, ImageWrittenDuringTheRunTest,
    ::testing::Values(ImageWriteCase{"InPlace", false}, ImageWriteCase{"InPlaceThenItsTimeSetBack", true}),
    [](const ::testing::TestParamInfo<ImageWriteCase>& p) { return std::string(p.param.name); });

// A file renamed over the image's path after Start: nothing of it is sent,
// and the record carries no digest (neither file is what the run flashed).
TEST_F(RecordedRunTest, AnImageReplacedAfterStartIsNotSent) {
  const std::string other = dir.Path("other.img");
  std::filesystem::copy_file(image, other);
  std::ofstream(other, std::ios::binary | std::ios::app) << "more";
  FaultPlan none;
  auto transport = std::make_unique<VirtualHandsetTransport>(none);
  VirtualHandsetTransport* handset = transport.get();
  run.m_link.m_device.SetTransport(std::move(transport));
  run.m_strImagePath = image;
  std::string line, error;
  ASSERT_TRUE(run.ApplyStartSettings(morvak::testing::SettingsOf(run), line)) << line;
  std::filesystem::rename(other, image);
  const auto started = std::chrono::system_clock::now();
  ASSERT_TRUE(run.StartWorker());
  run.JoinWorker();
  ASSERT_FALSE(run.Lines().empty());
  EXPECT_EQ(run.Lines().back(), Format(texts::kImageChanged, image.c_str()));
  EXPECT_EQ(handset->HostBytes(), 0u) << "the handset is not even booted";
  EXPECT_EQ(run.ImageSha256(), "");
  ASSERT_TRUE(RecordRunIfConfigured(run, RunEnding{RunOutcome::Failed, run.Lines().back(), started}, error)) << error;
  const std::vector<std::string> records = ReadLines(dir.Path("records.jsonl"));
  ASSERT_EQ(records.size(), 1u);
  EXPECT_NE(records[0].find("\"image_sha256\":null"), std::string::npos) << records[0];
}

TEST_F(RecordedRunTest, NothingIsWrittenUnlessAsked) {
  dir.Config("[LURRA_NAND]\nRawFileSize_WithoutEboot=4096\nBinaryRegionSize_WithoutEboot=4096\n");
  FlashAndRecord("");
  EXPECT_FALSE(std::filesystem::exists(dir.Path("records.jsonl")));
}

}  // namespace
}  // namespace morvak
