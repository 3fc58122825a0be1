#include <gtest/gtest.h>

#include <memory>

#include "Crc16.h"
#include "Frame.h"
#include "LinkTexts.h"
#include "ScriptedTransport.h"
#include "UsbDevice.h"

namespace morvak {
namespace {

using testing::FrameBytes;
using testing::ScriptedTransport;

struct DeviceFixture : ::testing::Test {
  CUsbDevice device;
  ScriptedTransport* channel = nullptr;
  void SetUp() override {
    auto t = std::make_unique<ScriptedTransport>();
    channel = t.get();
    device.SetTransport(std::move(t));
  }
  std::vector<uint32_t> WriteLengths() const {
    std::vector<uint32_t> out;
    for (const auto& t : channel->Writes()) out.push_back(t.length);
    return out;
  }
  std::vector<uint32_t> ReadLengths() const {
    std::vector<uint32_t> out;
    for (const auto& t : channel->transfers)
      if (!t.write) out.push_back(t.length);
    return out;
  }
};

struct ChunkCase {
  uint32_t length;
  std::vector<uint32_t> calls;
};

class ChunkingTest : public DeviceFixture, public ::testing::WithParamInterface<ChunkCase> {};

TEST_P(ChunkingTest, WriteAndReadSplitIntoTransfersOfAtMost64KiB) {
  const ChunkCase& c = GetParam();
  std::vector<uint8_t> data(c.length + 1, 0x5A);
  ASSERT_EQ(device.Write(data.data(), c.length), WRITE_DONE);
  EXPECT_EQ(WriteLengths(), c.calls);
  channel->Reply(std::vector<uint8_t>(c.length, 0x11));
  ASSERT_EQ(device.Read(data.data(), c.length), READ_DONE);
  EXPECT_EQ(ReadLengths(), c.calls);
}

INSTANTIATE_TEST_SUITE_P(Lengths, ChunkingTest,
                         ::testing::Values(ChunkCase{65536, {65536}}, ChunkCase{65537, {65536, 1}},
                                           ChunkCase{131072, {65536, 65536}}, ChunkCase{0, {0}},
                                           ChunkCase{16, {16}}, ChunkCase{200000, {65536, 65536, 65536, 3392}}));

TEST_F(DeviceFixture, AbortRefusesEveryWriteButNoRead) {
  device.m_bAbort = 1;
  uint8_t byte = 0;
  EXPECT_EQ(device.Write(&byte, 1), IO_FAILED);
  EXPECT_EQ(device.Write(&byte, 0), IO_FAILED);
  EXPECT_EQ(channel->writeCalls, 0);
  channel->Reply({7});
  EXPECT_EQ(device.Read(&byte, 1), READ_DONE);
  EXPECT_EQ(byte, 7);
}

TEST_F(DeviceFixture, AbortBetweenChunksStopsBeforeTheNextChunk) {
  channel->onWrite = [this](ScriptedTransport&, const std::vector<uint8_t>&) { device.m_bAbort = 1; };
  std::vector<uint8_t> data(65537);
  EXPECT_EQ(device.Write(data.data(), 65537), IO_FAILED);
  EXPECT_EQ(WriteLengths(), (std::vector<uint32_t>{65536}));
}

TEST_F(DeviceFixture, AFailingChunkEndsTheTransfer) {
  channel->failWriteAt = 0;
  std::vector<uint8_t> data(131072);
  EXPECT_EQ(device.Write(data.data(), 131072), IO_FAILED);
  EXPECT_EQ(channel->writeCalls, 1);
}

TEST(UsbDeviceNoTransport, FindsNothingAndMovesNothing) {
  CUsbDevice device;
  uint8_t b = 0;
  EXPECT_NE(device.Open(), OPEN_CONNECTED);
  EXPECT_EQ(device.Read(&b, 1), IO_FAILED);
  EXPECT_EQ(device.Write(&b, 1), IO_FAILED);
}

// --- Simple exchanges -------------------------------------------------------

struct ExchangeCase {
  const char* name;
  uint32_t code;
  uint32_t expectedReport;
  const char* mismatchText;
  int (*run)(CUsbDevice&);
};

const ExchangeCase kExchanges[] = {
    {"ProbeLoader", CMD_PING, REPORT_ACK, texts::kNotRecognized, [](CUsbDevice& d) { return d.ProbeLoader(); }},
    {"SetRamType", CMD_SET_RAM_TYPE, REPORT_ACK, texts::kReturnedCommand,
     [](CUsbDevice& d) { return d.SetRamType(); }},
};

class ExchangeTest : public DeviceFixture, public ::testing::WithParamInterface<ExchangeCase> {};

TEST_P(ExchangeTest, SendsItsFrameAndAcceptsOnlyTheExpectedReport) {
  const ExchangeCase& c = GetParam();
  channel->ReplyFrame({COMMAND_MAGIC, c.expectedReport, 123, 456});
  EXPECT_EQ(c.run(device), 1);
  EXPECT_EQ(channel->WrittenBytes(), FrameBytes({COMMAND_MAGIC, c.code, 0, 0}));
}

TEST_P(ExchangeTest, FailuresLeaveTheirText) {
  const ExchangeCase& c = GetParam();
  // Wrong magic (the data magic), wrong code: the mismatch text; never retried.
  for (const Frame& answer : {Frame{DATA_MAGIC, c.expectedReport, 0, 0}, Frame{COMMAND_MAGIC, REPORT_CRC, 0, 0}}) {
    SetUp();
    channel->ReplyFrame(answer);
    EXPECT_EQ(c.run(device), 0);
    EXPECT_STREQ(device.m_szLastError, c.mismatchText);
    EXPECT_EQ(channel->writeCalls, 1);
  }
  SetUp();
  EXPECT_EQ(c.run(device), 0);  // no answer comes
  EXPECT_STREQ(device.m_szLastError, texts::kReadFailed);
  SetUp();
  channel->failWriteAt = 0;
  EXPECT_EQ(c.run(device), 0);
  EXPECT_STREQ(device.m_szLastError, texts::kWriteFailed);
}

INSTANTIATE_TEST_SUITE_P(Exchanges, ExchangeTest, ::testing::ValuesIn(kExchanges),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(DeviceFixture, TextStaysUntilTheNextFailure) {
  channel->ReplyFrame({COMMAND_MAGIC, REPORT_ERROR, 0, 0});
  EXPECT_EQ(device.ProbeLoader(), 0);
  channel->ReplyFrame({COMMAND_MAGIC, REPORT_ACK, 0, 0});
  EXPECT_EQ(device.ProbeLoader(), 1);
  EXPECT_STREQ(device.m_szLastError, texts::kNotRecognized);
}

TEST_F(DeviceFixture, SendConfigSendsBothHalvesInOrder) {
  channel->ReplyFrame({COMMAND_MAGIC, REPORT_ACK, 0, 0});
  channel->ReplyFrame({COMMAND_MAGIC, REPORT_ACK, 0, 0});
  EXPECT_EQ(device.SendConfig(1, 2, 3, 4), 1);
  std::vector<uint8_t> expected = FrameBytes({COMMAND_MAGIC, CMD_CONFIG_A, 1, 2});
  const std::vector<uint8_t> b = FrameBytes({COMMAND_MAGIC, CMD_CONFIG_B, 3, 4});
  expected.insert(expected.end(), b.begin(), b.end());
  EXPECT_EQ(channel->WrittenBytes(), expected);
}

TEST_F(DeviceFixture, SendConfigFailingFirstHalfSendsNoSecond) {
  channel->ReplyFrame({COMMAND_MAGIC, REPORT_ERROR, 0, 0});
  EXPECT_EQ(device.SendConfig(1, 2, 3, 4), 0);
  EXPECT_STREQ(device.m_szLastError, texts::kReturnedCommand);
  EXPECT_EQ(channel->writeCalls, 1);
}

TEST_F(DeviceFixture, RunAndEndTransferWriteOneFrameAndReadNothing) {
  EXPECT_EQ(device.RunProgram(), 1);
  EXPECT_EQ(device.EndTransfer(), WRITE_DONE);
  std::vector<uint8_t> expected = FrameBytes({COMMAND_MAGIC, CMD_RUN, 0, 0});
  const std::vector<uint8_t> end = FrameBytes({COMMAND_MAGIC, CMD_END_TRANSFER, 0, 0});
  expected.insert(expected.end(), end.begin(), end.end());
  EXPECT_EQ(channel->WrittenBytes(), expected);
  EXPECT_TRUE(ReadLengths().empty());
  device.m_bAbort = 1;
  std::snprintf(device.m_szLastError, sizeof device.m_szLastError, "untouched");
  EXPECT_EQ(device.EndTransfer(), IO_FAILED);
  EXPECT_STREQ(device.m_szLastError, "untouched");
  EXPECT_EQ(device.RunProgram(), 0);
  EXPECT_STREQ(device.m_szLastError, texts::kWriteFailed);
}

TEST(FrameTest, PacksLittleEndianAsOnTheWire) {
  EXPECT_EQ(FrameBytes({COMMAND_MAGIC, CMD_PING, 0, 0}),
            (std::vector<uint8_t>{0xF9, 0xFB, 0xFD, 0xFF, 0, 0, 0x30, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(FrameBytes({DATA_MAGIC, DATA_RAW, 0, 65536}),
            (std::vector<uint8_t>{0xFF, 0xFD, 0xFB, 0xF9, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0}));
  const Frame f{0x01020304, 0xA0B0C0D0, 7, 0xFFFFFFFF};
  const std::vector<uint8_t> bytes = FrameBytes(f);
  EXPECT_EQ(UnpackFrame(bytes.data()), f);
}

// --- SendBlock ------------------------------------------------------------------

struct BlockFixture : DeviceFixture {
  std::vector<uint8_t> payload = std::vector<uint8_t>(1000);
  uint32_t crc = 0;
  int crcQueries = 0;
  int headers = 0;
  // The handset answers every header+payload with an ACK, and each CRC query
  // from this list in turn (true: the right CRC).
  void Answer(std::vector<bool> crcRight) {
    for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i * 7 + 1);
    crc = Crc16(payload.data(), payload.size());
    channel->onWrite = [this, crcRight](ScriptedTransport& t, const std::vector<uint8_t>& bytes) {
      if (bytes.size() != FRAME_SIZE) {  // the payload
        t.ReplyFrame({COMMAND_MAGIC, REPORT_ACK, 0, 0});
        return;
      }
      const Frame f = UnpackFrame(bytes.data());
      if (f.magic == DATA_MAGIC) ++headers;
      if (f.magic == COMMAND_MAGIC && f.code == CMD_GET_CRC) {
        const bool right = static_cast<size_t>(crcQueries) < crcRight.size() && crcRight[static_cast<size_t>(crcQueries)];
        ++crcQueries;
        t.ReplyFrame({COMMAND_MAGIC, REPORT_CRC, right ? crc : crc ^ 1u, 0});
      }
    };
  }
};

TEST_F(BlockFixture, FourMismatchesMeanFourTransmissionsAndFourQueries) {
  Answer({false, false, false, false, true});
  EXPECT_EQ(device.SendBlock(0x1000, 1000, payload.data(), DATA_RECORD, 1), 0);
  EXPECT_STREQ(device.m_szLastError, texts::kCrcFailure);
  EXPECT_EQ(headers, 4);
  EXPECT_EQ(crcQueries, 4);
}

TEST_F(BlockFixture, AMatchOnTheFourthAttemptSucceeds) {
  Answer({false, false, false, true});
  EXPECT_EQ(device.SendBlock(0x1000, 1000, payload.data(), DATA_RECORD, 1), 1);
  EXPECT_EQ(headers, 4);
  const auto writes = channel->Writes();
  ASSERT_GE(writes.size(), 2u);
  EXPECT_EQ(writes[0].bytes, FrameBytes({DATA_MAGIC, DATA_RECORD, 0x1000, 1000}));
  EXPECT_EQ(writes[1].bytes, payload);
}

// The payload count moves chunk by chunk, counts a block sent again once,
// and leaves out the programmer (not image payload).
TEST_F(BlockFixture, ThePayloadCountCountsEachImageByteOnce) {
  std::vector<uint64_t> reports;
  device.OnPayloadSent([&reports](uint64_t sent) { reports.push_back(sent); });
  Answer({false, true});
  EXPECT_EQ(device.SendBlock(0x1000, 1000, payload.data(), DATA_RECORD, 1), 1);
  EXPECT_EQ(reports, std::vector<uint64_t>{1000});
  payload.assign(MAX_TRANSFER_SIZE + 10, 3);
  Answer({true});
  EXPECT_EQ(device.SendBlock(0, MAX_TRANSFER_SIZE + 10, payload.data(), DATA_RAW, 0), 1);
  EXPECT_EQ(reports, (std::vector<uint64_t>{1000, 1000 + MAX_TRANSFER_SIZE, 1000 + MAX_TRANSFER_SIZE + 10}));
  EXPECT_EQ(device.SendBlock(0, 100, payload.data(), DATA_PROGRAM, 0), 1);
  EXPECT_EQ(device.PayloadSent(), 1000u + MAX_TRANSFER_SIZE + 10);
  device.ResetPayloadCount();
  EXPECT_EQ(device.PayloadSent(), 0u);
}

TEST_F(BlockFixture, NoChecksumQueryWhenTheFlagIsZero) {
  Answer({});
  EXPECT_EQ(device.SendBlock(0, 1000, payload.data(), DATA_RAW, 0), 1);
  EXPECT_EQ(crcQueries, 0);
  EXPECT_EQ(channel->writeCalls, 2);
}

TEST_F(BlockFixture, HighBitsInTheAnsweredChecksumAreAMismatch) {
  Answer({});
  channel->onWrite = [this](ScriptedTransport& t, const std::vector<uint8_t>& bytes) {
    if (bytes.size() != FRAME_SIZE) return t.ReplyFrame({COMMAND_MAGIC, REPORT_ACK, 0, 0});
    const Frame f = UnpackFrame(bytes.data());
    if (f.code == CMD_GET_CRC) {
      ++crcQueries;
      t.ReplyFrame({COMMAND_MAGIC, REPORT_CRC, crc | 0x10000u, 0});
    }
  };
  EXPECT_EQ(device.SendBlock(0, 1000, payload.data(), DATA_RAW, 1), 0);
  EXPECT_EQ(crcQueries, 4);
}

TEST_F(BlockFixture, AWrongAnswerIsNeverRetried) {
  Answer({});
  channel->onWrite = [](ScriptedTransport& t, const std::vector<uint8_t>& bytes) {
    if (bytes.size() != FRAME_SIZE) t.ReplyFrame({DATA_MAGIC, REPORT_ACK, 0, 0});
  };
  EXPECT_EQ(device.SendBlock(0, 1000, payload.data(), DATA_RAW, 1), 0);
  EXPECT_STREQ(device.m_szLastError, texts::kNotRecognized);
  EXPECT_EQ(channel->writeCalls, 2);

  SetUp();
  Answer({});
  channel->onWrite = [](ScriptedTransport& t, const std::vector<uint8_t>& bytes) {
    if (bytes.size() != FRAME_SIZE) return t.ReplyFrame({COMMAND_MAGIC, REPORT_ACK, 0, 0});
    if (UnpackFrame(bytes.data()).code == CMD_GET_CRC) t.ReplyFrame({COMMAND_MAGIC, REPORT_ACK, 0, 0});
  };
  EXPECT_EQ(device.SendBlock(0, 1000, payload.data(), DATA_RAW, 1), 0);
  EXPECT_STREQ(device.m_szLastError, texts::kReturnedCommand);
  EXPECT_EQ(channel->writeCalls, 3);
}

TEST_F(BlockFixture, AnEmptyBlockSendsAnEmptyPayloadAndChecksumFFFF) {
  uint32_t asked = 0;
  channel->onWrite = [&asked](ScriptedTransport& t, const std::vector<uint8_t>& bytes) {
    if (bytes.empty()) return t.ReplyFrame({COMMAND_MAGIC, REPORT_ACK, 0, 0});
    if (UnpackFrame(bytes.data()).code == CMD_GET_CRC) {
      ++asked;
      t.ReplyFrame({COMMAND_MAGIC, REPORT_CRC, 0xFFFF, 0});
    }
  };
  EXPECT_EQ(device.SendBlock(0, 0, nullptr, DATA_RAW, 1), 1);
  EXPECT_EQ(asked, 1u);
  EXPECT_EQ(WriteLengths(), (std::vector<uint32_t>{16, 0, 16}));
}

TEST_F(BlockFixture, StopRefusesTheBlock) {
  Answer({true});
  device.m_bAbort = 1;
  EXPECT_EQ(device.SendBlock(0, 1000, payload.data(), DATA_RAW, 1), 0);
  EXPECT_STREQ(device.m_szLastError, texts::kWriteFailed);
  EXPECT_EQ(channel->writeCalls, 0);
}

}  // namespace
}  // namespace morvak
