// The ids a handset is matched by, port paths, Open codes of libusb errors
// and the operator's lines; no USB needed.
#include <gtest/gtest.h>
#include <libusb.h>

#include <set>

#include "LibusbDevice.h"
#include "Transport.h"
#include "UsbDeviceMatch.h"
#include "UsbProblems.h"

namespace morvak {
namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(UsbDeviceMatch, ReadsBothIdsFromTheirSection) {
  UsbDeviceMatch match;
  ASSERT_TRUE(ReadUsbDeviceMatch(
      CProfileFile::FromText("[LURRA_PARAMS]\nVendorId=0x1\n[Lurra_Usb]\nVENDORID = 0xABCD\nproductid=4660\n"), match));
  EXPECT_EQ(match.vendorId, 0xABCD);
  EXPECT_EQ(match.productId, 0x1234);
  EXPECT_EQ(match.portPath, "");
  // The widest ids there are.
  ASSERT_TRUE(ReadUsbDeviceMatch(CProfileFile::FromText("[LURRA_USB]\nVendorId=0xFFFF\nProductId=1\n"), match));
  EXPECT_EQ(match.vendorId, 0xFFFF);
  EXPECT_EQ(match.productId, 1);
}

TEST(UsbDeviceMatch, UnusableIdsLeaveTheMatchAlone) {
  const char* texts[] = {
      "",
      "[LURRA_USB]\nVendorId=0x1234\n",
      "[LURRA_USB]\nProductId=0x1234\n",
      "[LURRA_USB]\nVendorId=\nProductId=0x1234\n",
      "[LURRA_USB]\nVendorId=0\nProductId=0x1234\n",
      "[LURRA_USB]\nVendorId=0x1234\nProductId=0x0\n",
      "[LURRA_USB]\nVendorId=0x10000\nProductId=0x1234\n",
      "[LURRA_USB]\nVendorId=-1\nProductId=0x1234\n",
      "[LURRA_USB]\nVendorId=none\nProductId=0x1234\n",
  };
  for (const char* text : texts) {
    UsbDeviceMatch match;
    match.vendorId = 7;
    EXPECT_FALSE(ReadUsbDeviceMatch(CProfileFile::FromText(text), match)) << text;
    EXPECT_EQ(match.vendorId, 7) << text;
  }
}

TEST(UsbDeviceMatch, MatchesIdsAndThePortWhenOneIsGiven) {
  UsbDeviceMatch match;
  match.vendorId = 0x1234;
  match.productId = 0x5678;
  EXPECT_TRUE(match.Matches(0x1234, 0x5678, "1-2"));
  EXPECT_TRUE(match.Matches(0x1234, 0x5678, ""));
  EXPECT_FALSE(match.Matches(0x1234, 0x5679, "1-2"));
  EXPECT_FALSE(match.Matches(0x5678, 0x1234, "1-2"));
  match.portPath = "1-2.3";
  EXPECT_TRUE(match.Matches(0x1234, 0x5678, "1-2.3"));
  EXPECT_FALSE(match.Matches(0x1234, 0x5678, "1-2"));
  EXPECT_FALSE(match.Matches(0x1234, 0x5678, "1-2.3.1"));
  EXPECT_FALSE(match.Matches(0x1234, 0x5678, ""));
}

TEST(UsbDeviceMatch, FormatsPortPathsAsUdevNamesThem) {
  const uint8_t ports[] = {2, 3, 14};
  EXPECT_EQ(FormatPortPath(1, ports, 1), "1-2");
  EXPECT_EQ(FormatPortPath(3, ports, 3), "3-2.3.14");
  EXPECT_EQ(FormatPortPath(1, ports, 0), "");
  EXPECT_EQ(FormatPortPath(1, ports, LIBUSB_ERROR_OVERFLOW), "");
}

TEST(UsbOpenResult, LibusbErrorsNeverLookLikeTheOtherCodes) {
  EXPECT_EQ(OpenResultOf(LIBUSB_ERROR_ACCESS), OPEN_ACCESS_DENIED);
  EXPECT_EQ(OpenResultOf(LIBUSB_ERROR_BUSY), OPEN_BUSY);
  EXPECT_EQ(OpenResultOf(LIBUSB_ERROR_NO_DEVICE), OPEN_NO_DEVICE);
  EXPECT_EQ(OpenResultOf(LIBUSB_ERROR_NO_MEM), OPEN_NO_MEMORY);
  EXPECT_EQ(OpenResultOf(LIBUSB_ERROR_IO), OPEN_LIBUSB_ERROR_BASE | 1u);
  EXPECT_EQ(OpenResultOf(LIBUSB_ERROR_OTHER), OPEN_LIBUSB_ERROR_BASE | 99u);
  const std::set<uint32_t> reserved = {OPEN_CONNECTED,      OPEN_NO_MEMORY,      OPEN_READ_CHANNEL_FAILED,
                                       OPEN_WRITE_CHANNEL_FAILED, OPEN_NOT_CONFIGURED, OPEN_INTERRUPTED};
  const int others[] = {LIBUSB_ERROR_IO,        LIBUSB_ERROR_INVALID_PARAM, LIBUSB_ERROR_NOT_FOUND,
                        LIBUSB_ERROR_TIMEOUT,   LIBUSB_ERROR_OVERFLOW,      LIBUSB_ERROR_PIPE,
                        LIBUSB_ERROR_INTERRUPTED, LIBUSB_ERROR_NOT_SUPPORTED, LIBUSB_ERROR_OTHER};
  std::set<uint32_t> seen;
  for (int error : others) {
    const uint32_t code = OpenResultOf(error);
    EXPECT_EQ(reserved.count(code), 0u) << error;
    EXPECT_TRUE(seen.insert(code).second) << error;
  }
}

TEST(UsbProblems, EachLineNamesTheDeviceAndTheRemedy) {
  const UsbDevicePlace place{0x0bb4, 0x0c02, 3, "3-1.4"};
  const std::string denied = AccessDeniedProblem(place);
  EXPECT_TRUE(Contains(denied, "0bb4:0c02 (bus 3, port 3-1.4)")) << denied;
  EXPECT_TRUE(Contains(denied, "SUBSYSTEM==\"usb\", ATTR{idVendor}==\"0bb4\", ATTR{idProduct}==\"0c02\", "
                               "TAG+=\"uaccess\""))
      << denied;
  const std::string busy = BusyProblem(UsbDevicePlace{0x1234, 0x5678, 1, ""});
  EXPECT_TRUE(Contains(busy, "1234:5678 (bus 1, port ?) is in use by another program")) << busy;
  const std::string notConfigured = NotConfiguredProblem("/opt/morvak/file/LURRA.ini");
  EXPECT_EQ(notConfigured,
            "No handset USB ids configured: set VendorId and ProductId (for example VendorId=0x1234) in section "
            "[LURRA_USB] of /opt/morvak/file/LURRA.ini");
  // A long path is never cut short.
  const std::string longPath = "/" + std::string(3000, 'd') + "/file/LURRA.ini";
  EXPECT_TRUE(Contains(NotConfiguredProblem(longPath), longPath));
  EXPECT_TRUE(Contains(NoChannelProblem(place, true, longPath), "bulk IN endpoint 0x81"));
  EXPECT_TRUE(Contains(NoChannelProblem(place, false, longPath), "bulk OUT endpoint 0x02"));
  for (const std::string& line : {denied, busy, notConfigured}) EXPECT_EQ(line.find('\n'), std::string::npos);
}

}  // namespace
}  // namespace morvak
