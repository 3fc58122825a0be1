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

}  // namespace
}  // namespace morvak
