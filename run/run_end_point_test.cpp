// Where a run ended and why: every way the worker ends on the virtual
// handset's faults, the run's files and its configuration gives its stage,
// the programmer's error code when it sent one, and a reason that names what
// to do.
#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <optional>
#include <ostream>
#include <thread>

#include "FaultPlan.h"
#include "ImageWriter.h"
#include "RunStage.h"
#include "RunTestSupport.h"
#include "SeededImage.h"
#include "VirtualHandsetTransport.h"

namespace morvak {
namespace {

using morvak::testing::ProgramDirectory;
using morvak::testing::RecordingRun;
using morvak::testing::RunEventKind;

// Records 1 (3000 bytes), 2 (the layout), 3 (empty, sends nothing) and 4
// (900 bytes): the run commands are 1 the programmer, 2 the raw part, 3
// record 1, 4 record 2 and 5 record 4.
ImageDesc EndPointImage() { return SeededImage(4096, {{0x100000, 3000}, {0x200000, 0}, {0x300000, 900}}, 1, {1}); }

struct EndPointTest;

struct EndRow {
  const char* name;
  const char* faults;
  const char* stage;  // StageName of the end point
  FailureKind failure;
  std::optional<uint32_t> code;
  const char* remedy;  // what the reason must name
  void (*prepare)(EndPointTest&) = nullptr;
};
void PrintTo(const EndRow& row, std::ostream* out) { *out << row.name; }

struct EndPointTest : ::testing::TestWithParam<EndRow> {
  ProgramDirectory dir{"end-point-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name())
                                          .substr(0, 40)};
  RecordingRun run;
  std::string image = dir.Path("image.img");
  std::optional<std::chrono::milliseconds> waitTimeout;
  bool stop = false;  // the operator stops the run 50 ms after it started

  void SetUp() override {
    dir.Config(testing::kSmallNandSizes);
    std::string problem;
    ASSERT_EQ(WriteImage(image, EndPointImage(), nullptr, problem), IMAGE_WRITE_OK) << problem;
  }
  void UseRaw(uint64_t size) {
    image = dir.Path("image.raw");
    RawDesc desc;
    desc.size = size;
    std::string problem;
    ASSERT_EQ(WriteRaw(image, desc, problem), IMAGE_WRITE_OK) << problem;
  }
};

TEST_P(EndPointTest, SaysWhereTheRunEndedAndWhatToDo) {
  const EndRow& row = GetParam();
  if (row.prepare) row.prepare(*this);
  FaultPlan plan;
  std::string error;
  ASSERT_TRUE(ParseFaultPlan(row.faults, plan, error)) << error;
  run.m_link.m_device.SetTransport(std::make_unique<VirtualHandsetTransport>(plan));
  run.m_strModuleDirectory = dir.Directory();
  run.m_strImagePath = image;
  run.m_replyTimeoutOverride = std::chrono::milliseconds(200);
  RunSettings settings = testing::SettingsOf(run);
  settings.waitTimeout = waitTimeout;
  std::string line;
  if (run.ApplyStartSettings(settings, line)) {
    ASSERT_TRUE(run.StartWorker());
    if (stop) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      run.RequestStop();
    }
    run.JoinWorker();
    ASSERT_FALSE(run.Messages().empty());
    EXPECT_EQ(run.Messages().back().kind,
              row.failure == FailureKind::None ? RunEventKind::kRunSucceeded : RunEventKind::kRunFailed);
  }
  const RunEndPoint end = run.EndPoint();
  EXPECT_EQ(StageName(end), row.stage);
  EXPECT_EQ(end.failure, row.failure);
  EXPECT_EQ(end.errorCode, row.code);
  const std::string reason = FailureReason(end);
  if (row.failure == FailureKind::None) {
    EXPECT_EQ(reason, "");
    return;
  }
  ASSERT_FALSE(reason.empty());
  EXPECT_TRUE(std::islower(static_cast<unsigned char>(reason.front()))) << reason;
  EXPECT_NE(reason.back(), '.') << reason;
  EXPECT_NE(reason.find(row.remedy), std::string::npos) << reason;
}

INSTANTIATE_TEST_SUITE_P(
    Ends, EndPointTest,
    ::testing::Values(
        EndRow{"Succeeded", "", "finish", FailureKind::None, std::nullopt, ""},
        EndRow{"NoHandsetWithinTheWait", "appear=600000", "waiting for the handset", FailureKind::NoHandset,
               std::nullopt, "boot key", [](EndPointTest& e) { e.waitTimeout = std::chrono::milliseconds(50); }},
        EndRow{"StoppedWhileWaiting", "appear=600000", "waiting for the handset", FailureKind::Stopped, std::nullopt,
               "stopped by the operator", [](EndPointTest& e) { e.stop = true; }},
        EndRow{"NoAsicId", "asic-fail", "ASIC ID", FailureKind::Disconnected, std::nullopt, "boot key"},
        EndRow{"AsicIdNeverComes", "hang=asic", "ASIC ID", FailureKind::NoAnswer, std::nullopt, "boot key"},
        EndRow{"LoaderCut", "disconnect=100", "loader", FailureKind::Disconnected, std::nullopt, "cable"},
        EndRow{"PingAnsweredWrongly", "ping-bad", "loader", FailureKind::Refused, std::nullopt, "file/2ND.nb0"},
        EndRow{"PingNeverAnswered", "hang=ping", "loader", FailureKind::NoAnswer, std::nullopt, "replug"},
        EndRow{"RamTypeRefused", "ram-refuse", "RAM type", FailureKind::Refused, std::nullopt, "loader"},
        EndRow{"ProgrammerDamaged", "crc-bad=4", "programmer", FailureKind::CrcMismatch, std::nullopt, "cable"},
        EndRow{"ProgrammerStartError", "error=5@1", "programmer", FailureKind::ProgrammerError, 5u, "error 0x05"},
        EndRow{"ConfigurationRefused", "config-refuse=b", "configuration", FailureKind::Refused, std::nullopt,
               "file/LURRA.ini"},
        EndRow{"ConfigurationNeverAnswered", "hang=config", "configuration", FailureKind::NoAnswer, std::nullopt,
               "cable"},
        EndRow{"RawPartError", "error=-1@2", "raw part", FailureKind::ProgrammerError, 0xFFFFFFFFu,
               "set the unit aside"},
        EndRow{"RawPartNeverReports", "hang=run:2", "raw part", FailureKind::NoAnswer, std::nullopt, "replug"},
        EndRow{"FirstRecordChecksumNeverAnswered", "hang=crc:3", "record 1", FailureKind::NoAnswer, std::nullopt,
               "cable"},
        EndRow{"LayoutRecordNeverAcknowledged", "hang=ack:4", "record 2", FailureKind::NoAnswer, std::nullopt,
               "cable"},
        EndRow{"RecordAfterAnEmptyOneError", "error=0x1B@5", "record 4", FailureKind::ProgrammerError, 0x1Bu,
               "error 0x1B while writing"},
        EndRow{"MissingLoader", "", "loader", FailureKind::FileMissing, std::nullopt, "file/2ND.nb0",
               [](EndPointTest& e) { std::remove(e.dir.Path("file/2ND.nb0").c_str()); }},
        EndRow{"MissingProgrammer", "", "programmer", FailureKind::FileMissing, std::nullopt, "file/NANDOUT.nb0",
               [](EndPointTest& e) { std::remove(e.dir.Path("file/NANDOUT.nb0").c_str()); }},
        EndRow{"EmptyProgrammer", "", "programmer", FailureKind::FileUnusable, std::nullopt, "file/NANDOUT.nb0",
               [](EndPointTest& e) { e.dir.WriteFile("file/NANDOUT.nb0", ""); }},
        EndRow{"ConfigurationRefusedAtStart", "", "start", FailureKind::BadConfiguration, std::nullopt,
               "file/LURRA.ini",
               [](EndPointTest& e) {
                 e.dir.Config(std::string(testing::kSmallNandSizes) + "[LURRA_PARAMS]\nReplyTimeout=soon\n");
               }},
        EndRow{"RawPartNoImageHolds", "", "raw part", FailureKind::BadConfiguration, std::nullopt, "file/LURRA.ini",
               [](EndPointTest& e) {
                 e.dir.Config("[LURRA_NAND]\nRawFileSize_WithoutEboot=268435456\nBinaryRegionSize_WithoutEboot=4096\n");
                 e.UseRaw(100);
               }},
        EndRow{"RawImageShorterThanItsRawPart", "", "raw part", FailureKind::ImageTooShort, std::nullopt,
               "file/LURRA.ini", [](EndPointTest& e) { e.UseRaw(100); }}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace morvak
