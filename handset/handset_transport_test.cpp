#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <future>
#include <thread>

#include "HandsetContent.h"
#include "VirtualHandsetTransport.h"
#include "handset_test_support.h"

namespace morvak {
namespace {

using Clock = std::chrono::steady_clock;
using handset_test::HostScript;
using std::chrono::milliseconds;

FaultPlan Faults(const char* text) {
  FaultPlan plan;
  std::string error;
  EXPECT_TRUE(ParseFaultPlan(text, plan, error)) << error;
  return plan;
}

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool WriteAll(VirtualHandsetTransport& t, const std::vector<uint8_t>& bytes) {
  for (size_t at = 0; at < bytes.size(); at += MAX_TRANSFER_SIZE) {
    const size_t n = std::min<size_t>(MAX_TRANSFER_SIZE, bytes.size() - at);
    if (!t.Write(bytes.data() + at, static_cast<uint32_t>(n))) return false;
  }
  return true;
}

// Runs `read` on its own thread and ends it with Interrupt() after `after`;
// returns the read's result and how long it took to end after the Interrupt.
std::pair<bool, double> ReadEndedByInterrupt(VirtualHandsetTransport& t, uint32_t length, milliseconds after) {
  std::promise<bool> done;
  auto result = done.get_future();
  std::thread reader([&] {
    std::vector<uint8_t> buffer(length);
    done.set_value(t.Read(buffer.data(), length));
  });
  EXPECT_EQ(result.wait_for(after), std::future_status::timeout) << "the read should still wait";
  const auto interrupted = Clock::now();
  t.Interrupt();
  const bool ended = result.wait_for(std::chrono::seconds(2)) == std::future_status::ready;
  const double ms = MsSince(interrupted);
  if (!ended) std::abort();  // a read Interrupt cannot end would hang the suite
  reader.join();
  return {result.get(), ms};
}

TEST(VirtualHandsetTransport, NothingMovesBeforeOpenOrAfterClose) {
  VirtualHandsetTransport t;
  uint8_t b[16] = {};
  EXPECT_FALSE(t.Read(b, 1));
  EXPECT_FALSE(t.Write(b, 4));
  EXPECT_TRUE(t.OpenProblem().empty());
  ASSERT_EQ(t.Open(), OPEN_CONNECTED);
  EXPECT_TRUE(t.Read(b, 0));
  t.Close();
  EXPECT_FALSE(t.Read(b, 1));
  EXPECT_FALSE(t.Write(b, 4));
}

TEST(VirtualHandsetTransport, ReadsMoveExactlyTheBytesAskedFor) {
  VirtualHandsetTransport t;
  ASSERT_EQ(t.Open(), OPEN_CONNECTED);
  uint8_t id[VIRTUAL_ASIC_ID_SIZE];
  uint8_t expected[VIRTUAL_ASIC_ID_SIZE];
  VirtualAsicId(expected);
  ASSERT_TRUE(t.Read(id, 10));
  ASSERT_TRUE(t.Read(id + 10, 59));
  EXPECT_EQ(0, std::memcmp(id, expected, sizeof id));
  EXPECT_EQ(t.Stage(), HandsetStage::BootRom);
  EXPECT_EQ(t.Attaches(), 1u);
}

TEST(VirtualHandsetTransport, OpenFindsNoDeviceUntilTheAppearDelayWithoutSpinning) {
  VirtualHandsetTransport t(Faults("appear=60"));
  const auto start = Clock::now();
  int attempts = 0;
  uint32_t result = OPEN_NO_DEVICE;
  while ((result = t.Open()) == OPEN_NO_DEVICE) {
    ++attempts;
    ASSERT_LT(MsSince(start), 2000.0);
  }
  EXPECT_EQ(result, OPEN_CONNECTED);
  EXPECT_GE(MsSince(start), 60.0);
  // Each unsuccessful attempt waited up to ~10 ms rather than returning at once.
  EXPECT_GE(attempts, 3);
  EXPECT_LE(attempts, 12);
}

TEST(VirtualHandsetTransport, AStalledHandsetFailsReadsAtOnce) {
  VirtualHandsetTransport t(Faults("asic-fail"));
  ASSERT_EQ(t.Open(), OPEN_CONNECTED);
  uint8_t b[VIRTUAL_ASIC_ID_SIZE];
  const auto start = Clock::now();
  EXPECT_FALSE(t.Read(b, sizeof b));
  EXPECT_LT(MsSince(start), 50.0);
}

TEST(VirtualHandsetTransport, AWriteThatCrossesTheDisconnectFailsAndReadsFailAfter) {
  VirtualHandsetTransport t(Faults("disconnect=20"));
  ASSERT_EQ(t.Open(), OPEN_CONNECTED);
  uint8_t id[VIRTUAL_ASIC_ID_SIZE];
  ASSERT_TRUE(t.Read(id, sizeof id));
  const auto script = HostScript().Rom(300).bytes;
  EXPECT_TRUE(t.Write(script.data(), 8));
  EXPECT_FALSE(t.Write(script.data() + 8, 16));
  EXPECT_TRUE(t.Disconnected());
  EXPECT_EQ(t.HostBytes(), 20u);
  uint8_t b[16];
  EXPECT_FALSE(t.Read(b, 16));
  EXPECT_FALSE(t.Write(b, 1));
  // Opened again it is a new handset, which goes away at the same point.
  ASSERT_EQ(t.Open(), OPEN_CONNECTED);
  EXPECT_FALSE(t.Disconnected());
  EXPECT_EQ(t.Attaches(), 2u);
}

TEST(VirtualHandsetTransport, InterruptEndsAReadOfAHungHandset) {
  VirtualHandsetTransport t(Faults("hang=ping"));
  ASSERT_EQ(t.Open(), OPEN_CONNECTED);
  uint8_t id[VIRTUAL_ASIC_ID_SIZE];
  ASSERT_TRUE(t.Read(id, sizeof id));
  ASSERT_TRUE(WriteAll(t, HostScript().Rom(300).Cmd(CMD_PING).bytes));
  EXPECT_TRUE(t.Hung());
  const auto [ok, ms] = ReadEndedByInterrupt(t, FRAME_SIZE, milliseconds(30));
  EXPECT_FALSE(ok);
  EXPECT_LT(ms, 100.0);
  uint8_t b[4] = {};
  EXPECT_EQ(t.Open(), OPEN_INTERRUPTED);
  EXPECT_FALSE(t.Write(b, 4));
  EXPECT_FALSE(t.Read(b, 0));
}

TEST(VirtualHandsetTransport, AWaitingReadWakesWhenAnotherThreadWrites) {
  VirtualHandsetTransport t;
  ASSERT_EQ(t.Open(), OPEN_CONNECTED);
  uint8_t id[VIRTUAL_ASIC_ID_SIZE];
  ASSERT_TRUE(t.Read(id, sizeof id));
  ASSERT_TRUE(WriteAll(t, HostScript().Rom(300).bytes));
  auto answer = std::async(std::launch::async, [&] {
    uint8_t b[FRAME_SIZE];
    return t.Read(b, FRAME_SIZE) ? UnpackFrame(b) : Frame{};
  });
  std::this_thread::sleep_for(milliseconds(10));
  ASSERT_TRUE(WriteAll(t, HostScript().Cmd(CMD_PING).bytes));
  if (answer.wait_for(std::chrono::seconds(2)) != std::future_status::ready) {
    t.Interrupt();
    FAIL() << "the read did not wake";
  }
  EXPECT_EQ(answer.get(), (Frame{COMMAND_MAGIC, REPORT_ACK, 0, 0}));
}

TEST(VirtualHandsetTransport, TheSpeedLimitHoldsTheAverageRate) {
  // 2,000,000 bytes of loader at 20 MB/s take 100 ms.
  // The ASIC ID read counts too: the link carries both directions.
  const auto script = HostScript().Rom(2000000 - 8 - VIRTUAL_ASIC_ID_SIZE).bytes;
  VirtualHandsetTransport t(Faults("speed=20"));
  const auto start = Clock::now();
  ASSERT_EQ(t.Open(), OPEN_CONNECTED);
  uint8_t id[VIRTUAL_ASIC_ID_SIZE];
  ASSERT_TRUE(t.Read(id, sizeof id));
  ASSERT_TRUE(WriteAll(t, script));
  const double ms = MsSince(start);
  EXPECT_GE(ms, 95.0);
  EXPECT_LT(ms, 400.0);
  EXPECT_EQ(t.Stage(), HandsetStage::Loader);
}

TEST(VirtualHandsetTransport, InterruptEndsAWriteHeldByTheSpeedLimit) {
  VirtualHandsetTransport t(Faults("speed=1"));
  ASSERT_EQ(t.Open(), OPEN_CONNECTED);
  std::vector<uint8_t> bytes(MAX_TRANSFER_SIZE);
  ASSERT_TRUE(t.Write(bytes.data(), 4));
  auto write = std::async(std::launch::async, [&] { return t.Write(bytes.data(), MAX_TRANSFER_SIZE); });
  std::this_thread::sleep_for(milliseconds(10));
  const auto interrupted = Clock::now();
  t.Interrupt();
  ASSERT_EQ(write.wait_for(std::chrono::seconds(2)), std::future_status::ready);
  EXPECT_FALSE(write.get());
  EXPECT_LT(MsSince(interrupted), 100.0);
}

// Opens the handset and takes it up to a block of `length` bytes received
// and checked, with every reply read: the block's CMD_RUN is next.
void ToBlockRun(VirtualHandsetTransport& t, uint32_t length) {
  ASSERT_EQ(t.Open(), OPEN_CONNECTED);
  ASSERT_TRUE(WriteAll(t, HostScript().Configured().Block(DATA_RAW, 0, length, 2).Cmd(CMD_GET_CRC).bytes));
  // The ASIC ID; ping, RAM type, programmer block, its CRC, its start, the
  // two configurations, the block and its CRC answered.
  std::vector<uint8_t> replies(VIRTUAL_ASIC_ID_SIZE + 9 * FRAME_SIZE);
  ASSERT_TRUE(t.Read(replies.data(), static_cast<uint32_t>(replies.size())));
}

Frame ReadFrame(VirtualHandsetTransport& t) {
  uint8_t b[FRAME_SIZE];
  return t.Read(b, FRAME_SIZE) ? UnpackFrame(b) : Frame{};
}

TEST(VirtualHandsetTransport, AWrittenBlockReportsAsTheWritingGoesOn) {
  // 300,000 bytes at 1 MB/s: 300 ms of writing.
  constexpr uint32_t kLength = 300000;
  constexpr double kWritingMs = 300.0;
  VirtualHandsetTransport t(Faults("flash=1"));
  ToBlockRun(t, kLength);
  const auto run = Clock::now();
  ASSERT_TRUE(WriteAll(t, HostScript().Cmd(CMD_RUN).bytes));
  EXPECT_EQ(ReadFrame(t), (Frame{COMMAND_MAGIC, REPORT_RANGE, kLength, 0}));
  EXPECT_LT(MsSince(run), kWritingMs) << "the range comes before the writing ends";
  int reports = 0;
  for (Frame f = ReadFrame(t); f.code == REPORT_PROGRESS; f = ReadFrame(t)) {
    ++reports;
    // No position comes before its share of the writing time has passed.
    EXPECT_GE(MsSince(run), kWritingMs * f.param1 / kLength - 0.01) << f.param1;
    if (f.param1 == kLength) {
      EXPECT_EQ(ReadFrame(t), (Frame{COMMAND_MAGIC, REPORT_ACK, 0, 0}));
      break;
    }
  }
  const double ms = MsSince(run);
  EXPECT_GE(reports, 3);
  EXPECT_GE(ms, kWritingMs);
  EXPECT_LT(ms, kWritingMs + 1500.0);
}

TEST(VirtualHandsetTransport, InterruptEndsAReadWaitingOnAWrite) {
  // Two seconds of writing.
  VirtualHandsetTransport t(Faults("flash=1"));
  ToBlockRun(t, 2000000);
  ASSERT_TRUE(WriteAll(t, HostScript().Cmd(CMD_RUN).bytes));
  EXPECT_EQ(ReadFrame(t).code, REPORT_RANGE);
  const auto [ok, ms] = ReadEndedByInterrupt(t, 8 * FRAME_SIZE, milliseconds(50));
  EXPECT_FALSE(ok);
  EXPECT_LT(ms, 100.0);
}

TEST(VirtualHandsetTransport, TheReplyTimeoutLetsAShorterWriteReport) {
  // 300 ms of writing against a time-out of a second: every read wakes with
  // the report it waits for, none times out.
  VirtualHandsetTransport t(Faults("flash=1"));
  t.SetReplyTimeout(milliseconds(1000));
  ToBlockRun(t, 300000);
  ASSERT_TRUE(WriteAll(t, HostScript().Cmd(CMD_RUN).bytes));
  Frame f;
  do {
    f = ReadFrame(t);
    ASSERT_FALSE(t.LastReadTimedOut());
  } while (f.code == REPORT_RANGE || f.code == REPORT_PROGRESS);
  EXPECT_EQ(f, (Frame{COMMAND_MAGIC, REPORT_ACK, 0, 0}));
}

}  // namespace
}  // namespace morvak
