#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "ByteOrder.h"
#include "Frame.h"
#include "LinkTexts.h"
#include "RecordingTarget.h"
#include "ScriptedTransport.h"
#include "TargetLink.h"

namespace morvak {
namespace {

using testing::FrameBytes;
using testing::RecordingTarget;
using testing::ScriptedTransport;
using Lines = std::vector<std::string>;

struct BootFixture : ::testing::Test {
  CTargetLink link;
  RecordingTarget owner;
  ScriptedTransport* channel = nullptr;
  std::vector<uint8_t> loader = std::vector<uint8_t>(100, 0xC3);
  uint8_t asic[ASIC_ID_SIZE] = {};

  void SetUp() override {
    auto t = std::make_unique<ScriptedTransport>();
    channel = t.get();
    link.m_device.SetTransport(std::move(t));
    link.m_pOwner = &owner;
  }
  void RomSendsId() {
    std::vector<uint8_t> id(ASIC_ID_SIZE);
    for (size_t i = 0; i < id.size(); ++i) id[i] = static_cast<uint8_t>(i + 1);
    channel->Reply(id);
  }
  // Answers the ping (after the loader's bytes) with `answer`.
  void LoaderAnswers(const Frame& answer) {
    channel->onWrite = [answer](ScriptedTransport& t, const std::vector<uint8_t>& bytes) {
      if (bytes.size() == FRAME_SIZE && UnpackFrame(bytes.data()).code == CMD_PING) t.ReplyFrame(answer);
    };
  }
  int Boot() { return link.BootTarget(loader.data(), static_cast<uint32_t>(loader.size()), asic); }
};

TEST_F(BootFixture, ASuccessfulBootSendsCommandSizeLoaderAndPing) {
  channel->openResults = {OPEN_NO_DEVICE, OPEN_NO_DEVICE};
  RomSendsId();
  LoaderAnswers({COMMAND_MAGIC, REPORT_ACK, 0, 0});
  ASSERT_EQ(Boot(), 1);
  EXPECT_EQ(channel->openCalls, 3);
  EXPECT_EQ(owner.Lines(), (Lines{texts::kWaitingForDevice, texts::kLoadingBootCode}));
  const auto writes = channel->Writes();
  ASSERT_EQ(writes.size(), 4u);
  EXPECT_EQ(writes[0].bytes, (std::vector<uint8_t>{0x02, 0x00, 0x03, 0xF0}));
  EXPECT_EQ(writes[1].bytes, (std::vector<uint8_t>{100, 0, 0, 0}));
  EXPECT_EQ(writes[2].bytes, loader);
  EXPECT_EQ(writes[3].bytes, FrameBytes({COMMAND_MAGIC, CMD_PING, 0, 0}));
  EXPECT_EQ(asic[0], 1);
  EXPECT_EQ(asic[68], 69);
}

TEST_F(BootFixture, AOneByteLoaderWritesFourFourAndOne) {
  loader = {0x90};
  RomSendsId();
  LoaderAnswers({COMMAND_MAGIC, REPORT_ACK, 0, 0});
  ASSERT_EQ(Boot(), 1);
  const auto writes = channel->Writes();
  ASSERT_GE(writes.size(), 3u);
  EXPECT_EQ(writes[0].length, 4u);
  EXPECT_EQ(writes[1].length, 4u);
  EXPECT_EQ(writes[2].length, 1u);
}

TEST_F(BootFixture, ALoaderOver64KiBGoesOutAsOneSplitWrite) {
  loader.assign(70000, 0x11);
  RomSendsId();
  LoaderAnswers({COMMAND_MAGIC, REPORT_ACK, 0, 0});
  ASSERT_EQ(Boot(), 1);
  const auto writes = channel->Writes();
  EXPECT_EQ(writes[2].length, 65536u);
  EXPECT_EQ(writes[3].length, 70000u - 65536u);
}

TEST_F(BootFixture, LengthZeroSaysSoAndDoesNotWait) {
  EXPECT_EQ(link.BootTarget(loader.data(), 0, asic), 0);
  EXPECT_EQ(owner.Lines(), (Lines{texts::kBootFileSize}));
  EXPECT_EQ(channel->openCalls, 0);
}

struct FailureRow {
  const char* name;
  int failWrite;  // -1 none
  bool sendId;
  Frame ping;  // answer to the ping; magic 0 = none
  Lines lines;
};

class BootFailureTest : public BootFixture, public ::testing::WithParamInterface<FailureRow> {};

TEST_P(BootFailureTest, PostsExactlyItsLines) {
  const FailureRow& row = GetParam();
  if (row.sendId) RomSendsId();
  channel->failWriteAt = row.failWrite;
  if (row.ping.magic != 0) LoaderAnswers(row.ping);
  EXPECT_EQ(Boot(), 0);
  Lines expected{texts::kWaitingForDevice, texts::kLoadingBootCode};
  expected.insert(expected.end(), row.lines.begin(), row.lines.end());
  EXPECT_EQ(owner.Lines(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BootFailureTest,
    ::testing::Values(
        FailureRow{"AsicId", -1, false, {}, {texts::kAsicIdFailed}},
        FailureRow{"FlashCommand", 0, true, {}, {texts::kFlashCommandFailed}},
        FailureRow{"SizeCommand", 1, true, {}, {texts::kSizeCommandFailed}},
        FailureRow{"Loader", 2, true, {}, {texts::kBootCodeSendFailed}},
        FailureRow{"PingWrite", 3, true, {}, {texts::kWriteFailed, texts::kBootCodeNotRunning}},
        FailureRow{"PingRead", -1, true, {}, {texts::kReadFailed, texts::kBootCodeNotRunning}},
        FailureRow{"PingWrong", -1, true, {COMMAND_MAGIC, REPORT_CRC, 0, 0},
                   {texts::kNotRecognized, texts::kBootCodeNotRunning}},
        FailureRow{"PingDataMagic", -1, true, {DATA_MAGIC, REPORT_ACK, 0, 0},
                   {texts::kNotRecognized, texts::kBootCodeNotRunning}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(BootFixture, StopWhileWaitingReturnsSilentlyAndClearsTheFlag) {
  channel->openResults.assign(1000000, OPEN_NO_DEVICE);
  std::thread stopper([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    link.m_bCancelWait = 1;
    link.m_device.m_bAbort = 1;
  });
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(Boot(), 0);
  stopper.join();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(500));
  EXPECT_EQ(owner.Lines(), (Lines{texts::kWaitingForDevice}));
  EXPECT_EQ(link.m_bCancelWait.load(), 0);
  EXPECT_EQ(link.m_device.m_bAbort.load(), 1);
}

TEST_F(BootFixture, StopDuringTheConnectingAttemptStillReadsTheIdThenWriteIsRefused) {
  RomSendsId();
  link.m_bCancelWait = 1;  // set before an attempt that connects: the flag is not looked at
  link.m_device.m_bAbort = 1;
  EXPECT_EQ(Boot(), 0);
  EXPECT_EQ(owner.Lines(), (Lines{texts::kWaitingForDevice, texts::kLoadingBootCode, texts::kFlashCommandFailed}));
  EXPECT_TRUE(channel->replies.empty());
}

TEST_F(BootFixture, AProblemTheOperatorCanMendIsSaidOncePerWait) {
  channel->openResults = {OPEN_NOT_CONFIGURED, OPEN_NOT_CONFIGURED, OPEN_NOT_CONFIGURED};
  channel->openProblem = "no ids configured";
  channel->onWrite = nullptr;
  // The problem disappears once the device connects; the test only looks at the wait.
  EXPECT_EQ(Boot(), 0);
  const Lines lines = owner.Lines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], texts::kWaitingForDevice);
  EXPECT_EQ(lines[1], "no ids configured");
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "no ids configured"), 1);
}

}  // namespace
}  // namespace morvak
