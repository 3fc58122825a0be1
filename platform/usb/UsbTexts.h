#pragma once
// Every configuration name and operator text of the libusb transport, each
// defined once. The texts are single lines an operator can act on.

namespace morvak::usbtexts {

// Where the handset's boot interface is described in file/LURRA.ini.
inline constexpr const char* kSection = "LURRA_USB";
inline constexpr const char* kVendorKey = "VendorId";
inline constexpr const char* kProductKey = "ProductId";
// The port the handset must be plugged into, as udev names it ("1-2.3");
// empty or missing for any port.
inline constexpr const char* kPortKey = "Port";

// The udev rule that gives the user logged in at the seat access to the
// handset's boot interface (vid, pid), where it is installed, and the
// command that prints it.
inline constexpr const char* kUdevRuleFormat =
    "SUBSYSTEM==\"usb\", ATTR{idVendor}==\"%04x\", ATTR{idProduct}==\"%04x\", TAG+=\"uaccess\"";
// The same rule that also gives the device to a group (vid, pid, group), for
// accounts with no seat (services, kiosks).
inline constexpr const char* kUdevRuleGroupFormat =
    "SUBSYSTEM==\"usb\", ATTR{idVendor}==\"%04x\", ATTR{idProduct}==\"%04x\", MODE=\"0660\", GROUP=\"%s\", "
    "TAG+=\"uaccess\"";
inline constexpr const char* kUdevRulePath = "/etc/udev/rules.d/70-morvak.rules";
inline constexpr const char* kUdevRuleCommand = "morvak-cli udev-rule";
// The comment above the rule in the file: vid, pid, rule path. The same text
// heads the rule a package installs under /usr/lib/udev/rules.d, which a file
// of the same name in /etc/udev/rules.d overrides.
inline constexpr const char* kUdevRuleHeaderFormat =
    "# Morvak: lets the user logged in at this seat open the handset's USB boot\n"
    "# interface %04x:%04x without root. An administrator's own copy goes to\n"
    "# %s (\"morvak-cli udev-rule --install\" writes it\n"
    "# there and reloads udev); replug the handset after a change.\n";

// OpenProblem() texts. Arguments in order as named.
// kVendorKey, kProductKey, kVendorKey, kSection, configuration file path.
inline constexpr const char* kNotConfiguredFormat =
    "No handset USB ids configured: set %s and %s (for example %s=0x1234) in section [%s] of %s";
// An id that is not as ParseUsbId takes it. Key, value as written, kSection,
// configuration file path.
inline constexpr const char* kBadIdFormat =
    "%s=%s in section [%s] of %s is not a USB id: write 1 to 4 hexadecimal digits, for example 0x12ab";
// An id of 0. Key, value as written, kSection, configuration file path.
inline constexpr const char* kZeroIdFormat =
    "%s=%s in section [%s] of %s is 0, which no USB device has: write the handset's id in 1 to 4 "
    "hexadecimal digits, for example 0x12ab";
// One id set and the other not. The key set, its value, kSection, the
// configuration file path, the key missing, kVendorKey, kProductKey.
inline constexpr const char* kMissingIdFormat =
    "%s=%s is set in section [%s] of %s but %s is not: set both %s and %s, each in 1 to 4 "
    "hexadecimal digits";
// vid, pid, bus, port path, kUdevRuleCommand, the rule, kUdevRulePath.
inline constexpr const char* kAccessDeniedFormat =
    "No permission to open the handset's USB device %04x:%04x (bus %u, port %s): give your user "
    "access with the udev rule that \"%s\" prints (%s), installed as %s, then "
    "run \"udevadm control --reload\" and replug the handset";
// The port text, where it came from (kPortFromConfigFormat or kPortFromCaller).
inline constexpr const char* kBadPortFormat =
    "\"%s\" (%s) is not a USB port path: write the port as udev names it, for example 1-2.3 "
    "(bus 1, hub port 2, port 3), or leave it out to take any port";
// kPortKey, kSection, configuration file path.
inline constexpr const char* kPortFromConfigFormat = "%s= in section [%s] of %s";
inline constexpr const char* kPortFromCaller = "the port asked for";
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
