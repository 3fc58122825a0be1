// The ids a handset is matched by, port paths, Open codes of libusb errors
// and the operator's lines; no USB needed.
#include <gtest/gtest.h>
#include <libusb.h>

#include <optional>
#include <set>
#include <string>

#include "LibusbDevice.h"
#include "Transport.h"
#include "UsbDeviceMatch.h"
#include "UsbProblems.h"

namespace morvak {
namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(UsbDeviceMatch, ReadsBothIdsFromTheirSection) {
  UsbDeviceMatch match;
  // Ids are hexadecimal with or without 0x: "1234" is 0x1234 (it was read as
  // decimal 1234 once).
  ASSERT_TRUE(ReadUsbDeviceMatch(
      ProfileFile::FromText("[LURRA_PARAMS]\nVendorId=0x1\n[Lurra_Usb]\nVENDORID = 0xABCD\nproductid=1234\n"), match));
  EXPECT_EQ(match.vendorId, 0xABCD);
  EXPECT_EQ(match.productId, 0x1234);
  EXPECT_EQ(match.portPath, "");
  // The widest ids there are.
  ASSERT_TRUE(ReadUsbDeviceMatch(ProfileFile::FromText("[LURRA_USB]\nVendorId=0xFFFF\nProductId=1\n"), match));
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
      // Read once as 0x12AB and 12, which would open another device.
      "[LURRA_USB]\nVendorId=0x12abzz\nProductId=0x1234\n",
      "[LURRA_USB]\nVendorId=0x1234\nProductId=2abh\n",
      "[LURRA_USB]\nVendorId=12345\nProductId=0x1234\n",
  };
  for (const char* text : texts) {
    UsbDeviceMatch match;
    match.vendorId = 7;
    EXPECT_FALSE(ReadUsbDeviceMatch(ProfileFile::FromText(text), match)) << text;
    EXPECT_EQ(match.vendorId, 7) << text;
  }
}

// USB ids: hexadecimal, with or without 0x, exactly 1 to 4 hex digits and
// nothing else.
struct IdCase {
  const char* text;
  std::optional<uint16_t> id;
};

class UsbIdTest : public ::testing::TestWithParam<IdCase> {};

TEST_P(UsbIdTest, IsReadAsHexadecimalOrRefused) {
  EXPECT_EQ(ParseUsbId(GetParam().text), GetParam().id) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Texts, UsbIdTest,
    ::testing::Values(IdCase{"12ab", 0x12ab}, IdCase{"0x12ab", 0x12ab}, IdCase{"0X12AB", 0x12ab},
                      IdCase{"2AB", 0x02ab}, IdCase{"1", 0x0001}, IdCase{"0x1", 0x0001}, IdCase{"ffff", 0xffff},
                      IdCase{"0xFFFF", 0xffff}, IdCase{"4660", 0x4660}, IdCase{"0", 0}, IdCase{"0x0", 0},
                      IdCase{"0000", 0},
                      // Refused: anything that is not 1 to 4 hex digits after an optional 0x.
                      IdCase{"", std::nullopt}, IdCase{"0x", std::nullopt}, IdCase{"0X", std::nullopt},
                      IdCase{"0x12abzz", std::nullopt}, IdCase{"12abzz", std::nullopt}, IdCase{"2abh", std::nullopt},
                      IdCase{"+2ab", std::nullopt}, IdCase{"-1", std::nullopt}, IdCase{"12345", std::nullopt},
                      IdCase{"0x12345", std::nullopt}, IdCase{"0x00001", std::nullopt},
                      IdCase{"0x10000", std::nullopt}, IdCase{" 2ab", std::nullopt}, IdCase{"2ab ", std::nullopt},
                      IdCase{"12 ab", std::nullopt}, IdCase{"x2ab", std::nullopt}, IdCase{"0xx2ab", std::nullopt},
                      IdCase{"#2ab", std::nullopt}, IdCase{"2ab;", std::nullopt}, IdCase{"none", std::nullopt},
                      IdCase{"0b1", 0x00b1}, IdCase{"1.0", std::nullopt}, IdCase{"\"12ab\"", std::nullopt}));

// [LURRA_USB] as a whole: not configured, configured, or refused with the
// line that names the key, the value and the file.
struct ConfigCase {
  const char* name;
  const char* text;
  UsbConfigState state;
  uint16_t vendorId;   // when configured
  uint16_t productId;  // when configured
  const char* portPath;
  const char* problem;  // exactly, with FILE for the path; none when configured
};

constexpr const char* kFile = "/opt/morvak/file/LURRA.ini";

std::string WithFile(const char* text) {
  std::string line = text;
  const size_t at = line.find("FILE");
  if (at != std::string::npos) line.replace(at, 4, kFile);
  return line;
}

class UsbConfigTest : public ::testing::TestWithParam<ConfigCase> {};

TEST_P(UsbConfigTest, IsCheckedAsAWhole) {
  const ConfigCase& c = GetParam();
  UsbDeviceMatch match;
  match.vendorId = 7;
  match.productId = 8;
  match.portPath = "untouched";
  std::string problem = "stale";
  const ProfileFile profile = ProfileFile::FromText(c.text);
  EXPECT_EQ(CheckUsbDeviceMatch(profile, kFile, match, problem), c.state);
  EXPECT_EQ(problem, WithFile(c.problem));
  EXPECT_EQ(problem.find('\n'), std::string::npos);
  UsbDeviceMatch read;
  if (c.state == UsbConfigState::Configured) {
    EXPECT_EQ(match.vendorId, c.vendorId);
    EXPECT_EQ(match.productId, c.productId);
    EXPECT_EQ(match.portPath, c.portPath);
    // The plain reader agrees.
    ASSERT_TRUE(ReadUsbDeviceMatch(profile, read));
    EXPECT_EQ(read, match);
  } else {
    EXPECT_EQ(match.vendorId, 7);
    EXPECT_EQ(match.productId, 8);
    EXPECT_EQ(match.portPath, "untouched");
    // Refused ids are refused by the plain reader as well; a bad Port= is
    // for the callers of the plain reader to check.
    const bool idsUsable = c.state == UsbConfigState::Invalid && std::string(c.name).rfind("Port", 0) == 0;
    EXPECT_EQ(ReadUsbDeviceMatch(profile, read), idsUsable);
  }
}

constexpr const char* kNotConfigured =
    "No handset USB ids configured: set VendorId and ProductId (for example VendorId=0x1234) in section "
    "[LURRA_USB] of FILE";

INSTANTIATE_TEST_SUITE_P(
    Configs, UsbConfigTest,
    ::testing::Values(
        ConfigCase{"NoSection", "", UsbConfigState::NotConfigured, 0, 0, "", kNotConfigured},
        ConfigCase{"OtherSection", "[LURRA_PARAMS]\nVendorId=0x1234\nProductId=0x5678\n",
                   UsbConfigState::NotConfigured, 0, 0, "", kNotConfigured},
        ConfigCase{"BothEmpty", "[LURRA_USB]\nVendorId=\nProductId=\nPort=1-2\n", UsbConfigState::NotConfigured, 0,
                   0, "", kNotConfigured},
        ConfigCase{"WithPrefix", "[LURRA_USB]\nVendorId=0x12ab\nProductId=0x5A6B\n", UsbConfigState::Configured,
                   0x12ab, 0x5a6b, "", ""},
        ConfigCase{"WithoutPrefix", "[LURRA_USB]\nVendorId=12ab\nProductId=5a6b\n", UsbConfigState::Configured,
                   0x12ab, 0x5a6b, "", ""},
        // The profile reader trims values.
        ConfigCase{"Trimmed", "[LURRA_USB]\nVendorId = 12ab \nProductId=\t1\t\nPort= 1-2.3 \n",
                   UsbConfigState::Configured, 0x12ab, 0x0001, "1-2.3", ""},
        ConfigCase{"TrailingLetters", "[LURRA_USB]\nVendorId=0x12abzz\nProductId=0x5a6b\n", UsbConfigState::Invalid,
                   0, 0, "",
                   "VendorId=0x12abzz in section [LURRA_USB] of FILE is not a USB id: write 1 to 4 hexadecimal "
                   "digits, for example 0x12ab"},
        ConfigCase{"Sign", "[LURRA_USB]\nVendorId=+2ab\nProductId=0x5a6b\n", UsbConfigState::Invalid, 0, 0, "",
                   "VendorId=+2ab in section [LURRA_USB] of FILE is not a USB id: write 1 to 4 hexadecimal "
                   "digits, for example 0x12ab"},
        ConfigCase{"Negative", "[LURRA_USB]\nVendorId=0x12ab\nProductId=-1\n", UsbConfigState::Invalid, 0, 0, "",
                   "ProductId=-1 in section [LURRA_USB] of FILE is not a USB id: write 1 to 4 hexadecimal "
                   "digits, for example 0x12ab"},
        ConfigCase{"PrefixOnly", "[LURRA_USB]\nVendorId=0x\nProductId=0x5a6b\n", UsbConfigState::Invalid, 0, 0, "",
                   "VendorId=0x in section [LURRA_USB] of FILE is not a USB id: write 1 to 4 hexadecimal "
                   "digits, for example 0x12ab"},
        ConfigCase{"FiveDigits", "[LURRA_USB]\nVendorId=0x12ab\nProductId=12345\n", UsbConfigState::Invalid, 0, 0,
                   "",
                   "ProductId=12345 in section [LURRA_USB] of FILE is not a USB id: write 1 to 4 hexadecimal "
                   "digits, for example 0x12ab"},
        ConfigCase{"Suffix", "[LURRA_USB]\nVendorId=2abh\nProductId=0x5a6b\n", UsbConfigState::Invalid, 0, 0, "",
                   "VendorId=2abh in section [LURRA_USB] of FILE is not a USB id: write 1 to 4 hexadecimal "
                   "digits, for example 0x12ab"},
        ConfigCase{"BothBadNamesTheVendor", "[LURRA_USB]\nVendorId=abcde\nProductId=xyz\n", UsbConfigState::Invalid,
                   0, 0, "",
                   "VendorId=abcde in section [LURRA_USB] of FILE is not a USB id: write 1 to 4 hexadecimal "
                   "digits, for example 0x12ab"},
        ConfigCase{"ZeroVendor", "[LURRA_USB]\nVendorId=0x0\nProductId=0x5a6b\n", UsbConfigState::Invalid, 0, 0, "",
                   "VendorId=0x0 in section [LURRA_USB] of FILE is 0, which no USB device has: write the "
                   "handset's id in 1 to 4 hexadecimal digits, for example 0x12ab"},
        ConfigCase{"ZeroProduct", "[LURRA_USB]\nVendorId=0x12ab\nProductId=0000\n", UsbConfigState::Invalid, 0, 0,
                   "",
                   "ProductId=0000 in section [LURRA_USB] of FILE is 0, which no USB device has: write the "
                   "handset's id in 1 to 4 hexadecimal digits, for example 0x12ab"},
        ConfigCase{"OnlyVendor", "[LURRA_USB]\nVendorId=12ab\n", UsbConfigState::Invalid, 0, 0, "",
                   "VendorId=12ab is set in section [LURRA_USB] of FILE but ProductId is not: set both VendorId "
                   "and ProductId, each in 1 to 4 hexadecimal digits"},
        ConfigCase{"OnlyProductTheOtherEmpty", "[LURRA_USB]\nVendorId=\nProductId=0x5a6b\n", UsbConfigState::Invalid,
                   0, 0, "",
                   "ProductId=0x5a6b is set in section [LURRA_USB] of FILE but VendorId is not: set both VendorId "
                   "and ProductId, each in 1 to 4 hexadecimal digits"},
        // A malformed id is named before a missing one.
        ConfigCase{"OnlyABadVendor", "[LURRA_USB]\nVendorId=0x12abzz\n", UsbConfigState::Invalid, 0, 0, "",
                   "VendorId=0x12abzz in section [LURRA_USB] of FILE is not a USB id: write 1 to 4 hexadecimal "
                   "digits, for example 0x12ab"},
        ConfigCase{"PortNoPath", "[LURRA_USB]\nVendorId=12ab\nProductId=5a6b\nPort=usb1\n", UsbConfigState::Invalid,
                   0, 0, "",
                   "\"usb1\" (Port= in section [LURRA_USB] of FILE) is not a USB port path: write the port as udev "
                   "names it, for example 1-2.3 (bus 1, hub port 2, port 3), or leave it out to take any port"},
        ConfigCase{"PortLeadingZero", "[LURRA_USB]\nVendorId=12ab\nProductId=5a6b\nPort=1-02\n",
                   UsbConfigState::Invalid, 0, 0, "",
                   "\"1-02\" (Port= in section [LURRA_USB] of FILE) is not a USB port path: write the port as udev "
                   "names it, for example 1-2.3 (bus 1, hub port 2, port 3), or leave it out to take any port"},
        ConfigCase{"PortEmptyIsAnyPort", "[LURRA_USB]\nVendorId=12ab\nProductId=5a6b\nPort=\n",
                   UsbConfigState::Configured, 0x12ab, 0x5a6b, "", ""}),
    [](const ::testing::TestParamInfo<ConfigCase>& param) { return std::string(param.param.name); });

TEST(UsbConfig, APortAskedForTakesThePlaceOfPortAndIsCheckedTheSameWay) {
  const ProfileFile profile = ProfileFile::FromText("[LURRA_USB]\nVendorId=12ab\nProductId=5a6b\nPort=1-02\n");
  UsbDeviceMatch match;
  std::string problem;
  ASSERT_EQ(CheckUsbDeviceMatch(profile, kFile, match, problem, "1-4"), UsbConfigState::Configured) << problem;
  EXPECT_EQ(match.portPath, "1-4");
  EXPECT_EQ(problem, "");
  EXPECT_EQ(CheckUsbDeviceMatch(profile, kFile, match, problem, "2.1"), UsbConfigState::Invalid);
  EXPECT_EQ(problem,
            "\"2.1\" (the port asked for) is not a USB port path: write the port as udev names it, for example "
            "1-2.3 (bus 1, hub port 2, port 3), or leave it out to take any port");
  EXPECT_EQ(match.portPath, "1-4");
  // Bad ids are refused whatever port is asked for.
  EXPECT_EQ(CheckUsbDeviceMatch(ProfileFile::FromText("[LURRA_USB]\nVendorId=2abh\nProductId=5a6b\n"), kFile,
                                match, problem, "1-4"),
            UsbConfigState::Invalid);
  EXPECT_EQ(problem.rfind("VendorId=2abh in section [LURRA_USB] of " + std::string(kFile), 0), 0u) << problem;
}

TEST(UsbConfig, AValueOfAnyLengthIsNamedWhole) {
  const std::string value = "0x" + std::string(3000, '7');
  const std::string path = "/" + std::string(3000, 'd') + "/LURRA.ini";
  UsbDeviceMatch match;
  std::string problem;
  EXPECT_EQ(CheckUsbDeviceMatch(ProfileFile::FromText("[LURRA_USB]\nVendorId=" + value + "\nProductId=1\n"), path,
                                match, problem),
            UsbConfigState::Invalid);
  EXPECT_TRUE(Contains(problem, "VendorId=" + value + " in section [LURRA_USB] of " + path + " is not a USB id"));
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
