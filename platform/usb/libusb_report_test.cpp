// The running programmer's reports through real libusb, sent as a handset
// sends them: a text frame, its text and the next frames in one packet or one
// transfer. CTargetLink reads each frame and each text in the pieces it always
// has (a frame, 255 bytes of text, the rest skipped); the transport must
// serve those reads without asking the device for less than a packet.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "Frame.h"
#include "LibusbTransport.h"
#include "LinkTexts.h"
#include "RecordingTarget.h"
#include "TargetLink.h"
#include "usb_test_support.h"

namespace morvak::usbtest {
namespace {

using morvak::testing::RunEventKind;

void PutFrame(std::vector<uint8_t>& bytes, uint32_t magic, uint32_t code, uint32_t param1, uint32_t param2) {
  uint8_t frame[FRAME_SIZE];
  PackFrame(Frame{magic, code, param1, param2}, frame);
  bytes.insert(bytes.end(), frame, frame + FRAME_SIZE);
}

void PutText(std::vector<uint8_t>& bytes, const std::string& text) {
  PutFrame(bytes, DATA_MAGIC, DATA_TEXT, 0, static_cast<uint32_t>(text.size()));
  bytes.insert(bytes.end(), text.begin(), text.end());
}

std::string Text(size_t length, char first) {
  std::string text(length, ' ');
  for (size_t i = 0; i < length; ++i) text[i] = static_cast<char>(first + static_cast<char>(i % 26));
  return text;
}

class ReportOverUsbTest : public EmulatedUsbTest {
 protected:
  void SetUp() override {
    EmulatedUsbTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ConfigureIds(0x1234, 0x5678);
    m_device = Plug({}, &m_function);
    ASSERT_NE(m_device, nullptr);
    m_link = std::make_unique<CTargetLink>();
    m_link->m_pOwner = &m_window;
    m_link->m_device.SetTransport(std::make_unique<LibusbTransport>(m_config));
    ASSERT_EQ(m_link->m_device.Open(), OPEN_CONNECTED);
  }
  void DropClients() override { m_link.reset(); }

  void Send(std::vector<uint8_t> piece) {
    Scripted(m_device, [&](ScriptedFunction& f) { f.Queue(std::move(piece)); });
  }
  std::vector<uint32_t> Progress() const {
    std::vector<uint32_t> positions;
    for (const auto& m : m_window.Messages())
      if (m.kind == RunEventKind::kProgressPosition) positions.push_back(static_cast<uint32_t>(m.value));
    return positions;
  }
  bool Overflowed() const {
    for (const UrbRecord& urb : m_device->Urbs())
      if (urb.status == -EOVERFLOW) return true;
    return false;
  }

  EmulatedUsbDevice* m_device = nullptr;
  ScriptedFunction* m_function = nullptr;
  morvak::testing::RecordingTarget m_window;
  std::unique_ptr<CTargetLink> m_link;
};

TEST_F(ReportOverUsbTest, ATextOf300BytesAndTheFramesAroundItInOnePacket) {
  const std::string longText = Text(300, 'a');
  const std::string shortText = Text(40, 'A');
  std::vector<uint8_t> packet;
  PutText(packet, longText);
  PutFrame(packet, COMMAND_MAGIC, REPORT_PROGRESS, 7, 0);
  PutText(packet, shortText);
  PutFrame(packet, COMMAND_MAGIC, REPORT_ACK, 0, 0);
  ASSERT_LT(packet.size(), 512u);  // one short packet
  Send(packet);
  EXPECT_EQ(m_link->WaitReport(), 1) << ::testing::PrintToString(m_window.Lines());
  EXPECT_EQ(m_window.Lines(), (std::vector<std::string>{longText.substr(0, 255), shortText}));
  EXPECT_EQ(Progress(), std::vector<uint32_t>{7});
  EXPECT_FALSE(Overflowed());
}

TEST_F(ReportOverUsbTest, TextsAndFramesOfOneTransferOverSeveralPackets) {
  // Three texts of 300 bytes and their frames, a progress frame between each:
  // 1,000 bytes, sent as one transfer (packets of 512 and 488 bytes).
  std::vector<uint8_t> transfer;
  std::vector<std::string> texts;
  for (uint32_t i = 0; i < 3; ++i) {
    texts.push_back(Text(300, static_cast<char>('a' + i)));
    PutText(transfer, texts.back());
    PutFrame(transfer, COMMAND_MAGIC, REPORT_PROGRESS, i, 0);
  }
  PutFrame(transfer, COMMAND_MAGIC, REPORT_ACK, 0, 0);
  Send(transfer);
  EXPECT_EQ(m_link->WaitReport(), 1) << ::testing::PrintToString(m_window.Lines());
  std::vector<std::string> expected;
  for (const std::string& text : texts) expected.push_back(text.substr(0, 255));
  EXPECT_EQ(m_window.Lines(), expected);
  EXPECT_EQ(Progress(), (std::vector<uint32_t>{0, 1, 2}));
  EXPECT_FALSE(Overflowed());
}

TEST_F(ReportOverUsbTest, TwoFramesInOnePacket) {
  std::vector<uint8_t> packet;
  PutFrame(packet, COMMAND_MAGIC, REPORT_PROGRESS, 3, 0);
  PutFrame(packet, COMMAND_MAGIC, REPORT_ACK, 0, 0);
  Send(packet);
  EXPECT_EQ(m_link->WaitReport(), 1) << ::testing::PrintToString(m_window.Lines());
  EXPECT_EQ(Progress(), std::vector<uint32_t>{3});
  EXPECT_TRUE(m_window.Lines().empty());
  EXPECT_FALSE(Overflowed());
}

}  // namespace
}  // namespace morvak::usbtest
