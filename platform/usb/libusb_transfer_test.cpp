// Bulk transfers of the libusb transport against emulated USB devices: exact
// counts whatever the URB splits and short packets, a device that goes away,
// Interrupt, and a handset plugged in while the transport waits.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
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
  Urbs urbs;      // (buffer length, bytes moved) of each OUT URB, in order
  Urbs readUrbs;  // ... of each IN URB: a read asks for whole 512-byte packets
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
  EXPECT_EQ(Completed(m_device, kIn), GetParam().readUrbs);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, SplitTest,
    ::testing::Values(SplitCase{1, {{1, 1}}, {{512, 1}}}, SplitCase{512, {{512, 512}}, {{512, 512}}},
                      SplitCase{16384, {{16384, 16384}}, {{16384, 16384}}},
                      SplitCase{16385, {{16384, 16384}, {1, 1}}, {{16384, 16384}, {512, 1}}},
                      SplitCase{40000, {{16384, 16384}, {16384, 16384}, {7232, 7232}},
                                {{16384, 16384}, {16384, 16384}, {7680, 7232}}},
                      SplitCase{65536, {{16384, 16384}, {16384, 16384}, {16384, 16384}, {16384, 16384}},
                                {{16384, 16384}, {16384, 16384}, {16384, 16384}, {16384, 16384}}}));

TEST_F(TransferTest, ShortPacketsAreContinuedUntilTheCountIsMet) {
  const std::vector<uint8_t> id = Pattern(69, 5);
  Send({{id.begin(), id.begin() + 20}, {id.begin() + 20, id.begin() + 50}, {id.begin() + 50, id.end()}});
  uint8_t got[69] = {};
  ASSERT_TRUE(Transport().Read(got, 69));
  EXPECT_EQ(std::vector<uint8_t>(got, got + 69), id);
  EXPECT_EQ(Completed(m_device, kIn), (Urbs{{512, 20}, {512, 30}, {512, 19}}));
}

TEST_F(TransferTest, AShortUrbInsideASplitReadEndsItsTransferAndTheRestIsRead) {
  const std::vector<uint8_t> data = Pattern(40000, 11);
  Send({{data.begin(), data.begin() + 10000}, {data.begin() + 10000, data.end()}});
  std::vector<uint8_t> got(40000);
  ASSERT_TRUE(Transport().Read(got.data(), 40000));
  EXPECT_EQ(got, data);
  EXPECT_EQ(Completed(m_device, kIn), (Urbs{{16384, 10000}, {16384, 16384}, {13824, 13616}}));
}

// Reads as devices send: a device sends a text, a frame and its text, or two
// frames in one packet, and an IN transfer shorter than the packet the device
// sends overflows on a real bus (as on the emulated one). Each read asks for
// whole packets and keeps what comes beyond its count for the next read.
TEST_F(TransferTest, ATextOf300BytesInOnePacketIsReadAs255BytesAndThen45) {
  const std::vector<uint8_t> text = Pattern(300, 21);
  Send({text});
  std::vector<uint8_t> first(255);
  std::vector<uint8_t> rest(45);
  ASSERT_TRUE(Transport().Read(first.data(), 255));
  ASSERT_TRUE(Transport().Read(rest.data(), 45));
  first.insert(first.end(), rest.begin(), rest.end());
  EXPECT_EQ(first, text);
  EXPECT_EQ(Completed(m_device, kIn), (Urbs{{512, 300}}));
  for (const UrbRecord& urb : m_device->Urbs()) EXPECT_NE(urb.status, -EOVERFLOW);
}

TEST_F(TransferTest, AFrameAndItsTextInOneTransferAreReadInStep) {
  // A text frame, 600 bytes of text and the next frame: two full packets and a
  // short one, sent as one transfer.
  const std::vector<uint8_t> frame = Pattern(16, 31);
  const std::vector<uint8_t> text = Pattern(600, 32);
  const std::vector<uint8_t> next = Pattern(16, 33);
  std::vector<uint8_t> all = frame;
  all.insert(all.end(), text.begin(), text.end());
  all.insert(all.end(), next.begin(), next.end());
  Send({all});
  std::vector<uint8_t> gotFrame(16);
  std::vector<uint8_t> gotText(600);
  std::vector<uint8_t> gotNext(16);
  ASSERT_TRUE(Transport().Read(gotFrame.data(), 16));
  ASSERT_TRUE(Transport().Read(gotText.data(), 255));
  ASSERT_TRUE(Transport().Read(gotText.data() + 255, 345));
  ASSERT_TRUE(Transport().Read(gotNext.data(), 16));
  EXPECT_EQ(gotFrame, frame);
  EXPECT_EQ(gotText, text);
  EXPECT_EQ(gotNext, next);
  EXPECT_EQ(Completed(m_device, kIn), (Urbs{{512, 512}, {512, 120}}));
}

TEST_F(TransferTest, TwoFramesInOnePacketAreTwoReads) {
  const std::vector<uint8_t> frames = Pattern(32, 41);
  Send({frames});
  uint8_t first[16];
  uint8_t second[16];
  ASSERT_TRUE(Transport().Read(first, 16));
  ASSERT_TRUE(Transport().Read(second, 16));
  EXPECT_EQ(std::vector<uint8_t>(first, first + 16), std::vector<uint8_t>(frames.begin(), frames.begin() + 16));
  EXPECT_EQ(std::vector<uint8_t>(second, second + 16), std::vector<uint8_t>(frames.begin() + 16, frames.end()));
  EXPECT_EQ(Completed(m_device, kIn), (Urbs{{512, 32}}));
}

// The ROM's 69-byte ASIC ID and, at once, more: in the same packet, and in a
// transfer of more than one packet.
class AsicIdThenMoreTest : public TransferTest, public ::testing::WithParamInterface<size_t> {};

TEST_P(AsicIdThenMoreTest, TheIdIsReadAndTheRestKeptForTheNextRead) {
  const std::vector<uint8_t> id = Pattern(69, 51);
  const std::vector<uint8_t> more = Pattern(GetParam(), 52);
  std::vector<uint8_t> all = id;
  all.insert(all.end(), more.begin(), more.end());
  Send({all});
  std::vector<uint8_t> gotId(69);
  std::vector<uint8_t> gotMore(more.size());
  ASSERT_TRUE(Transport().Read(gotId.data(), 69));
  EXPECT_EQ(gotId, id);
  ASSERT_TRUE(Transport().Read(gotMore.data(), static_cast<uint32_t>(more.size())));
  EXPECT_EQ(gotMore, more);
  for (const UrbRecord& urb : m_device->Urbs()) {
    EXPECT_NE(urb.status, -EOVERFLOW);
    if (urb.endpoint == kIn) {
      EXPECT_EQ(urb.length % 512, 0) << urb.length;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(More, AsicIdThenMoreTest, ::testing::Values(size_t{4}, size_t{16}, size_t{443}, size_t{600}));

TEST_F(TransferTest, AShortPacketInTheMiddleOfALongReadIsContinuedWithWholePackets) {
  // 10,000 bytes end in a short packet; the next transfer brings 30,100 bytes,
  // 100 more than the read still needs.
  const std::vector<uint8_t> data = Pattern(40100, 61);
  Send({{data.begin(), data.begin() + 10000}, {data.begin() + 10000, data.end()}});
  std::vector<uint8_t> got(40000);
  ASSERT_TRUE(Transport().Read(got.data(), 40000));
  EXPECT_EQ(got, std::vector<uint8_t>(data.begin(), data.begin() + 40000));
  std::vector<uint8_t> tail(100);
  ASSERT_TRUE(Transport().Read(tail.data(), 100));
  EXPECT_EQ(tail, std::vector<uint8_t>(data.begin() + 40000, data.end()));
  EXPECT_EQ(Completed(m_device, kIn), (Urbs{{16384, 10000}, {16384, 16384}, {13824, 13716}}));
}

TEST_F(TransferTest, ReadAheadBytesBelongToTheOpenDevice) {
  Send({Pattern(100, 71)});
  uint8_t first[16];
  ASSERT_TRUE(Transport().Read(first, 16));  // 84 bytes kept
  Transport().Close();
  ASSERT_EQ(Transport().Open(), OPEN_CONNECTED);
  Send({{1, 2, 3, 4}});
  uint8_t got[4] = {};
  ASSERT_TRUE(Transport().Read(got, 4));
  EXPECT_EQ(std::vector<uint8_t>(got, got + 4), (std::vector<uint8_t>{1, 2, 3, 4}));
  // An Open without a Close drops them too.
  Send({Pattern(100, 72)});
  ASSERT_TRUE(Transport().Read(first, 16));
  ASSERT_EQ(Transport().Open(), OPEN_CONNECTED);
  Send({{5, 6}});
  ASSERT_TRUE(Transport().Read(got, 2));
  EXPECT_EQ(got[0], 5);
  EXPECT_EQ(got[1], 6);
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

// Whole packets are the read channel's own: a full-speed device's 64 bytes.
using PacketSizeTest = TransportTest;

TEST_F(PacketSizeTest, ReadsAskForWholePacketsOfTheReadChannelsSize) {
  EmulatedDeviceParams params;
  params.speedMbps = 12;
  params.maxPacketSize = 64;
  EmulatedUsbDevice* device = Plug(params);
  ASSERT_NE(device, nullptr);
  ConfigureIds(0x1234, 0x5678);
  ASSERT_EQ(Transport().Open(), OPEN_CONNECTED) << Transport().OpenProblem();
  const std::vector<uint8_t> data = Pattern(300, 81);
  Scripted(device, [&](ScriptedFunction& f) { f.Queue(data); });
  std::vector<uint8_t> got(300);
  ASSERT_TRUE(Transport().Read(got.data(), 16));
  ASSERT_TRUE(Transport().Read(got.data() + 16, 100));
  ASSERT_TRUE(Transport().Read(got.data() + 116, 184));
  EXPECT_EQ(got, data);
  // 64 for the first 16 bytes; 52 more needed after 48 kept: 64; 172 more
  // needed after 12 kept: 192, ended by the short packet of 44.
  EXPECT_EQ(Completed(device, kIn), (Urbs{{64, 64}, {64, 64}, {192, 172}}));
}

// The reply time-out: a read fails once no byte has come for that long.

// A read that should end by itself, made on a thread of its own: still pending
// after `limit`, it is a failure and Interrupt ends it, so that no test hangs.
bool ReadEnds(LibusbTransport& transport, uint8_t* buffer, uint32_t length,
              std::chrono::milliseconds limit = std::chrono::seconds(3)) {
  std::future<bool> read =
      std::async(std::launch::async, [&transport, buffer, length] { return transport.Read(buffer, length); });
  if (read.wait_for(limit) == std::future_status::ready) return read.get();
  ADD_FAILURE() << "the read did not end by itself";
  transport.Interrupt();
  read.wait();
  return false;
}

class TrickleFunction : public IUsbFunction {
 public:
  TrickleFunction(size_t count, std::chrono::milliseconds every) : m_count(count), m_every(every) {}
  size_t Received(const uint8_t*, size_t length) override { return length; }
  // One byte per period from the claim on; nothing at all when the count is 0.
  size_t Send(uint8_t* out, size_t) override {
    if (m_sent == m_count) return 0;
    if (Clock::now() < m_start + m_every * static_cast<int>(m_sent + 1)) return 0;
    out[0] = static_cast<uint8_t>(m_sent++);
    return 1;
  }
  void Claimed() override { m_start = Clock::now(); }

 private:
  const size_t m_count;
  const std::chrono::milliseconds m_every;
  size_t m_sent = 0;
  Clock::time_point m_start;
};

class ReplyTimeoutTest : public TransportTest {
 protected:
  // A device that trickles `count` bytes, one every `every`; nothing when 0.
  void PlugTrickle(size_t count, std::chrono::milliseconds every) {
    m_device = m_bed->Plug(EmulatedDeviceParams{}, std::make_unique<TrickleFunction>(count, every));
    ASSERT_NE(m_device, nullptr) << m_bed->LastError();
    ConfigureIds(0x1234, 0x5678);
    ASSERT_EQ(Transport().Open(), OPEN_CONNECTED) << Transport().OpenProblem();
  }
  EmulatedUsbDevice* m_device = nullptr;
};

TEST_F(ReplyTimeoutTest, ADeviceThatNeverAnswersTimesOutInTime) {
  PlugTrickle(0, std::chrono::milliseconds(1));
  ASSERT_FALSE(HasFatalFailure());
  Transport().SetReplyTimeout(std::chrono::milliseconds(200));
  uint8_t got[16];
  const Clock::time_point start = Clock::now();
  EXPECT_FALSE(ReadEnds(Transport(), got, 16));
  const double took = MillisecondsSince(start);
  RecordProperty("timed_out_after_ms", std::to_string(took));
  EXPECT_TRUE(Transport().LastReadTimedOut());
  EXPECT_GE(took, 200.0);
  EXPECT_LT(took, 300.0);  // room for a loaded, sanitized machine
  // The next read times out afresh; a read of nothing succeeds and clears it.
  EXPECT_FALSE(ReadEnds(Transport(), got, 1));
  EXPECT_TRUE(Transport().LastReadTimedOut());
  EXPECT_TRUE(Transport().Read(got, 0));
  EXPECT_FALSE(Transport().LastReadTimedOut());
}

TEST_F(ReplyTimeoutTest, BytesThatKeepComingRestartTheTimeOut) {
  // 8 bytes 60 ms apart: 480 ms in all, more than the time-out of 200 ms,
  // but never 200 ms without a byte.
  PlugTrickle(8, std::chrono::milliseconds(60));
  ASSERT_FALSE(HasFatalFailure());
  Transport().SetReplyTimeout(std::chrono::milliseconds(200));
  uint8_t got[8] = {};
  const Clock::time_point start = Clock::now();
  ASSERT_TRUE(ReadEnds(Transport(), got, 8));
  EXPECT_FALSE(Transport().LastReadTimedOut());
  EXPECT_GE(MillisecondsSince(start), 400.0);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(got[i], i);
  // Then nothing more comes.
  EXPECT_FALSE(ReadEnds(Transport(), got, 1));
  EXPECT_TRUE(Transport().LastReadTimedOut());
}

TEST_F(ReplyTimeoutTest, ZeroIsNoBoundAndInterruptStillEndsTheRead) {
  PlugTrickle(0, std::chrono::milliseconds(1));
  ASSERT_FALSE(HasFatalFailure());
  Transport().SetReplyTimeout(std::chrono::milliseconds(100));
  Transport().SetReplyTimeout(std::chrono::milliseconds(0));
  std::future<bool> pending = std::async(std::launch::async, [this] {
    uint8_t got[16];
    return Transport().Read(got, 16);
  });
  ASSERT_EQ(pending.wait_for(std::chrono::milliseconds(400)), std::future_status::timeout);
  const Clock::time_point interrupted = Clock::now();
  Transport().Interrupt();
  ASSERT_EQ(pending.wait_for(std::chrono::seconds(2)), std::future_status::ready);
  EXPECT_FALSE(pending.get());
  EXPECT_LT(MillisecondsSince(interrupted), 100.0);
  EXPECT_FALSE(Transport().LastReadTimedOut());
}

TEST_F(TransferTest, KeptBytesCountAsArrivedAndOtherFailuresAreNoTimeOut) {
  Send({Pattern(300, 91)});
  std::vector<uint8_t> got(300);
  ASSERT_TRUE(Transport().Read(got.data(), 255));
  Transport().SetReplyTimeout(std::chrono::milliseconds(100));
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  ASSERT_TRUE(Transport().Read(got.data() + 255, 45));
  EXPECT_FALSE(Transport().LastReadTimedOut());
  EXPECT_EQ(got, Pattern(300, 91));
  EXPECT_FALSE(ReadEnds(Transport(), got.data(), 1));
  EXPECT_TRUE(Transport().LastReadTimedOut());
  // A stall is a failure of its own, not a time-out.
  Scripted(m_device, [](ScriptedFunction& f) { f.stall = true; });
  EXPECT_FALSE(Transport().Read(got.data(), 1));
  EXPECT_FALSE(Transport().LastReadTimedOut());
  // Writes leave the flag alone.
  Scripted(m_device, [](ScriptedFunction& f) { f.stall = false; });
  EXPECT_FALSE(ReadEnds(Transport(), got.data(), 1));
  EXPECT_TRUE(Transport().LastReadTimedOut());
  ASSERT_TRUE(Transport().Write(got.data(), 4));
  EXPECT_TRUE(Transport().LastReadTimedOut());
  // A closed transport fails at once, and that is no time-out.
  Transport().Close();
  EXPECT_FALSE(Transport().Read(got.data(), 1));
  EXPECT_FALSE(Transport().LastReadTimedOut());
}

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
