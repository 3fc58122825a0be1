// A whole run through the libusb transport into a handset whose replies come
// whole (a frame and its text in one packet, as a real handset sends them),
// in short packets, or with a zero-length packet where a frame is expected:
// the transport reads whole packets, keeps what comes beyond a read's count
// and continues every transfer until its count is met, and the run succeeds
// with exactly the image's blocks.
#include <gtest/gtest.h>

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

const std::string kConfig = std::string(testing::kSmallNandSizes) +
    "[LURRA_USB]\nVendorId=0x1234\nProductId=0x5678\n";

ImageDesc SmallImage() { return SeededImage(4096, {{0x1000, 9000}, {0x8000, 33}}, 1, {2}); }

struct PacketCase {
  const char* name;
  std::vector<size_t> sizes;
  bool zeroLength;
  uint16_t maxPacketSize = 512;  // the read channel's
};

class ShortPacketRunTest : public EmulatedUsbTest, public ::testing::WithParamInterface<PacketCase> {
 protected:
  void DropClients() override { m_run.reset(); }
  morvak::testing::ProgramDirectory m_program{"short-packets"};
  std::unique_ptr<morvak::testing::RecordingRun> m_run;
};

TEST_P(ShortPacketRunTest, TheRunSucceedsWithTheImagesBlocks) {
  const PacketCase& c = GetParam();
  m_program.Config(kConfig);
  const std::string image = m_program.Path("image.img");
  std::string problem;
  ASSERT_EQ(WriteImage(image, SmallImage(), nullptr, problem), IMAGE_WRITE_OK) << problem;
  auto function = std::make_unique<HandsetUsbFunction>();
  function->packetSizes = c.sizes;
  function->zeroLengthPackets = c.zeroLength;
  EmulatedDeviceParams params;
  params.maxPacketSize = c.maxPacketSize;
  EmulatedUsbDevice* device = m_bed->Plug(params, std::move(function));
  ASSERT_NE(device, nullptr) << m_bed->LastError();

  m_run = std::make_unique<morvak::testing::RecordingRun>();
  m_run->m_strModuleDirectory = m_program.Directory();
  m_run->m_link.m_device.SetTransport(std::make_unique<LibusbTransport>(m_program.Path("file/LURRA.ini")));
  m_run->m_strImagePath = image;
  std::string line;
  ASSERT_TRUE(m_run->ApplyStartSettings(morvak::testing::SettingsOf(*m_run), line)) << line;
  ASSERT_TRUE(m_run->StartWorker());
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(30);
  while (m_run->WorkerAlive() && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_FALSE(m_run->WorkerAlive()) << "the run did not end";
  m_run->JoinWorker();
  ASSERT_EQ(m_run->Messages().back().kind, RunEventKind::kRunSucceeded) << ::testing::PrintToString(m_run->Lines());

  std::vector<ImageBlock> expected;
  ASSERT_EQ(ExpectedImageBlocks(SmallImage(), expected), PLAN_OK);
  const auto blocks = device->WithFunction(
      [](IUsbFunction& f) { return static_cast<HandsetUsbFunction&>(f).handset.Blocks(); });
  ASSERT_EQ(blocks.size(), expected.size() + 1);
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(blocks[i + 1].crc, expected[i].crc) << i;

  int zeroLength = 0;
  int shortOnes = 0;
  for (const UrbRecord& urb : device->Urbs()) {
    if (urb.endpoint != 0x81 || urb.status != 0 || urb.length == 0) continue;
    zeroLength += urb.actual == 0;
    shortOnes += urb.actual > 0 && urb.actual < urb.length;
  }
  // Fewer than one per read: a read served from bytes already sent asks for none.
  EXPECT_TRUE(!c.zeroLength || zeroLength > 10) << zeroLength;
  EXPECT_TRUE(c.sizes.empty() || shortOnes > 20) << shortOnes;
  RecordProperty("zero_length_packets", zeroLength);
  RecordProperty("short_packets", shortOnes);
}

INSTANTIATE_TEST_SUITE_P(Packets, ShortPacketRunTest,
                         ::testing::Values(PacketCase{"WholeReplies", {}, false},
                                           PacketCase{"ShortPackets", {1, 3, 7, 16, 5, 2}, false},
                                           PacketCase{"ZeroLengthPackets", {}, true},
                                           PacketCase{"Both", {5, 1, 11}, true},
                                           // A full-speed read channel: texts span several packets.
                                           PacketCase{"FullSpeedPackets", {}, false, 64}),
                         [](const ::testing::TestParamInfo<PacketCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace morvak::usbtest
