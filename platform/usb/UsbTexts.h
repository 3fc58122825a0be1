#pragma once
// Every configuration name and operator text of the libusb transport, each
// defined once. The texts are single lines an operator can act on.

namespace morvak::usbtexts {

// Where the handset's boot interface is described in file/LURRA.ini.
inline constexpr const char* kSection = "LURRA_USB";
inline constexpr const char* kVendorKey = "VendorId";
inline constexpr const char* kProductKey = "ProductId";
// Reserved for a later filter on the port the handset is plugged into
// ("1-2.3"); not read yet.
inline constexpr const char* kPortKey = "Port";

// OpenProblem() texts. Arguments in order as named.
// kVendorKey, kProductKey, kVendorKey, kSection, configuration file path.
inline constexpr const char* kNotConfiguredFormat =
    "No handset USB ids configured: set %s and %s (for example %s=0x1234) in section [%s] of %s";
// vid, pid, bus, port path, vid, pid.
inline constexpr const char* kAccessDeniedFormat =
    "No permission to open the handset's USB device %04x:%04x (bus %u, port %s): give your user "
    "access with a udev rule such as SUBSYSTEM==\"usb\", ATTR{idVendor}==\"%04x\", "
    "ATTR{idProduct}==\"%04x\", TAG+=\"uaccess\" in /etc/udev/rules.d/70-morvak.rules, then "
    "run \"udevadm control --reload\" and replug the handset";
// vid, pid, bus, port path.
inline constexpr const char* kBusyFormat =
    "The handset's USB device %04x:%04x (bus %u, port %s) is in use by another program: close "
    "that program, or unplug and replug the handset";
// vid, pid, bus, port path, endpoint, kSection, configuration file path.
inline constexpr const char* kNoReadChannelFormat =
    "USB device %04x:%04x (bus %u, port %s) has no bulk IN endpoint 0x%02x on interface 0: check "
    "that VendorId and ProductId in section [%s] of %s name the handset's boot interface";
inline constexpr const char* kNoWriteChannelFormat =
    "USB device %04x:%04x (bus %u, port %s) has no bulk OUT endpoint 0x%02x on interface 0: check "
    "that VendorId and ProductId in section [%s] of %s name the handset's boot interface";

// Reasons of the device list, why a device cannot be opened.
inline constexpr const char* kWhyAccessDenied = "no permission (a udev rule with TAG+=\"uaccess\" is needed)";
inline constexpr const char* kWhyBusy = "in use by another program";
inline constexpr const char* kWhyGone = "went away";
inline constexpr const char* kWhyNoReadChannel = "no bulk IN endpoint 0x81 on interface 0";
inline constexpr const char* kWhyNoWriteChannel = "no bulk OUT endpoint 0x02 on interface 0";

// Device speeds as the list shows them.
inline constexpr const char* kSpeedLow = "low (1.5 Mbit/s)";
inline constexpr const char* kSpeedFull = "full (12 Mbit/s)";
inline constexpr const char* kSpeedHigh = "high (480 Mbit/s)";
inline constexpr const char* kSpeedSuper = "super (5 Gbit/s)";
inline constexpr const char* kSpeedSuperPlus = "super+ (10 Gbit/s)";
inline constexpr const char* kSpeedUnknown = "unknown";

}  // namespace morvak::usbtexts
