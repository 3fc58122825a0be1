#include <gtest/gtest.h>

#include <cstring>

#include "Frame.h"
#include "LinkTexts.h"
#include "RecordingTarget.h"
#include "ScriptedTransport.h"
#include "TargetLink.h"

namespace morvak {
namespace {

using testing::RecordedEvent;
using testing::RecordingTarget;
using testing::RunEventKind;
using testing::ScriptedTransport;
using Lines = std::vector<std::string>;

struct LinkFixture : ::testing::Test {
  CTargetLink link;
  RecordingTarget owner;
  ScriptedTransport* channel = nullptr;
  void SetUp() override {
    auto t = std::make_unique<ScriptedTransport>();
    channel = t.get();
    link.m_device.SetTransport(std::move(t));
    link.m_pOwner = &owner;
  }
  void Text(const std::string& bytes, uint32_t announced) {
    channel->ReplyFrame({DATA_MAGIC, DATA_TEXT, 0, announced});
    channel->Reply(std::vector<uint8_t>(bytes.begin(), bytes.end()));
  }
};

TEST_F(LinkFixture, WaitReportRelaysTextsAndProgressUntilDone) {
  channel->ReplyFrame({COMMAND_MAGIC, REPORT_PROGRESS, 3, 0});  // progress before any range
  Text(std::string("Erasing\0junk", 12), 12);
  channel->ReplyFrame({COMMAND_MAGIC, REPORT_RANGE, 10, 0});
  channel->ReplyFrame({DATA_MAGIC, DATA_RAW, 0, 99});              // a bare header, skipped
  channel->ReplyFrame({COMMAND_MAGIC, REPORT_CRC, 5, 0});           // ignored
  channel->ReplyFrame({COMMAND_MAGIC, 0x77777777u, 5, 0});          // unknown code, ignored
  channel->ReplyFrame({0x12345678u, REPORT_ACK, 0, 0});             // unknown magic, ignored
  Text("Hi", 2);  // shorter than the text before it: shows only its own bytes
  channel->ReplyFrame({COMMAND_MAGIC, REPORT_ACK, 0, 0});
  channel->ReplyFrame({COMMAND_MAGIC, REPORT_ACK, 0, 0});  // not read: WaitReport ends at the first
  EXPECT_EQ(link.WaitReport(), 1);
  const std::vector<RecordedEvent> m = owner.Messages();
  ASSERT_EQ(m.size(), 4u);
  EXPECT_EQ(m[0].kind, RunEventKind::kProgressPosition);
  EXPECT_EQ(m[0].value, 3u);
  EXPECT_EQ(m[1].text, "Erasing");
  EXPECT_EQ(m[2].kind, RunEventKind::kProgressRange);
  EXPECT_EQ(m[2].value, 10u);
  EXPECT_EQ(m[3].text, "Hi");
  EXPECT_EQ(channel->replies.size(), FRAME_SIZE);
}

TEST_F(LinkFixture, LongTextsAreReadWholeSoTheNextFrameIsReadInStep) {
  for (uint32_t length : {255u, 256u, 300u, 70000u}) {
    SetUp();
    owner.Clear();
    Text(std::string(length, 'x'), length);
    channel->ReplyFrame({COMMAND_MAGIC, REPORT_ACK, 0, 0});
    EXPECT_EQ(link.WaitReport(), 1) << length;
    const Lines lines = owner.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], std::string(255, 'x'));
    EXPECT_TRUE(channel->replies.empty());
  }
}

TEST_F(LinkFixture, ErrorReportShowsASignedCodeInALineAndABox) {
  channel->ReplyFrame({COMMAND_MAGIC, REPORT_ERROR, 0xFFFFFFFFu, 0});
  EXPECT_EQ(link.WaitReport(), 0);
  EXPECT_EQ(owner.Lines(), (Lines{"Flash Firmware Error occurred:  code -1"}));
  EXPECT_EQ(owner.Boxes(), (Lines{"Flash Firmware Error occurred:  code -1"}));
}

TEST_F(LinkFixture, AFailedReadEndsTheWait) {
  EXPECT_EQ(link.WaitReport(), 0);
  EXPECT_EQ(owner.Lines(), (Lines{texts::kReadUsbFailed}));
  SetUp();
  owner.Clear();
  channel->ReplyFrame({DATA_MAGIC, DATA_TEXT, 0, 10});
  channel->Reply({'a', 'b'});  // the text's payload never completes
  EXPECT_EQ(link.WaitReport(), 0);
  EXPECT_EQ(owner.Lines(), (Lines{texts::kReadUsbFailed}));
}

TEST_F(LinkFixture, StopDoesNotAffectWaitReport) {
  link.m_device.m_bAbort = 1;
  link.m_bCancelWait = 1;
  channel->ReplyFrame({COMMAND_MAGIC, REPORT_ACK, 0, 0});
  EXPECT_EQ(link.WaitReport(), 1);
}

struct OperationRow {
  const char* name;
  int (*run)(CTargetLink&);
  Lines before;     // posted before the exchange
  Lines onFailure;  // posted when the answer is wrong
};

const OperationRow kOperations[] = {
    {"SetRamType", [](CTargetLink& l) { return l.SetRamType(); }, {texts::kSettingRamType}, {texts::kRamTypeFailed}},
    {"SendConfig", [](CTargetLink& l) { return l.SendConfig(1, 2, 3, 4); }, {}, {}},
    {"Download",
     [](CTargetLink& l) {
       const uint8_t data[4] = {1, 2, 3, 4};
       return l.Download(data, 0, 4, DATA_RAW, 0);
     },
     {},
     {texts::kNotRecognized}},
};

class OperationTest : public LinkFixture, public ::testing::WithParamInterface<OperationRow> {};

TEST_P(OperationTest, SucceedsQuietlyAndFailsWithItsLines) {
  const OperationRow& row = GetParam();
  channel->ReplyFrame({COMMAND_MAGIC, REPORT_ACK, 0, 0});
  channel->ReplyFrame({COMMAND_MAGIC, REPORT_ACK, 0, 0});
  EXPECT_EQ(row.run(link), 1);
  EXPECT_EQ(owner.Lines(), row.before);
  SetUp();
  owner.Clear();
  channel->ReplyFrame({COMMAND_MAGIC, REPORT_ERROR, 0, 0});
  EXPECT_EQ(row.run(link), 0);
  Lines expected = row.before;
  expected.insert(expected.end(), row.onFailure.begin(), row.onFailure.end());
  EXPECT_EQ(owner.Lines(), expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, OperationTest, ::testing::ValuesIn(kOperations),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(LinkFixture, AfterStopEveryWritingOperationFailsWithItsLine) {
  link.m_device.m_bAbort = 1;
  const uint8_t data[1] = {0};
  EXPECT_EQ(link.Download(data, 0, 1, DATA_RAW, 1), 0);
  EXPECT_EQ(link.RunProgram(), 0);
  EXPECT_EQ(link.SendConfig(0, 0, 0, 0), 0);
  EXPECT_EQ(link.EndTransfer(), IO_FAILED);
  EXPECT_EQ(owner.Lines(), (Lines{texts::kWriteFailed, texts::kRunFailed}));
  EXPECT_EQ(channel->writeCalls, 0);
}

TEST(TargetLinkOwner, NoOwnerPostsNothingAndDoesNotCrash) {
  CTargetLink link;
  link.PostStatus("nobody listens");
  uint8_t id[ASIC_ID_SIZE];
  const uint8_t loader[1] = {0};
  EXPECT_EQ(link.BootTarget(loader, 0, id), 0);
}

}  // namespace
}  // namespace morvak
