// Whole conversations of the host's target link with the virtual handset: the
// run's sequence of operations, and for each fault what the host sees.
#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <future>
#include <memory>
#include <thread>

#include "HandsetContent.h"
#include "LinkTexts.h"
#include "RecordingTarget.h"
#include "TargetLink.h"
#include "VirtualHandsetTransport.h"
#include "handset_test_support.h"

namespace morvak {
namespace {

using Clock = std::chrono::steady_clock;
using handset_test::CrcOf;
using handset_test::Payload;
using Lines = std::vector<std::string>;

constexpr uint32_t kRawLength = 70000;  // more than one transfer
struct RecordShape {
  uint32_t address;
  uint32_t length;
};
constexpr RecordShape kRecords[] = {{0x80040000u, 1000}, {0x80200000u, 200000}};

struct Rig {
  CTargetLink link;
  testing::RecordingTarget owner;
  VirtualHandsetTransport* handset = nullptr;

  explicit Rig(const char* faults) {
    FaultPlan plan;
    std::string error;
    EXPECT_TRUE(ParseFaultPlan(faults, plan, error)) << error;
    auto transport = std::make_unique<VirtualHandsetTransport>(plan);
    handset = transport.get();
    link.m_device.SetTransport(std::move(transport));
    link.m_pOwner = &owner;
  }
};

// The target conversation of one run, in the run's order; "" when every step
// succeeded, otherwise the name of the step that failed.
std::string Flash(CTargetLink& link) {
  uint8_t asic[ASIC_ID_SIZE];
  const auto loader = Payload(300, 99);
  if (!link.BootTarget(loader.data(), static_cast<uint32_t>(loader.size()), asic)) return "boot";
  if (!link.SetRamType()) return "ram";
  const auto program = Payload(5000, 1);
  if (!link.Download(program.data(), VIRTUAL_PROGRAMMER_ADDRESS, 5000, DATA_PROGRAM, 1)) return "program";
  if (!link.RunProgram()) return "start";
  if (!link.WaitReport()) return "ready";
  if (!link.SendConfig(kRawLength, 0x01000000u, 0x40000u, 0)) return "config";
  const auto raw = Payload(kRawLength, 2);
  if (!link.Download(raw.data(), 0, kRawLength, DATA_RAW, 1)) return "raw";
  if (!link.RunProgram()) return "raw-run";
  if (!link.WaitReport()) return "raw-wait";
  for (uint32_t i = 0; i < 2; ++i) {
    const std::string name = "record" + std::to_string(i + 1);
    const auto data = Payload(kRecords[i].length, 3 + i);
    if (!link.Download(data.data(), kRecords[i].address, kRecords[i].length, DATA_RECORD, 1)) return name;
    if (!link.RunProgram()) return name + "-run";
    if (!link.WaitReport()) return name + "-wait";
  }
  link.EndTransfer();
  return "";
}

std::vector<BlockRecord> ExpectedBlocks() {
  std::vector<BlockRecord> blocks = {{DATA_PROGRAM, VIRTUAL_PROGRAMMER_ADDRESS, 5000, CrcOf(Payload(5000, 1))},
                                     {DATA_RAW, 0, kRawLength, CrcOf(Payload(kRawLength, 2))}};
  for (uint32_t i = 0; i < 2; ++i)
    blocks.push_back({DATA_RECORD, kRecords[i].address, kRecords[i].length, CrcOf(Payload(kRecords[i].length, 3 + i))});
  return blocks;
}

// Runs Flash on a worker. For a handset that hangs, waits until the hang is
// due, checks that the run is held, and ends it with Interrupt(); returns the
// step that failed. Never waits unbounded.
template <typename Steps>
std::string RunBounded(Rig& rig, Steps steps, bool hangs, double* msAfterInterrupt = nullptr) {
  auto run = std::async(std::launch::async, steps);
  if (hangs) {
    const auto start = Clock::now();
    while (!rig.handset->Hung() && Clock::now() - start < std::chrono::seconds(5))
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(rig.handset->Hung());
    EXPECT_EQ(run.wait_for(std::chrono::milliseconds(20)), std::future_status::timeout) << "the run should be held";
  }
  const auto limit = hangs ? std::chrono::seconds(0) : std::chrono::seconds(10);
  if (run.wait_for(limit) != std::future_status::ready) {
    const auto interrupted = Clock::now();
    rig.handset->Interrupt();
    if (run.wait_for(std::chrono::seconds(2)) != std::future_status::ready) std::abort();
    if (msAfterInterrupt)
      *msAfterInterrupt = std::chrono::duration<double, std::milli>(Clock::now() - interrupted).count();
    EXPECT_TRUE(hangs) << "a run that should end by itself was held";
  }
  return run.get();
}

std::string FlashBounded(Rig& rig, bool hangs, double* msAfterInterrupt = nullptr) {
  return RunBounded(rig, [&] { return Flash(rig.link); }, hangs, msAfterInterrupt);
}

struct FaultRow {
  const char* faults;
  const char* failedStep;  // "" for success
  Lines lastLines;         // the tail of the status lines
  const char* box = nullptr;
  bool hangs = false;
};

const std::string kCodeFive = "Flash Firmware Error occurred:  code 5";
const std::string kCodeMinusSeven = "Flash Firmware Error occurred:  code -7";
const std::string kCodeMinusOne = "Flash Firmware Error occurred:  code -1";

const FaultRow kRows[] = {
    {"", "", {texts::kWaitingForDevice, texts::kLoadingBootCode, texts::kSettingRamType}},
    {"crc-bad=3", "", {texts::kSettingRamType}},
    {"speed=200", "", {texts::kSettingRamType}},
    {"appear=30", "", {texts::kWaitingForDevice, texts::kLoadingBootCode, texts::kSettingRamType}},
    {"asic-fail", "boot", {texts::kWaitingForDevice, texts::kLoadingBootCode, texts::kAsicIdFailed}},
    {"disconnect=0", "boot", {texts::kLoadingBootCode, texts::kAsicIdFailed}},
    {"disconnect=2", "boot", {texts::kLoadingBootCode, texts::kFlashCommandFailed}},
    {"disconnect=6", "boot", {texts::kLoadingBootCode, texts::kSizeCommandFailed}},
    {"disconnect=100", "boot", {texts::kLoadingBootCode, texts::kBootCodeSendFailed}},
    {"disconnect=308", "boot", {texts::kWriteFailed, texts::kBootCodeNotRunning}},
    {"disconnect=324", "boot", {texts::kReadFailed, texts::kBootCodeNotRunning}},
    {"ping-bad", "boot", {texts::kLoadingBootCode, texts::kNotRecognized, texts::kBootCodeNotRunning}},
    {"ram-refuse", "ram", {texts::kSettingRamType, texts::kRamTypeFailed}},
    {"crc-bad=4", "program", {texts::kSettingRamType, texts::kCrcFailure}},
    {"disconnect=400", "program", {texts::kSettingRamType, texts::kWriteFailed}},
    {"config-refuse=a", "config", {texts::kSettingRamType}},
    {"config-refuse=b", "config", {texts::kSettingRamType}},
    {"error=5@1", "ready", {texts::kSettingRamType, kCodeFive}, "Flash Firmware Error occurred:  code 5"},
    {"error=-7@2", "raw-wait", {texts::kSettingRamType, kCodeMinusSeven}, "Flash Firmware Error occurred:  code -7"},
    {"error=0xFFFFFFFF@3", "record1-wait", {texts::kSettingRamType, kCodeMinusOne},
     "Flash Firmware Error occurred:  code -1"},
    {"hang=asic", "boot", {texts::kLoadingBootCode, texts::kAsicIdFailed}, nullptr, true},
    {"hang=ping", "boot", {texts::kReadFailed, texts::kBootCodeNotRunning}, nullptr, true},
    {"hang=ram", "ram", {texts::kSettingRamType, texts::kRamTypeFailed}, nullptr, true},
    {"hang=ack", "program", {texts::kSettingRamType, texts::kReadFailed}, nullptr, true},
    {"hang=crc:2", "raw", {texts::kSettingRamType, texts::kReadFailed}, nullptr, true},
    {"hang=config:2", "config", {texts::kSettingRamType}, nullptr, true},
    {"hang=run", "ready", {texts::kSettingRamType, texts::kReadUsbFailed}, nullptr, true},
    {"hang=run:4", "record2-wait", {texts::kSettingRamType, texts::kReadUsbFailed}, nullptr, true},
};

class HandsetFaultRun : public ::testing::TestWithParam<FaultRow> {};

TEST_P(HandsetFaultRun, TheHostSeesTheFailureOfItsStep) {
  const FaultRow& row = GetParam();
  Rig rig(row.faults);
  const auto start = Clock::now();
  double msAfterInterrupt = 0;
  EXPECT_EQ(FlashBounded(rig, row.hangs, &msAfterInterrupt), row.failedStep);
  if (row.hangs) {
    EXPECT_LT(msAfterInterrupt, 100.0);
  }

  const Lines lines = rig.owner.Lines();
  ASSERT_GE(lines.size(), row.lastLines.size());
  EXPECT_EQ(Lines(lines.end() - static_cast<std::ptrdiff_t>(row.lastLines.size()), lines.end()), row.lastLines);
  EXPECT_EQ(rig.owner.Boxes(), row.box ? Lines{row.box} : Lines{});
  if (std::string(row.failedStep).empty()) {
    EXPECT_EQ(rig.handset->Blocks(), ExpectedBlocks());
    EXPECT_EQ(rig.handset->Stage(), HandsetStage::Finished);
    EXPECT_EQ(rig.handset->ConfigWords(), (std::array<uint32_t, 4>{kRawLength, 0x01000000u, 0x40000u, 0}));
  }
  const std::string faults = row.faults;
  if (faults == "crc-bad=3") {
    EXPECT_EQ(rig.handset->BlockHeaders(), 4u + 3u);  // three resends of the programmer
  } else if (faults == "crc-bad=4") {
    EXPECT_EQ(rig.handset->BlockHeaders(), 4u);  // four attempts, then the host gives up
  } else if (faults == "appear=30") {
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(30));
  }
  if (std::string(row.failedStep) == "config" && !row.hangs) {
    EXPECT_STREQ(rig.link.m_device.m_szLastError, texts::kReturnedCommand);
  }
}

std::string RowName(const ::testing::TestParamInfo<FaultRow>& p) {
  std::string name = *p.param.faults ? p.param.faults : "none";
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Faults, HandsetFaultRun, ::testing::ValuesIn(kRows), RowName);

TEST(HandsetConversation, TextsAreShownUpToTheirNulAndWithinTheHostBuffer) {
  Rig rig("texts=2");
  ASSERT_EQ(FlashBounded(rig, false), "");
  Lines expected = {texts::kWaitingForDevice, texts::kLoadingBootCode, texts::kSettingRamType};
  for (uint32_t run = 1; run <= 4; ++run) {
    expected.push_back(VirtualTextReport(run, 0).c_str());
    expected.push_back(VirtualTextReport(run, 1).substr(0, REPORT_TEXT_BUFFER - 1));
  }
  EXPECT_EQ(rig.owner.Lines(), expected);
  EXPECT_EQ(rig.handset->Blocks(), ExpectedBlocks());
}

TEST(HandsetConversation, ASecondRunOnTheSameLinkMeetsAFreshHandset) {
  Rig rig("");
  ASSERT_EQ(FlashBounded(rig, false), "");
  ASSERT_EQ(FlashBounded(rig, false), "");
  EXPECT_EQ(rig.handset->Blocks(), ExpectedBlocks());
  EXPECT_EQ(rig.handset->Attaches(), 2u);
}

TEST(HandsetConversation, TwoLinksWithTwoHandsetsRunSideBySide) {
  Rig plain("");
  Rig faulty("crc-bad=2,texts=1");
  auto a = std::async(std::launch::async, [&] { return FlashBounded(plain, false); });
  auto b = std::async(std::launch::async, [&] { return FlashBounded(faulty, false); });
  EXPECT_EQ(a.get(), "");
  EXPECT_EQ(b.get(), "");
  EXPECT_EQ(plain.handset->Blocks(), ExpectedBlocks());
  EXPECT_EQ(faulty.handset->Blocks(), ExpectedBlocks());
  EXPECT_EQ(plain.handset->BlockHeaders(), 4u);
  EXPECT_EQ(faulty.handset->BlockHeaders(), 6u);
  EXPECT_EQ(plain.owner.Lines().size(), 3u);
  EXPECT_EQ(faulty.owner.Lines().size(), 3u + 4u);
}

// A host that breaks the order fails at once on the handset's refusal, and
// every exchange after it fails at once too.
TEST(HandsetConversation, RefusalsMakeTheHostFailPromptly) {
  Rig rig("");
  uint8_t asic[ASIC_ID_SIZE];
  const auto loader = Payload(300, 99);
  ASSERT_EQ(rig.link.BootTarget(loader.data(), 300, asic), 1);
  const auto start = Clock::now();
  const auto data = Payload(100, 5);
  const std::string failures = RunBounded(
      rig,
      [&] {
        std::string seen = rig.link.Download(data.data(), 0x80000000u, 100, DATA_RECORD, 1) ? "" : "download ";
        seen += rig.link.m_device.m_szLastError + std::string(" / ");
        seen += rig.link.SetRamType() ? "" : "ram ";
        return seen + rig.link.m_device.m_szLastError;
      },
      false);
  EXPECT_EQ(failures, std::string("download ") + texts::kNotRecognized + " / ram " + texts::kReadFailed);
  EXPECT_NE(rig.handset->RefusalReason().find("programmer"), std::string::npos);
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
}

}  // namespace
}  // namespace morvak
