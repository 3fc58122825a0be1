#pragma once
// How the handset's boot interface is recognised on USB and addressed once
// found: the ids configured in file/LURRA.ini, the interface, the endpoints.
#include <cstdint>
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

// Reads VendorId, ProductId and Port from section LURRA_USB. False when either
// id is missing, empty, 0 or wider than 16 bits: the device is then never
// guessed. The port is taken as written; a missing or empty Port= is any port.
bool ReadUsbDeviceMatch(const CProfileFile& profile, UsbDeviceMatch& match);

// Whether `text` is a port path exactly as FormatPortPath writes one: a bus
// number, '-', and one to seven port numbers joined by '.', every number from
// 1 to 255 without leading zeros ("1-2.3"). Nothing else can ever match.
bool IsPortPath(std::string_view text);

// "1-2.3" for bus 1, ports 2 and 3 (outermost first), as udev names the
// device; empty when there are no port numbers (a root hub, or unknown).
std::string FormatPortPath(uint8_t bus, const uint8_t* ports, int count);

}  // namespace morvak
