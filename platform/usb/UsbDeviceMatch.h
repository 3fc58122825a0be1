#pragma once
// How the handset's boot interface is recognised on USB and addressed once
// found: the ids configured in file/LURRA.ini, the interface, the endpoints.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ProfileFile.h"

namespace morvak {

// Interface 0, alternate setting 0: bulk IN 0x81 is the read channel, bulk
// OUT 0x02 the write channel.
inline constexpr int USB_BOOT_INTERFACE = 0;
inline constexpr int USB_BOOT_ALT_SETTING = 0;
inline constexpr uint8_t USB_READ_ENDPOINT = 0x81;
inline constexpr uint8_t USB_WRITE_ENDPOINT = 0x02;
// The packet size reads are made of when the read channel's wMaxPacketSize
// cannot be read or is 0: a multiple of every size a bulk endpoint may have
// (8 to 1,024 bytes), so a read of whole packets of it never overflows.
inline constexpr uint32_t USB_FALLBACK_PACKET_SIZE = 1024;

struct UsbDeviceMatch {
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  // The port the handset must be plugged into, as udev names it ("1-2.3");
  // empty for any port. [LURRA_USB] Port= as written (see IsPortPath).
  std::string portPath;

  // `devicePortPath` is the device's own port path (empty when unknown, which
  // never matches a port filter).
  bool Matches(uint16_t vendor, uint16_t product, std::string_view devicePortPath) const;
  friend bool operator==(const UsbDeviceMatch&, const UsbDeviceMatch&) = default;
};

// A USB id as [LURRA_USB] takes it: hexadecimal, with or without 0x (or 0X),
// exactly 1 to 4 hex digits and nothing else ("12ab", "0x12AB", "1"). Nothing
// for anything else ("4660" is 0x4660, never decimal; "+2ab", "-1", "0x",
// "12345", "0x12abzz", "2abh", " 2ab" are refused). 0 is well formed here;
// no device has it, so the readers below refuse it.
std::optional<uint16_t> ParseUsbId(std::string_view text);

enum class UsbConfigState {
  NotConfigured,  // neither VendorId nor ProductId set (missing or empty)
  Invalid,        // an id malformed or 0, only one of the two set, or Port= no port path
  Configured,     // both ids usable and the port, if any, a port path
};

// Reads VendorId, ProductId and Port from section [LURRA_USB] of `profile`
// (loaded from `configPath`, which the problem line names). Configured fills
// `match` and clears `problem`; Invalid leaves `match` alone and sets `problem`
// to one operator line naming the key, its value and the file (UsbTexts.h);
// NotConfigured leaves `match` alone and sets `problem` to the line that says
// where the ids go. `portAskedFor`, when not empty, takes the place of Port=
// (which is then not looked at) and is checked the same way.
UsbConfigState CheckUsbDeviceMatch(const ProfileFile& profile, const std::string& configPath, UsbDeviceMatch& match,
                                   std::string& problem, std::string_view portAskedFor = {});

// The ids alone, for callers that need no reason: false when either id is
// missing, empty, 0 or not as ParseUsbId takes it, leaving `match` alone; the
// device is then never guessed. The port is taken as written (a missing or
// empty Port= is any port); CheckUsbDeviceMatch is what checks it.
bool ReadUsbDeviceMatch(const ProfileFile& profile, UsbDeviceMatch& match);

// Whether `text` is a port path exactly as FormatPortPath writes one: a bus
// number, '-', and one to seven port numbers joined by '.', every number from
// 1 to 255 without leading zeros ("1-2.3"). Nothing else can ever match.
bool IsPortPath(std::string_view text);

// "1-2.3" for bus 1, ports 2 and 3 (outermost first), as udev names the
// device; empty when there are no port numbers (a root hub, or unknown).
std::string FormatPortPath(uint8_t bus, const uint8_t* ports, int count);

}  // namespace morvak
