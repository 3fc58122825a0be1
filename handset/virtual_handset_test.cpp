#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>

#include "HandsetContent.h"
#include "Transport.h"
#include "VirtualHandset.h"
#include "handset_test_support.h"

namespace morvak {
namespace {

using handset_test::CrcOf;
using handset_test::Frames;
using handset_test::HostScript;
using handset_test::Payload;
using handset_test::TakeAll;

FaultPlan Faults(const char* text) {
  FaultPlan plan;
  std::string error;
  EXPECT_TRUE(ParseFaultPlan(text, plan, error)) << error;
  return plan;
}

const Frame kAck{COMMAND_MAGIC, REPORT_ACK, 0, 0};

Frame Crc(uint16_t crc) { return {COMMAND_MAGIC, REPORT_CRC, crc, 0}; }

TEST(VirtualHandsetRom, SendsItsAsicIdUnaskedOnceAttached) {
  VirtualHandset handset;
  handset.HostWrote(HostScript().Cmd(CMD_PING).bytes.data(), FRAME_SIZE);  // not powered: ignored
  EXPECT_EQ(handset.Pending(), 0u);
  EXPECT_EQ(handset.Stage(), HandsetStage::Off);

  handset.Attach();
  EXPECT_EQ(handset.Stage(), HandsetStage::BootRom);
  const std::vector<uint8_t> id = TakeAll(handset);
  ASSERT_EQ(id.size(), VIRTUAL_ASIC_ID_SIZE);
  uint8_t expected[VIRTUAL_ASIC_ID_SIZE];
  VirtualAsicId(expected);
  EXPECT_EQ(0, std::memcmp(id.data(), expected, sizeof expected));
  EXPECT_EQ(0, std::memcmp(id.data(), "VHND", 4));
  EXPECT_EQ(LoadLE16(id.data() + 67), Crc16(id.data(), 67));
}

TEST(VirtualHandsetRom, TakesCommandLengthAndProgramThenTheLoaderAnswersThePing) {
  VirtualHandset handset;
  handset.Attach();
  TakeAll(handset);
  const auto script = HostScript().Rom(1).Cmd(CMD_PING).bytes;
  handset.HostWrote(script.data(), 9);
  EXPECT_EQ(handset.Stage(), HandsetStage::Loader);
  EXPECT_EQ(handset.Pending(), 0u);  // the loader starts silently
  EXPECT_EQ(handset.LoaderLength(), 1u);
  EXPECT_EQ(handset.LoaderCrc(), CrcOf(Payload(1, 99)));
  handset.HostWrote(script.data() + 9, script.size() - 9);
  EXPECT_EQ(Frames(TakeAll(handset)), std::vector<Frame>{kAck});
}

TEST(VirtualHandsetRun, AWholeRunIsAnsweredAndRecorded) {
  VirtualHandset handset;
  handset.Attach();
  const auto script = HostScript().WholeRun().bytes;
  handset.HostWrote(script.data(), script.size());
  const auto frames = Frames(TakeAll(handset), VIRTUAL_ASIC_ID_SIZE);
  const auto blocks = handset_test::WholeRunBlocks();
  std::vector<Frame> expected = {kAck, kAck, kAck, Crc(blocks[0].crc), kAck, kAck, kAck};
  for (size_t i = 1; i < blocks.size(); ++i) {
    const uint32_t n = blocks[i].length;
    for (const Frame& f : std::vector<Frame>{kAck, Crc(blocks[i].crc), {COMMAND_MAGIC, REPORT_RANGE, n, 0},
                                             {COMMAND_MAGIC, REPORT_PROGRESS, n / 4, 0},
                                             {COMMAND_MAGIC, REPORT_PROGRESS, n / 2, 0},
                                             {COMMAND_MAGIC, REPORT_PROGRESS, n * 3 / 4, 0},
                                             {COMMAND_MAGIC, REPORT_PROGRESS, n, 0}, kAck})
      expected.push_back(f);
  }
  EXPECT_EQ(frames, expected);
  EXPECT_EQ(handset.Blocks(), blocks);
  EXPECT_EQ(handset.Stage(), HandsetStage::Finished);
  EXPECT_EQ(handset.ConfigWords(), (std::array<uint32_t, 4>{5000, 7, 64, 1}));
  EXPECT_EQ(handset.RunCommands(), 4u);
  EXPECT_TRUE(handset.RefusalReason().empty());
  EXPECT_EQ(handset.HostBytes(), script.size());
}

// The handset frames by lengths: however the host's bytes are split, the
// answers and the record are the same.
TEST(VirtualHandsetRun, EverySplitOfTheHostBytesGivesTheSameAnswers) {
  const auto script = HostScript().WholeRun().bytes;
  VirtualHandset whole;
  whole.Attach();
  whole.HostWrote(script.data(), script.size());
  const auto reference = TakeAll(whole);

  // Two pieces, cut at every offset.
  for (size_t cut = 0; cut <= script.size(); ++cut) {
    VirtualHandset handset;
    handset.Attach();
    handset.HostWrote(script.data(), cut);
    handset.HostWrote(script.data() + cut, script.size() - cut);
    ASSERT_EQ(TakeAll(handset), reference) << "cut at " << cut;
    ASSERT_EQ(handset.Blocks(), whole.Blocks()) << "cut at " << cut;
  }
  // One byte at a time, and in pieces of every length up to two frames.
  for (size_t piece = 1; piece <= 2 * FRAME_SIZE + 1; ++piece) {
    VirtualHandset handset;
    handset.Attach();
    for (size_t at = 0; at < script.size(); at += piece)
      handset.HostWrote(script.data() + at, std::min(piece, script.size() - at));
    ASSERT_EQ(TakeAll(handset), reference) << "pieces of " << piece;
  }
}

TEST(VirtualHandsetRun, AResendAfterACrcMismatchReplacesTheBlockItRepeats) {
  VirtualHandset handset(Faults("crc-bad=2"));
  handset.Attach();
  auto script = HostScript().ToLoader().Cmd(CMD_PING).Cmd(CMD_SET_RAM_TYPE);
  for (int attempt = 0; attempt < 3; ++attempt)
    script.Block(DATA_PROGRAM, VIRTUAL_PROGRAMMER_ADDRESS, 2000, 1).Cmd(CMD_GET_CRC);
  script.Cmd(CMD_RUN);
  handset.HostWrote(script.bytes.data(), script.bytes.size());
  const uint16_t crc = CrcOf(Payload(2000, 1));
  const uint16_t wrong = static_cast<uint16_t>(crc ^ 0xFFFF);
  EXPECT_EQ(Frames(TakeAll(handset), VIRTUAL_ASIC_ID_SIZE),
            (std::vector<Frame>{kAck, kAck, kAck, Crc(wrong), kAck, Crc(wrong), kAck, Crc(crc), kAck}));
  EXPECT_EQ(handset.Blocks(), (std::vector<BlockRecord>{{DATA_PROGRAM, VIRTUAL_PROGRAMMER_ADDRESS, 2000, crc}}));
  EXPECT_EQ(handset.BlockHeaders(), 3u);
  EXPECT_EQ(handset.Stage(), HandsetStage::Programmer);
}

TEST(VirtualHandsetRun, AnEmptyBlockIsAcknowledgedAtOnceWithTheEmptyChecksum) {
  VirtualHandset handset;
  handset.Attach();
  const auto script = HostScript().Configured().Block(DATA_RAW, 0, 0, 0).Cmd(CMD_GET_CRC).bytes;
  handset.HostWrote(script.data(), script.size());
  const auto frames = Frames(TakeAll(handset), VIRTUAL_ASIC_ID_SIZE);
  ASSERT_GE(frames.size(), 2u);
  EXPECT_EQ(frames[frames.size() - 2], kAck);
  EXPECT_EQ(frames.back(), Crc(0xFFFF));
}

TEST(VirtualHandsetRun, TextsComeBeforeTheReportsOfEveryRun) {
  VirtualHandset handset(Faults("texts=3"));
  handset.Attach();
  const auto script = HostScript().ToProgrammer().bytes;
  handset.HostWrote(script.data(), script.size());
  const auto reply = TakeAll(handset);
  // ASIC ID, ping, RAM, block, CRC acknowledged; then the programmer start.
  size_t at = VIRTUAL_ASIC_ID_SIZE + 4 * FRAME_SIZE;
  for (uint32_t i = 0; i < 3; ++i) {
    const std::string text = VirtualTextReport(1, i);
    ASSERT_LE(at + FRAME_SIZE + text.size(), reply.size());
    EXPECT_EQ(UnpackFrame(reply.data() + at), (Frame{DATA_MAGIC, DATA_TEXT, 0, static_cast<uint32_t>(text.size())}));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(reply.data() + at + FRAME_SIZE), text.size()), text);
    at += FRAME_SIZE + text.size();
  }
  ASSERT_EQ(reply.size(), at + FRAME_SIZE);
  EXPECT_EQ(UnpackFrame(reply.data() + at), kAck);
}

TEST(VirtualHandsetContent, TextReportsReachThreeHundredBytesAndTheFirstHidesATail) {
  const std::string first = VirtualTextReport(2, 0);
  EXPECT_EQ(first.size(), 40u);
  EXPECT_EQ(std::string(first.c_str()), "Programmer run 2, message 1");
  EXPECT_EQ(VirtualTextReport(2, 1).size(), MAX_TEXT_REPORT);
  EXPECT_EQ(VirtualTextReport(2, 1).find('\0'), std::string::npos);
  EXPECT_EQ(VirtualTextReport(1, 3).size(), 256u);
  EXPECT_EQ(VirtualTextReport(1, 4).size(), 1u);
  EXPECT_EQ(VirtualTextReport(7, 5), VirtualTextReport(7, 5));
}

struct ErrorCase {
  const char* faults;
  int scriptEnd;  // 1: up to the programmer start, 2: up to the raw part's run
  uint32_t code;
  HandsetStage stage;
};

class VirtualHandsetErrorRun : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(VirtualHandsetErrorRun, TheChosenRunEndsInItsErrorReport) {
  VirtualHandset handset(Faults(GetParam().faults));
  handset.Attach();
  auto script = HostScript().ToProgrammer();
  if (GetParam().scriptEnd == 2)
    script.Cmd(CMD_CONFIG_A).Cmd(CMD_CONFIG_B).Block(DATA_RAW, 0, 100, 5).Cmd(CMD_RUN);
  handset.HostWrote(script.bytes.data(), script.bytes.size());
  const auto frames = Frames(TakeAll(handset), VIRTUAL_ASIC_ID_SIZE);
  ASSERT_FALSE(frames.empty());
  EXPECT_EQ(frames.back(), (Frame{COMMAND_MAGIC, REPORT_ERROR, GetParam().code, 0}));
  EXPECT_EQ(handset.Stage(), GetParam().stage);
  EXPECT_FALSE(handset.Stalled());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, VirtualHandsetErrorRun,
    ::testing::Values(ErrorCase{"error=5@1", 1, 5, HandsetStage::Loader},
                      ErrorCase{"error=-7@2", 2, 0xFFFFFFF9u, HandsetStage::Programmer},
                      ErrorCase{"error=0xFFFFFFFF@2,texts=2", 2, 0xFFFFFFFFu, HandsetStage::Programmer},
                      ErrorCase{"error=0@2", 2, 0, HandsetStage::Programmer}));

// Faults that refuse without halting: the handset answers later commands.
TEST(VirtualHandsetFaults, AFaultRefusalLeavesTheHandsetRunning) {
  VirtualHandset handset(Faults("ram-refuse,ping-bad"));
  handset.Attach();
  const auto script = HostScript().ToLoader().Cmd(CMD_PING).Cmd(CMD_SET_RAM_TYPE).Cmd(CMD_PING).bytes;
  handset.HostWrote(script.data(), script.size());
  EXPECT_EQ(Frames(TakeAll(handset), VIRTUAL_ASIC_ID_SIZE),
            (std::vector<Frame>{{DATA_MAGIC, REPORT_ACK, 0, 0},
                                {COMMAND_MAGIC, REPORT_ERROR, FAULT_REFUSED, 0},
                                {DATA_MAGIC, REPORT_ACK, 0, 0}}));
  EXPECT_EQ(handset.Stage(), HandsetStage::Loader);
  EXPECT_NE(handset.RefusalReason().find("ram-refuse"), std::string::npos);
}

TEST(VirtualHandsetFaults, ConfigRefusalsHitTheirOwnCommand) {
  for (const char* faults : {"config-refuse=a", "config-refuse=b"}) {
    VirtualHandset handset(Faults(faults));
    handset.Attach();
    const auto script = HostScript().Configured().bytes;
    handset.HostWrote(script.data(), script.size());
    const auto frames = Frames(TakeAll(handset), VIRTUAL_ASIC_ID_SIZE);
    ASSERT_EQ(frames.size(), 7u);
    const bool a = faults[sizeof "config-refuse=" - 1] == 'a';
    EXPECT_EQ(frames[5].code, a ? REPORT_ERROR : REPORT_ACK) << faults;
    EXPECT_EQ(frames[6].code, REPORT_ERROR) << faults;  // B without an accepted A is out of order too
  }
}

struct HangCase {
  const char* faults;
  HostScript (*script)();
  size_t framesBefore;  // answer frames after the ASIC ID that still come
};

class VirtualHandsetHang : public ::testing::TestWithParam<HangCase> {};

TEST_P(VirtualHandsetHang, TheReplyAtThePointNeverComesAndNothingAfterIt) {
  VirtualHandset handset(Faults(GetParam().faults));
  handset.Attach();
  auto script = GetParam().script();
  script.Cmd(CMD_PING);  // acted on by no hung handset
  handset.HostWrote(script.bytes.data(), script.bytes.size());
  EXPECT_TRUE(handset.Hung());
  EXPECT_FALSE(handset.Stalled());
  const auto reply = TakeAll(handset);
  const size_t asic = GetParam().framesBefore == SIZE_MAX ? 0 : VIRTUAL_ASIC_ID_SIZE;
  EXPECT_EQ(Frames(reply, asic).size(), GetParam().framesBefore == SIZE_MAX ? 0 : GetParam().framesBefore);
  EXPECT_EQ(handset.HostBytes(), script.bytes.size());
}

INSTANTIATE_TEST_SUITE_P(
    Points, VirtualHandsetHang,
    ::testing::Values(HangCase{"hang=asic", [] { return HostScript(); }, SIZE_MAX},
                      HangCase{"hang=ping", [] { return HostScript().ToLoader().Cmd(CMD_PING); }, 0},
                      HangCase{"hang=ram", [] { return HostScript().ToLoader().Cmd(CMD_PING).Cmd(CMD_SET_RAM_TYPE); }, 1},
                      HangCase{"hang=ack", [] { return HostScript().ToProgrammer(); }, 2},
                      HangCase{"hang=ack:2", [] { return HostScript().Configured().Block(DATA_RAW, 0, 9, 1); }, 7},
                      HangCase{"hang=crc", [] { return HostScript().ToProgrammer(); }, 3},
                      HangCase{"hang=config", [] { return HostScript().Configured(); }, 5},
                      HangCase{"hang=config:2", [] { return HostScript().Configured(); }, 6},
                      HangCase{"hang=run", [] { return HostScript().ToProgrammer(); }, 4},
                      HangCase{"hang=run:2",
                               [] { return HostScript().Configured().Block(DATA_RAW, 0, 9, 1).Cmd(CMD_RUN); }, 8}));

TEST(VirtualHandsetFaults, DisconnectTakesExactlyNBytesAndDropsWhatWasPending) {
  const auto script = HostScript().WholeRun().bytes;
  for (const uint64_t n : {uint64_t{0}, uint64_t{3}, uint64_t{8}, uint64_t{308}, uint64_t{324}, uint64_t{1000}}) {
    FaultPlan plan;
    plan.disconnect = true;
    plan.disconnectAfter = n;
    VirtualHandset handset(plan);
    handset.Attach();
    EXPECT_EQ(handset.Disconnected(), n == 0);
    handset.HostWrote(script.data(), script.size());
    EXPECT_TRUE(handset.Disconnected()) << n;
    EXPECT_EQ(handset.HostBytes(), n);
    EXPECT_EQ(handset.Pending(), 0u);
  }
}

TEST(VirtualHandsetPower, AttachAgainIsAFreshHandsetWithTheSameFaults) {
  VirtualHandset handset(Faults("crc-bad=1"));
  handset.Attach();
  const auto script = HostScript().WholeRun().bytes;
  handset.HostWrote(script.data(), script.size());
  ASSERT_EQ(handset.Blocks().size(), 4u);
  handset.Attach();
  EXPECT_EQ(handset.Stage(), HandsetStage::BootRom);
  EXPECT_TRUE(handset.Blocks().empty());
  EXPECT_EQ(handset.HostBytes(), 0u);
  EXPECT_EQ(handset.Pending(), VIRTUAL_ASIC_ID_SIZE);
  EXPECT_EQ(handset.Faults().crcBad, 1u);
}

struct RefusalCase {
  const char* name;
  HostScript (*script)();
  uint32_t code;
  const char* reasonMentions;
};

class VirtualHandsetRefusal : public ::testing::TestWithParam<RefusalCase> {};

// A refusal is one REPORT_ERROR frame with its code, then silence: the read
// channel stalls so the host fails at its next read instead of waiting.
TEST_P(VirtualHandsetRefusal, AnswersOneErrorFrameThenHalts) {
  VirtualHandset handset;
  handset.Attach();
  const auto script = GetParam().script().bytes;
  handset.HostWrote(script.data(), script.size());
  const auto reply = TakeAll(handset);
  ASSERT_GE(reply.size(), FRAME_SIZE);
  EXPECT_EQ(UnpackFrame(reply.data() + reply.size() - FRAME_SIZE),
            (Frame{COMMAND_MAGIC, REPORT_ERROR, GetParam().code, 0}));
  EXPECT_EQ(handset.Stage(), HandsetStage::Halted);
  EXPECT_TRUE(handset.Stalled());
  EXPECT_NE(handset.RefusalReason().find(GetParam().reasonMentions), std::string::npos) << handset.RefusalReason();
  const auto more = HostScript().Cmd(CMD_PING).Block(DATA_RAW, 0, 100, 1).bytes;
  handset.HostWrote(more.data(), more.size());
  EXPECT_EQ(handset.Pending(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VirtualHandsetRefusal,
    ::testing::Values(
        RefusalCase{"RomGetsAFrame", [] { return HostScript().Cmd(CMD_PING); }, REFUSED_BAD_ROM_COMMAND, "02 00 03 F0"},
        RefusalCase{"RomGetsLengthZero", [] { return HostScript().Word(0xF0030002u).Word(0); },
                    REFUSED_BAD_ROM_COMMAND, "0 bytes"},
        RefusalCase{"WrongMagic", [] { return HostScript().ToLoader().Frame(0x12345678u, CMD_PING); },
                    REFUSED_BAD_MAGIC, "0x12345678"},
        RefusalCase{"UnknownCommand", [] { return HostScript().ToLoader().Cmd(0x00500000u); }, REFUSED_UNKNOWN_CODE,
                    "0x00500000"},
        RefusalCase{"UnknownDataKind",
                    [] { return HostScript().ToLoader().Cmd(CMD_SET_RAM_TYPE).Frame(DATA_MAGIC, DATA_TEXT, 0, 4); },
                    REFUSED_UNKNOWN_CODE, "kind"},
        RefusalCase{"LoaderRunWithNoBlock", [] { return HostScript().ToLoader().Cmd(CMD_RUN); }, REFUSED_NO_BLOCK,
                    "CMD_RUN"},
        RefusalCase{"LoaderCrcWithNoBlock", [] { return HostScript().ToLoader().Cmd(CMD_GET_CRC); }, REFUSED_NO_BLOCK,
                    "CMD_GET_CRC"},
        RefusalCase{"BlockBeforeRamType",
                    [] { return HostScript().ToLoader().Block(DATA_PROGRAM, VIRTUAL_PROGRAMMER_ADDRESS, 10, 1); },
                    REFUSED_OUT_OF_ORDER, "RAM type"},
        RefusalCase{"LoaderGetsRawData",
                    [] { return HostScript().ToLoader().Cmd(CMD_SET_RAM_TYPE).Block(DATA_RAW, 0, 10, 1); },
                    REFUSED_BAD_BLOCK, "programmer"},
        RefusalCase{"ProgrammerAtTheWrongAddress",
                    [] { return HostScript().ToLoader().Cmd(CMD_SET_RAM_TYPE).Block(DATA_PROGRAM, 0x20000000u, 10, 1); },
                    REFUSED_BAD_BLOCK, "0x20000000"},
        RefusalCase{"EmptyProgrammerRun",
                    [] {
                      return HostScript().ToLoader().Cmd(CMD_SET_RAM_TYPE)
                          .Block(DATA_PROGRAM, VIRTUAL_PROGRAMMER_ADDRESS, 0, 1).Cmd(CMD_RUN);
                    },
                    REFUSED_BAD_BLOCK, "empty"},
        RefusalCase{"ConfigToTheLoader", [] { return HostScript().ToLoader().Cmd(CMD_CONFIG_A); }, REFUSED_OUT_OF_ORDER,
                    "CMD_CONFIG_A"},
        RefusalCase{"EndToTheLoader", [] { return HostScript().ToLoader().Cmd(CMD_END_TRANSFER); },
                    REFUSED_OUT_OF_ORDER, "CMD_END_TRANSFER"},
        RefusalCase{"BlockBeforeTheConfig", [] { return HostScript().ToProgrammer().Block(DATA_RAW, 0, 10, 1); },
                    REFUSED_OUT_OF_ORDER, "configuration"},
        RefusalCase{"ConfigBBeforeA", [] { return HostScript().ToProgrammer().Cmd(CMD_CONFIG_B); },
                    REFUSED_OUT_OF_ORDER, "CMD_CONFIG_B"},
        RefusalCase{"ConfigATwice", [] { return HostScript().Configured().Cmd(CMD_CONFIG_A); }, REFUSED_OUT_OF_ORDER,
                    "second time"},
        RefusalCase{"RamTypeToTheProgrammer", [] { return HostScript().ToProgrammer().Cmd(CMD_SET_RAM_TYPE); },
                    REFUSED_OUT_OF_ORDER, "CMD_SET_RAM_TYPE"},
        RefusalCase{"ProgrammerBlockToTheProgrammer",
                    [] { return HostScript().Configured().Block(DATA_PROGRAM, VIRTUAL_PROGRAMMER_ADDRESS, 10, 1); },
                    REFUSED_BAD_BLOCK, "programmer block"},
        RefusalCase{"RawDataAwayFromZero", [] { return HostScript().Configured().Block(DATA_RAW, 4, 10, 1); },
                    REFUSED_BAD_BLOCK, "0x00000004"},
        RefusalCase{"SecondRunOfOneBlock",
                    [] { return HostScript().Configured().Block(DATA_RAW, 0, 10, 1).Cmd(CMD_RUN).Cmd(CMD_RUN); },
                    REFUSED_NO_BLOCK, "CMD_RUN"},
        RefusalCase{"FrameAfterTheEnd", [] { return HostScript().WholeRun().Cmd(CMD_PING); }, REFUSED_FINISHED,
                    "CMD_END_TRANSFER"}),
    [](const ::testing::TestParamInfo<RefusalCase>& p) { return std::string(p.param.name); });

// Payloads stream through without being kept: a long block costs only its CRC.
TEST(VirtualHandsetThroughput, ALongPayloadIsCheckedAsItStreams) {
  VirtualHandset handset;
  handset.Attach();
  const auto setup = HostScript().Configured().Frame(DATA_MAGIC, DATA_RAW, 0, 16u << 20).bytes;
  handset.HostWrote(setup.data(), setup.size());
  TakeAll(handset);
  const auto chunk = Payload(MAX_TRANSFER_SIZE, 8);
  uint16_t crc = CRC16_INIT;
  const auto started = std::chrono::steady_clock::now();
  for (uint32_t sent = 0; sent < (16u << 20); sent += MAX_TRANSFER_SIZE) {
    handset.HostWrote(chunk.data(), chunk.size());
    crc = Crc16Update(crc, chunk.data(), chunk.size());
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  RecordProperty("MBps", static_cast<int>(16.0 * 1.048576 / seconds));
  ASSERT_EQ(handset.Blocks().size(), 2u);
  EXPECT_EQ(handset.Blocks().back(), (BlockRecord{DATA_RAW, 0, 16u << 20, crc}));
  EXPECT_EQ(Frames(TakeAll(handset)), std::vector<Frame>{kAck});
}

// A data block written at a flash speed: the range at once, then progress
// spread evenly over the writing time (length / speed), the ACK at its end.
struct WriteCase {
  const char* name;
  const char* faults;
  uint32_t length;
  int64_t writingUs;
};

class VirtualHandsetWrite : public ::testing::TestWithParam<WriteCase> {};

TEST_P(VirtualHandsetWrite, ProgressIsSpreadEvenlyOverTheWritingTime) {
  const WriteCase& c = GetParam();
  VirtualHandset handset(Faults(c.faults));
  handset.Attach();
  const auto setUp = HostScript().Configured().Block(DATA_RAW, 0, c.length, 2).Cmd(CMD_GET_CRC).bytes;
  handset.HostWrote(setUp.data(), setUp.size());
  TakeAll(handset);
  EXPECT_TRUE(handset.TakePauses().empty()) << "the programmer starts at once";
  const uint64_t start = handset.ReplyTaken();
  const auto run = HostScript().Cmd(CMD_RUN).bytes;
  handset.HostWrote(run.data(), run.size());
  const std::vector<ReplyPause> pauses = handset.TakePauses();
  const std::vector<Frame> frames = Frames(TakeAll(handset));

  ASSERT_GE(frames.size(), 5u);
  EXPECT_EQ(frames.front(), (Frame{COMMAND_MAGIC, REPORT_RANGE, c.length, 0}));
  EXPECT_EQ(frames.back(), kAck);
  std::vector<uint32_t> positions;
  for (size_t i = 1; i + 1 < frames.size(); ++i) {
    EXPECT_EQ(frames[i].code, REPORT_PROGRESS) << i;
    positions.push_back(frames[i].param1);
  }
  EXPECT_GE(positions.size(), 3u);
  EXPECT_GT(positions.front(), 0u);
  EXPECT_EQ(std::adjacent_find(positions.begin(), positions.end(), std::greater_equal<>()), positions.end())
      << "positions must increase";
  EXPECT_EQ(positions.back(), c.length);

  // Every pause comes before a progress report; together they last the
  // writing time, each about as long as the others.
  std::chrono::microseconds writing(0);
  std::chrono::microseconds shortest = std::chrono::microseconds::max(), longest(0);
  for (const ReplyPause& pause : pauses) {
    const uint64_t at = pause.offset - start;
    ASSERT_EQ(at % FRAME_SIZE, 0u);
    ASSERT_GE(at / FRAME_SIZE, 1u) << "the range comes at once";
    ASSERT_LT(at / FRAME_SIZE, frames.size() - 1) << "the ACK comes with the last position";
    writing += pause.delay;
    shortest = std::min(shortest, pause.delay);
    longest = std::max(longest, pause.delay);
  }
  EXPECT_EQ(writing.count(), c.writingUs);
  if (c.writingUs > 0) {
    EXPECT_EQ(pauses.size(), positions.size());
    EXPECT_LE((longest - shortest).count(), 1);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Speeds, VirtualHandsetWrite,
    ::testing::Values(WriteCase{"OneMBps", "flash=1", 300000, 300000},
                      WriteCase{"UnevenLengthAndSpeed", "flash=7", 1000003, 142857},
                      WriteCase{"ManyReports", "flash=1", 3000000, 3000000},
                      WriteCase{"FlashZeroWritesAtOnce", "flash=0", 5000, 0},
                      WriteCase{"NoFlashKeyWritesAtOnce", "", 5000, 0}),
    [](const ::testing::TestParamInfo<WriteCase>& p) { return std::string(p.param.name); });

TEST(VirtualHandsetWrite, AFailedWriteReportsItsErrorAtOnce) {
  VirtualHandset handset(Faults("flash=1,error=7@2"));
  handset.Attach();
  const auto script = HostScript().Configured().Block(DATA_RAW, 0, 300000, 2).Cmd(CMD_GET_CRC).Cmd(CMD_RUN).bytes;
  handset.HostWrote(script.data(), script.size());
  EXPECT_TRUE(handset.TakePauses().empty());
  EXPECT_EQ(Frames(TakeAll(handset), VIRTUAL_ASIC_ID_SIZE).back(), (Frame{COMMAND_MAGIC, REPORT_ERROR, 7, 0}));
}

}  // namespace
}  // namespace morvak
