// The boot handshake through real libusb: CTargetLink on the libusb
// transport, with the virtual handset behind an emulated USB device.
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "Crc16.h"
#include "LinkTexts.h"
#include "LibusbTransport.h"
#include "RecordingTarget.h"
#include "TargetLink.h"
#include "VirtualHandset.h"
#include "usb_test_support.h"

namespace morvak::usbtest {
namespace {

// The virtual handset as the device function: its ROM speaks once the host
// has claimed the interface, and its replies fill the IN URBs as they come.
class HandsetFunction : public IUsbFunction {
 public:
  explicit HandsetFunction(FaultPlan plan) : handset(std::move(plan)) {}
  void Claimed() override { handset.Attach(); }
  size_t Received(const uint8_t* data, size_t length) override {
    handset.HostWrote(data, length);
    return length;
  }
  size_t Send(uint8_t* out, size_t max) override { return handset.TakeReply(out, max); }
  // Once it stalls nothing more comes: what is pending is still delivered.
  bool InStalled() const override { return handset.Stalled() && handset.Pending() == 0; }

  VirtualHandset handset;
};

class BootOverUsbTest : public EmulatedUsbTest {
 protected:
  void SetUp() override {
    EmulatedUsbTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ConfigureIds(0x1234, 0x5678);
    m_link = std::make_unique<CTargetLink>();
    m_link->m_pOwner = &m_window;
    m_link->m_device.SetTransport(std::make_unique<LibusbTransport>(m_config));
  }
  void DropClients() override { m_link.reset(); }

  EmulatedUsbDevice* PlugHandset(FaultPlan plan = {}) {
    EmulatedUsbDevice* device = m_bed->Plug(EmulatedDeviceParams{}, std::make_unique<HandsetFunction>(plan));
    EXPECT_NE(device, nullptr) << m_bed->LastError();
    return device;
  }
  template <class F>
  static auto Handset(EmulatedUsbDevice* device, F&& f) {
    return device->WithFunction(
        [&](IUsbFunction& function) { return f(static_cast<HandsetFunction&>(function).handset); });
  }

  morvak::testing::RecordingTarget m_window;
  std::unique_ptr<CTargetLink> m_link;
};

std::vector<uint8_t> ExpectedAsicId() {
  VirtualHandset reference;
  reference.Attach();
  std::vector<uint8_t> id(ASIC_ID_SIZE);
  id.resize(reference.TakeReply(id.data(), id.size()));
  return id;
}

TEST_F(BootOverUsbTest, BootsTheLoaderAndTheLoaderAnswers) {
  EmulatedUsbDevice* device = PlugHandset();
  ASSERT_NE(device, nullptr);
  // Longer than one transfer: CUsbDevice sends 65,536 bytes and the rest,
  // and libusb cuts each into 16 KiB URBs.
  const std::vector<uint8_t> loader = Pattern(100000, 0x2D);
  uint8_t asicId[ASIC_ID_SIZE] = {};
  const Clock::time_point start = Clock::now();
  ASSERT_EQ(m_link->BootTarget(loader.data(), static_cast<uint32_t>(loader.size()), asicId), 1)
      << ::testing::PrintToString(m_window.Lines());
  EXPECT_EQ(m_link->m_device.ProbeLoader(), 1) << m_link->m_device.m_szLastError;
  RecordProperty("boot_ms", std::to_string(MillisecondsSince(start)));

  EXPECT_EQ(std::vector<uint8_t>(asicId, asicId + ASIC_ID_SIZE), ExpectedAsicId());
  EXPECT_EQ(m_window.Lines(), (std::vector<std::string>{texts::kWaitingForDevice, texts::kLoadingBootCode}));
  EXPECT_EQ(Handset(device, [](VirtualHandset& h) { return h.Stage(); }), HandsetStage::Loader);
  EXPECT_EQ(Handset(device, [](VirtualHandset& h) { return h.LoaderLength(); }), loader.size());
  EXPECT_EQ(Handset(device, [](VirtualHandset& h) { return h.LoaderCrc(); }), Crc16(loader.data(), loader.size()));
  EXPECT_EQ(device->Claims(), 1);
}

TEST_F(BootOverUsbTest, WaitsForAHandsetPluggedInLater) {
  std::future<int> booted = std::async(std::launch::async, [this] {
    const uint8_t loader[1] = {0x42};
    uint8_t asicId[ASIC_ID_SIZE];
    return m_link->BootTarget(loader, 1, asicId);
  });
  ASSERT_EQ(booted.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
  EmulatedUsbDevice* device = PlugHandset();
  ASSERT_NE(device, nullptr);
  ASSERT_EQ(booted.wait_for(std::chrono::seconds(3)), std::future_status::ready);
  EXPECT_EQ(booted.get(), 1) << ::testing::PrintToString(m_window.Lines());
  EXPECT_EQ(Handset(device, [](VirtualHandset& h) { return h.LoaderLength(); }), 1u);
}

TEST_F(BootOverUsbTest, StopEndsTheWaitForTheHandset) {
  std::future<int> booted = std::async(std::launch::async, [this] {
    const uint8_t loader[1] = {0x42};
    uint8_t asicId[ASIC_ID_SIZE];
    return m_link->BootTarget(loader, 1, asicId);
  });
  ASSERT_EQ(booted.wait_for(std::chrono::milliseconds(30)), std::future_status::timeout);
  const Clock::time_point stopped = Clock::now();
  m_link->m_bCancelWait = 1;
  ASSERT_EQ(booted.wait_for(std::chrono::seconds(2)), std::future_status::ready);
  EXPECT_EQ(booted.get(), 0);
  EXPECT_LT(MillisecondsSince(stopped), 50.0);
  EXPECT_EQ(m_link->m_bCancelWait.load(), 0);
  EXPECT_EQ(m_window.Lines(), (std::vector<std::string>{texts::kWaitingForDevice}));
}

// Faults of the handset reach the link as libusb failures, not as hangs.
struct BootFaultCase {
  const char* name;
  FaultPlan plan;
  std::vector<std::string> lines;  // after the two lines of the wait
};

class BootFaultTest : public BootOverUsbTest, public ::testing::WithParamInterface<BootFaultCase> {};

TEST_P(BootFaultTest, FailsWithTheLinksLines) {
  ASSERT_NE(PlugHandset(GetParam().plan), nullptr);
  const std::vector<uint8_t> loader = Pattern(300);
  uint8_t asicId[ASIC_ID_SIZE];
  EXPECT_EQ(m_link->BootTarget(loader.data(), 300, asicId), 0);
  std::vector<std::string> expected = {texts::kWaitingForDevice, texts::kLoadingBootCode};
  expected.insert(expected.end(), GetParam().lines.begin(), GetParam().lines.end());
  EXPECT_EQ(m_window.Lines(), expected);
}

FaultPlan AsicFails() {
  FaultPlan plan;
  plan.asicFail = true;
  return plan;
}
FaultPlan PingBad() {
  FaultPlan plan;
  plan.pingBad = true;
  return plan;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, BootFaultTest,
    ::testing::Values(BootFaultCase{"AsicIdReadStalls", AsicFails(), {texts::kAsicIdFailed}},
                      BootFaultCase{"LoaderAnswersWrongly", PingBad(),
                                    {texts::kNotRecognized, texts::kBootCodeNotRunning}}),
    [](const ::testing::TestParamInfo<BootFaultCase>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace morvak::usbtest
