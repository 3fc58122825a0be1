// A target that answers short, or not at all, where a frame (or the ASIC ID,
// or a text's bytes) is expected: every exchange fails with its own line at
// the answer that falls short, reads nothing past what it asked for, and
// sends nothing more.
#include <gtest/gtest.h>

#include <functional>

#include "Crc16.h"
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

const std::vector<uint8_t> kPayload(300, 0xA5);

// One exchange of the link: the answers a good target gives, in order, and
// what the link shows when the answer `cut` falls short.
struct ShortCase {
  const char* name;
  std::vector<std::vector<uint8_t>> answers;
  std::function<int(CTargetLink&)> operation;
  std::function<Lines(size_t cut)> lines;
  std::function<std::string(size_t cut)> lastError;  // m_szLastError afterwards; null: not looked at
};

std::vector<uint8_t> Ack() { return FrameBytes({COMMAND_MAGIC, REPORT_ACK, 0, 0}); }

std::vector<ShortCase> Cases() {
  const uint8_t loader[4] = {1, 2, 3, 4};
  const Frame crc{COMMAND_MAGIC, REPORT_CRC, Crc16(kPayload.data(), kPayload.size()), 0};
  const std::string text = "0123456789";
  std::vector<uint8_t> textBytes(text.begin(), text.end());
  return {
      {"BootTarget",
       {std::vector<uint8_t>(ASIC_ID_SIZE, 0x11), Ack()},
       [loader](CTargetLink& link) {
         uint8_t id[ASIC_ID_SIZE];
         return link.BootTarget(loader, sizeof loader, id);
       },
       [](size_t cut) {
         Lines l = {texts::kWaitingForDevice, texts::kLoadingBootCode};
         if (cut == 0) {
           l.push_back(texts::kAsicIdFailed);
         } else {
           l.insert(l.end(), {texts::kReadFailed, texts::kBootCodeNotRunning});
         }
         return l;
       },
       nullptr},
      {"SetRamType",
       {Ack()},
       [](CTargetLink& link) { return link.SetRamType(); },
       [](size_t) { return Lines{texts::kSettingRamType, texts::kRamTypeFailed}; },
       [](size_t) { return std::string(texts::kReadFailed); }},
      {"DownloadWithChecksum",
       {Ack(), FrameBytes(crc)},
       [](CTargetLink& link) {
         return link.Download(kPayload.data(), 0x1000, static_cast<uint32_t>(kPayload.size()), DATA_RECORD, 1);
       },
       [](size_t) { return Lines{texts::kReadFailed}; },
       [](size_t) { return std::string(texts::kReadFailed); }},
      {"SendConfig",
       {Ack(), Ack()},
       [](CTargetLink& link) { return link.SendConfig(1, 2, 3, 4); },
       [](size_t) { return Lines{}; },
       [](size_t) { return std::string(texts::kReadFailed); }},
      {"WaitReport",
       {FrameBytes({COMMAND_MAGIC, REPORT_RANGE, 8, 0}), FrameBytes({DATA_MAGIC, DATA_TEXT, 0, 10}), textBytes,
        FrameBytes({COMMAND_MAGIC, REPORT_PROGRESS, 8, 0}), Ack()},
       [](CTargetLink& link) { return link.WaitReport(); },
       [text](size_t cut) {
         // The text is shown once its bytes are all there.
         return cut >= 3 ? Lines{text, texts::kReadUsbFailed} : Lines{texts::kReadUsbFailed};
       },
       nullptr},
  };
}

struct ShortAnswerTest : ::testing::TestWithParam<ShortCase> {};

TEST_P(ShortAnswerTest, FailsAtTheAnswerThatFallsShort) {
  const ShortCase& c = GetParam();
  for (size_t cut = 0; cut < c.answers.size(); ++cut) {
    const size_t length = c.answers[cut].size();
    for (const size_t kept : {size_t{0}, size_t{1}, length / 2, length - 1}) {
      SCOPED_TRACE("answer " + std::to_string(cut) + " cut to " + std::to_string(kept) + " bytes");
      CTargetLink link;
      RecordingTarget owner;
      link.m_pOwner = &owner;
      auto owned = std::make_unique<ScriptedTransport>();
      ScriptedTransport* channel = owned.get();
      link.m_device.SetTransport(std::move(owned));
      for (size_t i = 0; i < cut; ++i) channel->Reply(c.answers[i]);
      channel->Reply(std::vector<uint8_t>(c.answers[cut].begin(), c.answers[cut].begin() + static_cast<long>(kept)));

      EXPECT_EQ(c.operation(link), 0);
      EXPECT_EQ(owner.Lines(), c.lines(cut));
      if (c.lastError) {
        EXPECT_STREQ(link.m_device.m_szLastError, c.lastError(cut).c_str());
      }
      // The short answer is the last transfer: nothing is asked again and
      // nothing more is sent, and no read asked for more than one answer.
      ASSERT_FALSE(channel->transfers.empty());
      const testing::Transfer& last = channel->transfers.back();
      EXPECT_FALSE(last.write);
      EXPECT_EQ(last.length, length);
      EXPECT_TRUE(last.bytes.empty());
      for (const testing::Transfer& t : channel->transfers) {
        EXPECT_TRUE(t.write || t.length <= ASIC_ID_SIZE) << t.length;
      }
      // What was left of the short answer stays unread.
      EXPECT_EQ(channel->replies.size(), kept);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Exchanges, ShortAnswerTest, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<ShortCase>& p) { return std::string(p.param.name); });

// Zero-length texts are texts too: an empty line, and the wait goes on.
TEST(ShortAnswers, AnEmptyTextIsAnEmptyLineAndTheWaitGoesOn) {
  CTargetLink link;
  RecordingTarget owner;
  link.m_pOwner = &owner;
  auto owned = std::make_unique<ScriptedTransport>();
  ScriptedTransport* channel = owned.get();
  link.m_device.SetTransport(std::move(owned));
  channel->ReplyFrame({DATA_MAGIC, DATA_TEXT, 0, 0});
  channel->ReplyFrame({COMMAND_MAGIC, REPORT_ACK, 0, 0});
  EXPECT_EQ(link.WaitReport(), 1);
  EXPECT_EQ(owner.Lines(), Lines{""});
}

}  // namespace
}  // namespace morvak
