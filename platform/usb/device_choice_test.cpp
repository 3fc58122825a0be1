// Only the right device: among several emulated USB devices, each one a
// handset that would answer if asked, a run opens, claims and writes to none
// but the device with the configured ids, and waits for that one while it is
// busy rather than take another. Without ids nothing is opened at all.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "HandsetUsbFunction.h"
#include "ImageBlocks.h"
#include "ImageWriter.h"
#include "LibusbTransport.h"
#include "RunTestSupport.h"
#include "SeededImage.h"
#include "usb_test_support.h"

namespace morvak::usbtest {
namespace {

using morvak::testing::RunEventKind;

ImageDesc SmallImage() { return SeededImage(4096, {{0x1000, 9000}}, 1, {2}); }

void CountOpen(UMockdevIoctlBase*, UMockdevIoctlClient*, gpointer counter) {
  static_cast<std::atomic<int>*>(counter)->fetch_add(1);
}

struct Plugged {
  EmulatedUsbDevice* device = nullptr;
  std::unique_ptr<std::atomic<int>> opens = std::make_unique<std::atomic<int>>(0);
};

class DeviceChoiceTest : public EmulatedUsbTest {
 protected:
  void SetUp() override {
    EmulatedUsbTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    std::string problem;
    m_image = m_program.Path("image.img");
    ASSERT_EQ(WriteImage(m_image, SmallImage(), nullptr, problem), IMAGE_WRITE_OK) << problem;
  }
  void DropClients() override { m_run.reset(); }

  // Plugs a handset with these ids; every open of its device node is counted.
  Plugged& PlugHandset(uint16_t vendor, uint16_t product, uint8_t address) {
    EmulatedDeviceParams params;
    params.vendorId = vendor;
    params.productId = product;
    params.address = address;
    params.port = address;
    Plugged p;
    p.device = m_bed->Plug(params, std::make_unique<HandsetUsbFunction>());
    EXPECT_NE(p.device, nullptr) << m_bed->LastError();
    if (p.device != nullptr)
      g_signal_connect_data(p.device->Handler(), "client-connected", reinterpret_cast<GCallback>(&CountOpen),
                            p.opens.get(), nullptr, static_cast<GConnectFlags>(0));
    m_plugged.push_back(std::move(p));
    return m_plugged.back();
  }
  static VirtualHandset& Handset(IUsbFunction& f) { return static_cast<HandsetUsbFunction&>(f).handset; }

  // A run of the program directory on the libusb transport, started on the image.
  void StartRun() {
    m_run = std::make_unique<morvak::testing::RecordingRun>();
    m_run->m_strModuleDirectory = m_program.Directory();
    m_run->m_link.m_device.SetTransport(std::make_unique<LibusbTransport>(m_program.Path("file/LURRA.ini")));
    m_run->m_strImagePath = m_image;
    std::string line;
    ASSERT_TRUE(m_run->ApplyStartSettings(morvak::testing::SettingsOf(*m_run), line)) << line;
    ASSERT_TRUE(m_run->StartWorker());
  }
  bool WaitForLine(const std::string& part, std::chrono::milliseconds limit) const {
    const Clock::time_point deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
      for (const std::string& l : m_run->Lines())
        if (l.find(part) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }
  bool WaitEnded(std::chrono::milliseconds limit) const {
    const Clock::time_point deadline = Clock::now() + limit;
    while (m_run->WorkerAlive() && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (m_run->WorkerAlive()) return false;
    m_run->JoinWorker();
    return true;
  }
  // No open, no claim, no transfer, and not a byte for its handset.
  static void ExpectUntouched(const Plugged& p, const char* which) {
    SCOPED_TRACE(which);
    EXPECT_EQ(p.opens->load(), 0);
    EXPECT_EQ(p.device->Claims(), 0);
    EXPECT_TRUE(p.device->Urbs().empty());
    EXPECT_EQ(p.device->WithFunction([](IUsbFunction& f) { return Handset(f).HostBytes(); }), 0u);
  }

  morvak::testing::ProgramDirectory m_program{"device-choice-" +
                                              std::string(::testing::UnitTest::GetInstance()->current_test_info()->name())};
  std::string m_image;
  std::vector<Plugged> m_plugged;
  std::unique_ptr<morvak::testing::RecordingRun> m_run;
};

TEST_F(DeviceChoiceTest, OnlyTheConfiguredHandsetIsEverOpenedEvenWhileItIsBusy) {
  m_program.Config(std::string(testing::kSmallNandSizes) + "[LURRA_USB]\nVendorId=0x1234\nProductId=0x5678\n");
  m_plugged.reserve(4);
  const Plugged& otherVendor = PlugHandset(0x1111, 0x5678, 2);
  const Plugged& otherProduct = PlugHandset(0x1234, 0x9999, 3);
  const Plugged& swapped = PlugHandset(0x5678, 0x1234, 4);
  const Plugged& handset = PlugHandset(0x1234, 0x5678, 5);
  ASSERT_FALSE(HasFailure());
  handset.device->FailClaims(EBUSY);

  StartRun();
  ASSERT_FALSE(HasFatalFailure());
  // The busy handset is said once and waited for; no other device is tried.
  ASSERT_TRUE(WaitForLine("in use by another program", std::chrono::seconds(3)))
      << ::testing::PrintToString(m_run->Lines());
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_TRUE(m_run->WorkerAlive());
  EXPECT_GE(handset.opens->load(), 2);
  EXPECT_EQ(handset.device->Claims(), 0);
  ExpectUntouched(otherVendor, "other vendor");
  ExpectUntouched(otherProduct, "other product");
  ExpectUntouched(swapped, "swapped ids");

  handset.device->FailClaims(0);
  ASSERT_TRUE(WaitEnded(std::chrono::seconds(20)));
  const auto messages = m_run->Messages();
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.back().kind, RunEventKind::kRunSucceeded) << ::testing::PrintToString(m_run->Lines());
  int busyLines = 0;
  for (const std::string& l : m_run->Lines()) busyLines += l.find("in use by another program") != std::string::npos;
  EXPECT_EQ(busyLines, 1);
  EXPECT_EQ(handset.device->Claims(), 1);

  std::vector<ImageBlock> expected;
  ASSERT_EQ(ExpectedImageBlocks(SmallImage(), expected), PLAN_OK);
  const std::vector<BlockRecord> blocks = handset.device->WithFunction([](IUsbFunction& f) { return Handset(f).Blocks(); });
  ASSERT_EQ(blocks.size(), expected.size() + 1);
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(blocks[i + 1].crc, expected[i].crc) << i;
  ExpectUntouched(otherVendor, "other vendor, after the run");
  ExpectUntouched(otherProduct, "other product, after the run");
  ExpectUntouched(swapped, "swapped ids, after the run");
}

TEST_F(DeviceChoiceTest, WithoutIdsNoDeviceIsEverOpened) {
  m_program.Config(testing::kSmallNandSizes);
  m_plugged.reserve(2);
  const Plugged& a = PlugHandset(0x1234, 0x5678, 2);
  const Plugged& b = PlugHandset(0x1111, 0x2222, 3);
  ASSERT_FALSE(HasFailure());
  StartRun();
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_TRUE(WaitForLine("[LURRA_USB]", std::chrono::seconds(3))) << ::testing::PrintToString(m_run->Lines());
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  m_run->RequestStop();
  ASSERT_TRUE(WaitEnded(std::chrono::seconds(2)));
  EXPECT_EQ(m_run->Messages().back().kind, RunEventKind::kRunFailed);
  ExpectUntouched(a, "the handset's ids");
  ExpectUntouched(b, "other ids");
}

}  // namespace
}  // namespace morvak::usbtest
