// Bulk transfers of the libusb transport against emulated USB devices: exact
// counts whatever the URB splits and short packets, a device that goes away,
// Interrupt, and a handset plugged in while the transport waits.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "LibusbTransport.h"
#include "usb_test_support.h"

namespace morvak::usbtest {
namespace {

constexpr uint8_t kIn = 0x81;
constexpr uint8_t kOut = 0x02;
using Urbs = std::vector<std::pair<int, int>>;

class TransferTest : public TransportTest {
 protected:
  void SetUp() override {
    TransportTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    m_device = Plug({});
    ASSERT_NE(m_device, nullptr);
    ConfigureIds(0x1234, 0x5678);
    ASSERT_EQ(Transport().Open(), OPEN_CONNECTED) << Transport().OpenProblem();
  }
  std::vector<uint8_t> Received() {
    return Scripted(m_device, [](ScriptedFunction& f) { return f.received; });
  }
  void Send(std::vector<std::vector<uint8_t>> pieces) {
    Scripted(m_device, [&](ScriptedFunction& f) {
      for (auto& piece : pieces) f.Queue(std::move(piece));
    });
  }
  // Starts a transfer on a thread of its own; the future gives its result.
  std::future<bool> ReadAsync(uint32_t length) {
    return std::async(std::launch::async, [this, length] {
      std::vector<uint8_t> buffer(length);
      return Transport().Read(buffer.data(), length);
    });
  }
  std::future<bool> WriteAsync(uint32_t length) {
    return std::async(std::launch::async, [this, length] {
      const std::vector<uint8_t> buffer = Pattern(length);
      return Transport().Write(buffer.data(), length);
    });
  }
  EmulatedUsbDevice* m_device = nullptr;
};

// libusb cuts transfers into URBs of 16 KiB when the host controller cannot
// take them whole; the count must come out exact either way.
struct SplitCase {
  uint32_t length;
  Urbs urbs;  // (buffer length, bytes moved) of each URB, in order
};

class SplitTest : public TransferTest, public ::testing::WithParamInterface<SplitCase> {};

TEST_P(SplitTest, WriteMovesExactlyItsBytesIn16KiBUrbs) {
  const std::vector<uint8_t> data = Pattern(GetParam().length);
  ASSERT_TRUE(Transport().Write(data.data(), GetParam().length));
  EXPECT_EQ(Received(), data);
  EXPECT_EQ(Completed(m_device, kOut), GetParam().urbs);
}

TEST_P(SplitTest, ReadTakesExactlyItsBytesIn16KiBUrbs) {
  const std::vector<uint8_t> data = Pattern(GetParam().length, 3);
  Send({data});
  std::vector<uint8_t> got(GetParam().length);
  ASSERT_TRUE(Transport().Read(got.data(), GetParam().length));
  EXPECT_EQ(got, data);
  EXPECT_EQ(Completed(m_device, kIn), GetParam().urbs);
}

INSTANTIATE_TEST_SUITE_P(Lengths, SplitTest,
                         ::testing::Values(SplitCase{1, {{1, 1}}}, SplitCase{512, {{512, 512}}},
                                           SplitCase{16384, {{16384, 16384}}},
                                           SplitCase{16385, {{16384, 16384}, {1, 1}}},
                                           SplitCase{40000, {{16384, 16384}, {16384, 16384}, {7232, 7232}}},
                                           SplitCase{65536, {{16384, 16384}, {16384, 16384}, {16384, 16384},
                                                             {16384, 16384}}}));

TEST_F(TransferTest, ShortPacketsAreContinuedUntilTheCountIsMet) {
  const std::vector<uint8_t> id = Pattern(69, 5);
  Send({{id.begin(), id.begin() + 20}, {id.begin() + 20, id.begin() + 50}, {id.begin() + 50, id.end()}});
  uint8_t got[69] = {};
  ASSERT_TRUE(Transport().Read(got, 69));
  EXPECT_EQ(std::vector<uint8_t>(got, got + 69), id);
  EXPECT_EQ(Completed(m_device, kIn), (Urbs{{69, 20}, {49, 30}, {19, 19}}));
}

TEST_F(TransferTest, AShortUrbInsideASplitReadEndsItsTransferAndTheRestIsRead) {
  const std::vector<uint8_t> data = Pattern(40000, 11);
  Send({{data.begin(), data.begin() + 10000}, {data.begin() + 10000, data.end()}});
  std::vector<uint8_t> got(40000);
  ASSERT_TRUE(Transport().Read(got.data(), 40000));
  EXPECT_EQ(got, data);
  EXPECT_EQ(Completed(m_device, kIn), (Urbs{{16384, 10000}, {16384, 16384}, {13616, 13616}}));
}

TEST_F(TransferTest, ShortWritesAreContinuedWithTheBytesNotTaken) {
  Scripted(m_device, [](ScriptedFunction& f) { f.takeAtMost = 10000; });
  const std::vector<uint8_t> data = Pattern(20000, 2);
  ASSERT_TRUE(Transport().Write(data.data(), 20000));
  EXPECT_EQ(Received(), data);
  EXPECT_EQ(Completed(m_device, kOut), (Urbs{{16384, 10000}, {10000, 10000}}));
}

TEST_F(TransferTest, AReadOfNBytesLeavesTheRestForTheNextRead) {
  const std::vector<uint8_t> data = Pattern(100, 7);
  Send({data});
  uint8_t first[16] = {};
  std::vector<uint8_t> rest(84);
  ASSERT_TRUE(Transport().Read(first, 16));
  ASSERT_TRUE(Transport().Read(rest.data(), 84));
  EXPECT_EQ(std::vector<uint8_t>(first, first + 16), std::vector<uint8_t>(data.begin(), data.begin() + 16));
  EXPECT_EQ(rest, std::vector<uint8_t>(data.begin() + 16, data.end()));
}

TEST_F(TransferTest, ZeroLengthMovesNothingAndMoreThanTheMaximumIsRefused) {
  uint8_t byte = 0;
  EXPECT_TRUE(Transport().Write(&byte, 0));
  EXPECT_TRUE(Transport().Read(&byte, 0));
  const std::vector<uint8_t> big(MAX_TRANSFER_SIZE + 1);
  EXPECT_FALSE(Transport().Write(big.data(), MAX_TRANSFER_SIZE + 1));
  EXPECT_TRUE(m_device->Urbs().empty());
  Transport().Close();
  EXPECT_FALSE(Transport().Write(&byte, 0));
  EXPECT_FALSE(Transport().Read(&byte, 1));
}

TEST_F(TransferTest, AStalledReadChannelFailsTheRead) {
  Scripted(m_device, [](ScriptedFunction& f) { f.stall = true; });
  uint8_t got[16];
  EXPECT_FALSE(Transport().Read(got, 16));
}

// A pending transfer fails soon after the device goes, and so does every
// later one; the next Open finds nothing.
class UnplugTest : public TransferTest, public ::testing::WithParamInterface<bool> {};

TEST_P(UnplugTest, FailsThePendingTransfer) {
  const bool reading = GetParam();
  if (!reading) Scripted(m_device, [](ScriptedFunction& f) { f.nak = true; });
  std::future<bool> pending = reading ? ReadAsync(16) : WriteAsync(16);
  ASSERT_EQ(pending.wait_for(std::chrono::milliseconds(30)), std::future_status::timeout);
  const Clock::time_point unplugged = Clock::now();
  m_bed->Unplug(*m_device);
  ASSERT_EQ(pending.wait_for(std::chrono::seconds(2)), std::future_status::ready);
  EXPECT_FALSE(pending.get());
  RecordProperty("failed_after_unplug_ms", std::to_string(MillisecondsSince(unplugged)));
  EXPECT_LT(MillisecondsSince(unplugged), 100.0);
  uint8_t byte = 0;
  EXPECT_FALSE(Transport().Write(&byte, 1));
  EXPECT_FALSE(Transport().Read(&byte, 1));
  EXPECT_EQ(Transport().Open(), OPEN_NO_DEVICE);
}

INSTANTIATE_TEST_SUITE_P(Directions, UnplugTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& param) {
                           return std::string(param.param ? "Read" : "Write");
                         });

class InterruptTest : public TransferTest, public ::testing::WithParamInterface<bool> {};

TEST_P(InterruptTest, EndsThePendingTransferWithin100ms) {
  const bool reading = GetParam();
  if (!reading) Scripted(m_device, [](ScriptedFunction& f) { f.nak = true; });
  std::future<bool> pending = reading ? ReadAsync(16) : WriteAsync(16);
  ASSERT_EQ(pending.wait_for(std::chrono::milliseconds(30)), std::future_status::timeout);
  const Clock::time_point interrupted = Clock::now();
  Transport().Interrupt();
  ASSERT_EQ(pending.wait_for(std::chrono::seconds(2)), std::future_status::ready);
  EXPECT_FALSE(pending.get());
  RecordProperty("failed_after_interrupt_ms", std::to_string(MillisecondsSince(interrupted)));
  EXPECT_LT(MillisecondsSince(interrupted), 100.0);
  // Every later call fails at once, even with the device healthy again.
  Scripted(m_device, [](ScriptedFunction& f) {
    f.nak = false;
    f.Queue({1, 2, 3, 4});
  });
  const Clock::time_point later = Clock::now();
  uint8_t got[4];
  EXPECT_FALSE(Transport().Read(got, 4));
  EXPECT_FALSE(Transport().Write(got, 4));
  EXPECT_EQ(Transport().Open(), OPEN_INTERRUPTED);
  // At once: no call waits for a transfer or an arrival (room left for a
  // loaded, sanitized machine).
  EXPECT_LT(MillisecondsSince(later), 50.0);
}

INSTANTIATE_TEST_SUITE_P(Directions, InterruptTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& param) {
                           return std::string(param.param ? "Read" : "Write");
                         });

// A handset plugged in while Open is being polled, as the boot wait does.
using HotPlugTest = TransportTest;

TEST_F(HotPlugTest, ANewlyAttachedHandsetIsOpenedWithinMilliseconds) {
  ConfigureIds(0x1234, 0x5678);
  std::atomic<int> attempts{0};
  std::atomic<bool> plugged{false};
  std::atomic<int> attemptsBeforePlug{0};
  std::future<Clock::time_point> connected = std::async(std::launch::async, [&] {
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(3);
    while (Clock::now() < deadline) {
      ++attempts;
      if (Transport().Open() == OPEN_CONNECTED) return Clock::now();
      if (!plugged.load()) attemptsBeforePlug = attempts.load();
    }
    return Clock::time_point{};
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  const Clock::time_point plugStart = Clock::now();
  plugged = true;
  EmulatedUsbDevice* device = Plug({});
  const Clock::time_point plugEnd = Clock::now();
  ASSERT_NE(device, nullptr);
  ASSERT_EQ(connected.wait_for(std::chrono::seconds(4)), std::future_status::ready);
  const Clock::time_point openedAt = connected.get();
  ASSERT_NE(openedAt, Clock::time_point{}) << "never connected";
  const double sincePlug = std::chrono::duration<double, std::milli>(openedAt - plugEnd).count();
  RecordProperty("plug_ms", std::to_string(std::chrono::duration<double, std::milli>(plugEnd - plugStart).count()));
  RecordProperty("open_after_plug_ms", std::to_string(sincePlug));
  // Opened soon after the arrival (well before a polling wait would), without spinning while
  // there was nothing: each empty attempt waited for an arrival.
  EXPECT_LT(sincePlug, 50.0);
  EXPECT_GE(attemptsBeforePlug.load(), 2);
  EXPECT_LE(attemptsBeforePlug.load(), 8);
  EXPECT_EQ(device->Claims(), 1);
}

TEST_F(HotPlugTest, AReplugggedHandsetIsOpenedAgain) {
  EmulatedUsbDevice* first = Plug({});
  ASSERT_NE(first, nullptr);
  ConfigureIds(0x1234, 0x5678);
  ASSERT_EQ(Transport().Open(), OPEN_CONNECTED);
  m_bed->Unplug(*first);
  EXPECT_EQ(Transport().Open(), OPEN_NO_DEVICE);
  EmulatedDeviceParams again;
  again.address = 3;  // a replugged device gets a new number
  ScriptedFunction* function = nullptr;
  EmulatedUsbDevice* second = Plug(again, &function);
  ASSERT_NE(second, nullptr);
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(2);
  uint32_t result = OPEN_NO_DEVICE;
  while (result != OPEN_CONNECTED && Clock::now() < deadline) result = Transport().Open();
  ASSERT_EQ(result, OPEN_CONNECTED);
  const uint8_t byte = 7;
  ASSERT_TRUE(Transport().Write(&byte, 1));
  EXPECT_EQ(Scripted(second, [](ScriptedFunction& f) { return f.received; }), std::vector<uint8_t>{7});
}

}  // namespace
}  // namespace morvak::usbtest
