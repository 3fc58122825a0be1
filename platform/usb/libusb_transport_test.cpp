// Which device the libusb transport opens, and what Open says when it cannot,
// against emulated USB devices.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <optional>

#include "LibusbTransport.h"
#include "UsbDeviceList.h"
#include "WithoutFileOverride.h"
#include "usb_test_support.h"

namespace morvak::usbtest {
namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

EmulatedDeviceParams Device(uint16_t vendor, uint16_t product, uint8_t address) {
  EmulatedDeviceParams params;
  params.vendorId = vendor;
  params.productId = product;
  params.address = address;
  params.port = address;
  return params;
}

using OpenTest = TransportTest;

TEST_F(OpenTest, OpensTheConfiguredDeviceAndMovesBytesBothWays) {
  ScriptedFunction* function = nullptr;
  EmulatedUsbDevice* device = Plug({}, &function);
  ASSERT_NE(device, nullptr);
  ConfigureIds(0x1234, 0x5678);
  ASSERT_EQ(Transport().Open(), OPEN_CONNECTED) << Transport().OpenProblem();
  EXPECT_EQ(Transport().OpenProblem(), "");
  EXPECT_EQ(device->Claims(), 1);
  const std::vector<uint8_t> out = Pattern(100);
  ASSERT_TRUE(Transport().Write(out.data(), 100));
  EXPECT_EQ(Scripted(device, [](ScriptedFunction& f) { return f.received; }), out);
  Scripted(device, [](ScriptedFunction& f) { f.Queue(Pattern(16, 9)); });
  uint8_t in[16] = {};
  ASSERT_TRUE(Transport().Read(in, 16));
  EXPECT_EQ(std::vector<uint8_t>(in, in + 16), Pattern(16, 9));
}

// Configurations that name no usable ids: nothing may be opened, not even a
// device that has the handset's endpoints.
struct UnconfiguredCase {
  const char* name;
  std::optional<std::string> text;  // none: no file at all
};

class NotConfiguredTest : public TransportTest, public ::testing::WithParamInterface<UnconfiguredCase> {};

TEST_P(NotConfiguredTest, OpensNothingAndSaysWhereTheIdsGo) {
  EmulatedUsbDevice* device = Plug({});
  ASSERT_NE(device, nullptr);
  if (GetParam().text) Configure(*GetParam().text);
  EXPECT_EQ(Transport().Open(), OPEN_NOT_CONFIGURED);
  EXPECT_EQ(device->Claims(), 0);
  const std::string problem = Transport().OpenProblem();
  EXPECT_TRUE(Contains(problem, m_config)) << problem;
  EXPECT_TRUE(Contains(problem, "[LURRA_USB]")) << problem;
  EXPECT_TRUE(Contains(problem, "VendorId")) << problem;
  EXPECT_TRUE(Contains(problem, "ProductId")) << problem;
  EXPECT_EQ(problem.find('\n'), std::string::npos);
  uint8_t byte = 0;
  EXPECT_FALSE(Transport().Write(&byte, 1));
}

INSTANTIATE_TEST_SUITE_P(
    Configs, NotConfiguredTest,
    ::testing::Values(UnconfiguredCase{"NoFile", std::nullopt}, UnconfiguredCase{"EmptyFile", ""},
                      UnconfiguredCase{"OtherSection", "[LURRA_PARAMS]\nVendorId=0x1234\nProductId=0x5678\n"},
                      UnconfiguredCase{"BothEmpty", "[LURRA_USB]\nVendorId=\nProductId=\n"}),
    [](const ::testing::TestParamInfo<UnconfiguredCase>& param) { return std::string(param.param.name); });

// Ids that are set but unusable: nothing is opened, not even a device whose
// ids the typo would once have been read as, and the line names the key, the
// value as written and the file.
struct InvalidCase {
  const char* name;
  const char* text;
  const char* named;  // what the line names: key=value, or the port
};

class InvalidConfigTest : public TransportTest, public ::testing::WithParamInterface<InvalidCase> {};

TEST_P(InvalidConfigTest, OpensNothingAndNamesTheKeyAndTheValue) {
  // 0x1234:0x5678 is what "0x1234zz" was once read as; 0x04d2:0x162e what
  // "1234" and "+5678" were (decimal).
  EmulatedUsbDevice* typo = Plug({});
  EmulatedDeviceParams decimal;
  decimal.vendorId = 0x04d2;
  decimal.productId = 0x162e;
  decimal.address = 3;
  decimal.port = 3;
  EmulatedUsbDevice* other = Plug(decimal);
  ASSERT_TRUE(typo && other);
  Configure(GetParam().text);
  EXPECT_EQ(Transport().Open(), OPEN_NOT_CONFIGURED);
  EXPECT_EQ(typo->Claims(), 0);
  EXPECT_EQ(other->Claims(), 0);
  const std::string problem = Transport().OpenProblem();
  EXPECT_TRUE(Contains(problem, GetParam().named)) << problem;
  EXPECT_TRUE(Contains(problem, "[LURRA_USB] of " + m_config)) << problem;
  EXPECT_EQ(problem.find('\n'), std::string::npos);
  uint8_t byte = 0;
  EXPECT_FALSE(Transport().Write(&byte, 1));
}

INSTANTIATE_TEST_SUITE_P(
    Configs, InvalidConfigTest,
    ::testing::Values(InvalidCase{"NoProduct", "[LURRA_USB]\nVendorId=0x1234\n", "VendorId=0x1234 is set"},
                      InvalidCase{"EmptyProduct", "[LURRA_USB]\nVendorId=0x1234\nProductId=\n", "but ProductId is not"},
                      InvalidCase{"ZeroVendor", "[LURRA_USB]\nVendorId=0\nProductId=0x5678\n", "VendorId=0 in"},
                      InvalidCase{"TextVendor", "[LURRA_USB]\nVendorId=abcz\nProductId=0x5678\n", "VendorId=abcz in"},
                      InvalidCase{"TrailingLetters", "[LURRA_USB]\nVendorId=0x1234zz\nProductId=0x5678\n",
                                  "VendorId=0x1234zz in"},
                      // Truncated to 16 bits this would be 0x1234, the device's own id.
                      InvalidCase{"WideVendor", "[LURRA_USB]\nVendorId=0x11234\nProductId=0x5678\n",
                                  "VendorId=0x11234 in"},
                      InvalidCase{"SignedProduct", "[LURRA_USB]\nVendorId=1234\nProductId=+5678\n",
                                  "ProductId=+5678 in"},
                      InvalidCase{"BadPort", "[LURRA_USB]\nVendorId=1234\nProductId=5678\nPort=1-2x\n", "\"1-2x\""}),
    [](const ::testing::TestParamInfo<InvalidCase>& param) { return std::string(param.param.name); });

TEST_F(OpenTest, IdsWithoutPrefixAreHexadecimal) {
  // "12ab" was once read as decimal 12: the device with vendor 0x000c would
  // have been claimed.
  EmulatedDeviceParams four;
  four.vendorId = 0x000c;
  four.address = 2;
  four.port = 2;
  EmulatedDeviceParams handset;
  handset.vendorId = 0x12ab;
  handset.address = 3;
  handset.port = 3;
  EmulatedUsbDevice* wrong = Plug(four);
  EmulatedUsbDevice* right = Plug(handset);
  ASSERT_TRUE(wrong && right);
  Configure("[LURRA_USB]\nVendorId=12ab\nProductId=5678\n");
  ASSERT_EQ(Transport().Open(), OPEN_CONNECTED) << Transport().OpenProblem();
  EXPECT_EQ(right->Claims(), 1);
  EXPECT_EQ(wrong->Claims(), 0);
  EXPECT_EQ(Transport().OpenedPortPath(), "1-3");
}

TEST_F(OpenTest, OpensOnlyTheConfiguredIdsAmongSeveralDevices) {
  EmulatedUsbDevice* other = Plug(Device(0x1111, 0x2222, 2));
  EmulatedUsbDevice* sameVendor = Plug(Device(0x1234, 0x9999, 3));
  EmulatedUsbDevice* handset = Plug(Device(0x1234, 0x5678, 4));
  ASSERT_TRUE(other && sameVendor && handset);
  // Profile semantics: names in any case, values trimmed; ids hexadecimal
  // with or without 0x.
  Configure("[lurra_usb]\n vendorid = 0x1234 \nPRODUCTID=5678\n");
  ASSERT_EQ(Transport().Open(), OPEN_CONNECTED) << Transport().OpenProblem();
  EXPECT_EQ(handset->Claims(), 1);
  EXPECT_EQ(other->Claims(), 0);
  EXPECT_EQ(sameVendor->Claims(), 0);
  const uint8_t byte = 0x5A;
  ASSERT_TRUE(Transport().Write(&byte, 1));
  EXPECT_EQ(Scripted(handset, [](ScriptedFunction& f) { return f.received; }), std::vector<uint8_t>{0x5A});
  EXPECT_TRUE(Scripted(other, [](ScriptedFunction& f) { return f.received.empty(); }));
}

TEST_F(OpenTest, ReadsTheIdsAgainAtEveryOpenAndReleasesTheEarlierChannels) {
  EmulatedUsbDevice* first = Plug(Device(0x1234, 0x5678, 2));
  EmulatedUsbDevice* second = Plug(Device(0x1111, 0x2222, 3));
  ASSERT_TRUE(first && second);
  ConfigureIds(0x1234, 0x5678);
  ASSERT_EQ(Transport().Open(), OPEN_CONNECTED);
  ASSERT_EQ(Transport().Open(), OPEN_CONNECTED);
  EXPECT_EQ(first->Claims(), 2);
  EXPECT_EQ(first->Releases(), 1);
  ConfigureIds(0x1111, 0x2222);
  ASSERT_EQ(Transport().Open(), OPEN_CONNECTED);
  EXPECT_EQ(first->Releases(), 2);
  EXPECT_EQ(second->Claims(), 1);
  std::filesystem::remove(m_config);
  EXPECT_EQ(Transport().Open(), OPEN_NOT_CONFIGURED);
  EXPECT_EQ(second->Releases(), 1);
  Transport().Close();
  Transport().Close();  // harmless when nothing is open
  EXPECT_EQ(second->Releases(), 1);
}

TEST_F(OpenTest, NoDeviceWaitsBrieflyAndReportsNoProblem) {
  EmulatedUsbDevice* other = Plug(Device(0x1111, 0x2222, 2));
  ASSERT_NE(other, nullptr);
  ConfigureIds(0x1234, 0x5678);
  for (int attempt = 0; attempt < 3; ++attempt) {
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(Transport().Open(), OPEN_NO_DEVICE);
    const double took = MillisecondsSince(start);
    // It waits for an arrival rather than return at once, and never long
    // enough to hold up a stop request (the bound leaves room for a loaded,
    // sanitized machine; a wait that blocks is seconds).
    EXPECT_GE(took, 5.0);
    EXPECT_LT(took, 100.0);
    EXPECT_EQ(Transport().OpenProblem(), "");
  }
  EXPECT_EQ(other->Claims(), 0);
  uint8_t byte = 0;
  EXPECT_FALSE(Transport().Read(&byte, 1));
}

TEST_F(OpenTest, BusyDeviceIsReportedWithNothingLeftOpen) {
  EmulatedUsbDevice* device = Plug({});
  ASSERT_NE(device, nullptr);
  ConfigureIds(0x1234, 0x5678);
  device->FailClaims(EBUSY);
  EXPECT_EQ(Transport().Open(), OPEN_BUSY);
  const std::string problem = Transport().OpenProblem();
  EXPECT_TRUE(Contains(problem, "1234:5678")) << problem;
  EXPECT_TRUE(Contains(problem, "port 1-2")) << problem;
  EXPECT_TRUE(Contains(problem, "in use by another program")) << problem;
  uint8_t byte = 0;
  EXPECT_FALSE(Transport().Write(&byte, 1));
  device->FailClaims(0);
  EXPECT_EQ(Transport().Open(), OPEN_CONNECTED);
  EXPECT_EQ(Transport().OpenProblem(), "");
}

TEST_F(OpenTest, DeniedAccessNamesTheUdevRule) {
  EmulatedUsbDevice* device = Plug({});
  ASSERT_NE(device, nullptr);
  ConfigureIds(0x1234, 0x5678);
  const std::string node = m_bed->NodeFile(*device);
  ASSERT_EQ(chmod(node.c_str(), 0), 0) << node;
  {
    WithoutFileOverride asUser;
    if (!asUser.Effective()) GTEST_SKIP() << "cannot drop the file-access override of root here";
    EXPECT_EQ(Transport().Open(), OPEN_ACCESS_DENIED);
  }
  const std::string problem = Transport().OpenProblem();
  EXPECT_TRUE(Contains(problem, "No permission")) << problem;
  EXPECT_TRUE(Contains(problem, "ATTR{idVendor}==\"1234\", ATTR{idProduct}==\"5678\", TAG+=\"uaccess\"")) << problem;
  EXPECT_EQ(device->Claims(), 0);
  ASSERT_EQ(chmod(node.c_str(), 0644), 0);
  EXPECT_EQ(Transport().Open(), OPEN_CONNECTED);
}

struct MissingChannelCase {
  const char* name;
  bool bulkIn;
  bool bulkOut;
  uint32_t result;
  const char* endpoint;
};

class MissingChannelTest : public TransportTest, public ::testing::WithParamInterface<MissingChannelCase> {};

TEST_P(MissingChannelTest, IsReportedAsThatChannelFailing) {
  EmulatedDeviceParams params;
  params.bulkIn = GetParam().bulkIn;
  params.bulkOut = GetParam().bulkOut;
  EmulatedUsbDevice* device = Plug(params);
  ASSERT_NE(device, nullptr);
  ConfigureIds(0x1234, 0x5678);
  EXPECT_EQ(Transport().Open(), GetParam().result);
  EXPECT_EQ(device->Claims(), 0);
  const std::string problem = Transport().OpenProblem();
  EXPECT_TRUE(Contains(problem, GetParam().endpoint)) << problem;
  EXPECT_TRUE(Contains(problem, m_config)) << problem;
}

INSTANTIATE_TEST_SUITE_P(
    Channels, MissingChannelTest,
    ::testing::Values(MissingChannelCase{"NoBulkIn", false, true, OPEN_READ_CHANNEL_FAILED, "bulk IN endpoint 0x81"},
                      MissingChannelCase{"NoBulkOut", true, false, OPEN_WRITE_CHANNEL_FAILED, "bulk OUT endpoint 0x02"},
                      MissingChannelCase{"Neither", false, false, OPEN_READ_CHANNEL_FAILED, "bulk IN endpoint 0x81"}),
    [](const ::testing::TestParamInfo<MissingChannelCase>& param) { return std::string(param.param.name); });

TEST_F(OpenTest, DeviceListShowsEveryDeviceAndWhichIsTheHandset) {
  EmulatedDeviceParams slow = Device(0x1111, 0x2222, 3);
  slow.speedMbps = 12;
  EmulatedDeviceParams noOut = Device(0x1234, 0x5678, 5);
  noOut.bulkOut = false;
  ASSERT_TRUE(Plug(Device(0x1234, 0x5678, 2)) && Plug(slow) && Plug(noOut));
  UsbDeviceMatch match;
  match.vendorId = 0x1234;
  match.productId = 0x5678;
  std::vector<UsbDeviceInfo> devices;
  ASSERT_EQ(ListUsbDevices(&match, devices), 0u);
  ASSERT_EQ(devices.size(), 3u);
  std::map<int, UsbDeviceInfo> byAddress;
  for (const UsbDeviceInfo& info : devices) byAddress[info.address] = info;

  const UsbDeviceInfo& handset = byAddress.at(2);
  EXPECT_EQ(handset.bus, 1);
  EXPECT_EQ(handset.portPath, "1-2");
  EXPECT_EQ(handset.vendorId, 0x1234);
  EXPECT_EQ(handset.productId, 0x5678);
  EXPECT_STREQ(handset.speed, "high (480 Mbit/s)");
  EXPECT_TRUE(handset.matches);
  EXPECT_TRUE(handset.openable);
  EXPECT_EQ(handset.whyNot, "");

  const UsbDeviceInfo& other = byAddress.at(3);
  EXPECT_EQ(other.portPath, "1-3");
  EXPECT_STREQ(other.speed, "full (12 Mbit/s)");
  EXPECT_FALSE(other.matches);
  EXPECT_TRUE(other.openable);

  const UsbDeviceInfo& broken = byAddress.at(5);
  EXPECT_TRUE(broken.matches);
  EXPECT_FALSE(broken.openable);
  EXPECT_EQ(broken.whyNot, "no bulk OUT endpoint 0x02 on interface 0");

  // Without ids nothing matches; listing claims nothing.
  ASSERT_EQ(ListUsbDevices(nullptr, devices), 0u);
  for (const UsbDeviceInfo& info : devices) EXPECT_FALSE(info.matches);
}

TEST_F(OpenTest, DeviceListSaysWhyADeviceCannotBeOpened) {
  EmulatedUsbDevice* device = Plug({});
  ASSERT_NE(device, nullptr);
  ASSERT_EQ(chmod(m_bed->NodeFile(*device).c_str(), 0), 0);
  std::vector<UsbDeviceInfo> devices;
  {
    WithoutFileOverride asUser;
    if (!asUser.Effective()) GTEST_SKIP() << "cannot drop the file-access override of root here";
    ASSERT_EQ(ListUsbDevices(nullptr, devices), 0u);
  }
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_FALSE(devices[0].openable);
  EXPECT_EQ(devices[0].whyNot, "no permission (a udev rule with TAG+=\"uaccess\" is needed)");
}

}  // namespace
}  // namespace morvak::usbtest
