// The udev rule, the access-denied line that points to it, and the port a
// handset is chosen by (Port= of the configuration, port paths).
#include <gtest/gtest.h>

#include "ProfileFile.h"
#include "UdevRule.h"
#include "UsbDeviceMatch.h"
#include "UsbProblems.h"

namespace morvak {
namespace {

TEST(UdevRuleTest, TheRuleAndItsFile) {
  EXPECT_EQ(UdevRuleLine(0xabcd, 0x0c02),
            "SUBSYSTEM==\"usb\", ATTR{idVendor}==\"abcd\", ATTR{idProduct}==\"0c02\", TAG+=\"uaccess\"");
  EXPECT_EQ(UdevRuleFile(0xFFFF, 1, "plugdev"),
            "# Morvak: lets the user logged in at this seat open the handset's USB boot\n"
            "# interface ffff:0001 without root. An administrator's own copy goes to\n"
            "# /etc/udev/rules.d/70-morvak.rules (\"morvak-cli udev-rule --install\" writes it\n"
            "# there and reloads udev); replug the handset after a change.\n"
            "SUBSYSTEM==\"usb\", ATTR{idVendor}==\"ffff\", ATTR{idProduct}==\"0001\", MODE=\"0660\", "
            "GROUP=\"plugdev\", TAG+=\"uaccess\"\n");
}

TEST(UdevRuleTest, TheAccessDeniedLineOfTheWaitPointsToIt) {
  const std::string line = AccessDeniedProblem(UsbDevicePlace{0x1234, 0x5678, 1, "1-2"});
  EXPECT_EQ(line,
            "No permission to open the handset's USB device 1234:5678 (bus 1, port 1-2): give your user access with "
            "the udev rule that \"morvak-cli udev-rule\" prints (" +
                UdevRuleLine(0x1234, 0x5678) +
                "), installed as /etc/udev/rules.d/70-morvak.rules, then run \"udevadm control --reload\" and "
                "replug the handset");
}

struct PortCase {
  const char* text;
  bool isPath;
};

class PortPathTest : public ::testing::TestWithParam<PortCase> {};

TEST_P(PortPathTest, OnlyWhatFormatPortPathWritesIsAPortPath) {
  EXPECT_EQ(IsPortPath(GetParam().text), GetParam().isPath) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PortPathTest,
    ::testing::Values(PortCase{"1-2", true}, PortCase{"1-2.3", true}, PortCase{"3-2.3.14", true},
                      PortCase{"255-1.2.3.4.5.6.7", true}, PortCase{"1-1.2.3.4.5.6.7.8", false},
                      PortCase{"", false}, PortCase{"1", false}, PortCase{"1-", false}, PortCase{"1-2.", false},
                      PortCase{"-2", false}, PortCase{"1.2", false}, PortCase{"1-2-3", false},
                      PortCase{"01-2", false}, PortCase{"1-02", false}, PortCase{"0-1", false},
                      PortCase{"1-0", false}, PortCase{"256-1", false}, PortCase{"1-256", false},
                      PortCase{"1-2 ", false}, PortCase{"usb1", false}, PortCase{"1-2:1.0", false},
                      PortCase{"99999-1", false}));

TEST(UsbDeviceMatchPortTest, PortIsReadFromItsSection) {
  UsbDeviceMatch match;
  ASSERT_TRUE(ReadUsbDeviceMatch(
      ProfileFile::FromText("[LURRA_USB]\nVendorId=0x1234\nProductId=0x5678\nport = 1-2.3 \n"), match));
  EXPECT_EQ(match.portPath, "1-2.3");
  EXPECT_TRUE(match.Matches(0x1234, 0x5678, "1-2.3"));
  EXPECT_FALSE(match.Matches(0x1234, 0x5678, "1-2"));
  ASSERT_TRUE(ReadUsbDeviceMatch(ProfileFile::FromText("[LURRA_USB]\nVendorId=1\nProductId=2\nPort=\n"), match));
  EXPECT_EQ(match.portPath, "");
  // Taken as written: a wrong port is for Open to name, not to drop silently.
  ASSERT_TRUE(ReadUsbDeviceMatch(ProfileFile::FromText("[LURRA_USB]\nVendorId=1\nProductId=2\nPort=usb1\n"), match));
  EXPECT_EQ(match.portPath, "usb1");
  EXPECT_EQ(BadPortProblem("usb1", true, "/opt/file/LURRA.ini"),
            "\"usb1\" (Port= in section [LURRA_USB] of /opt/file/LURRA.ini) is not a USB port path: write the port "
            "as udev names it, for example 1-2.3 (bus 1, hub port 2, port 3), or leave it out to take any port");
}

}  // namespace
}  // namespace morvak
