#pragma once
// Every USB device present, as a listing command shows it: where it is, what
// it is, whether it is the configured handset and whether it can be opened.
// Makes and destroys a libusb context of its own.
#include <cstdint>
#include <string>
#include <vector>

#include "UsbDeviceMatch.h"

namespace morvak {

struct UsbDeviceInfo {
  uint8_t bus = 0;
  uint8_t address = 0;
  std::string portPath;  // "1-2.3"; empty for a root hub or when unknown
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  const char* speed = "";  // one of the speed texts
  bool matches = false;    // the configured ids (and port) name this device
  // The device opened; a matching one must also carry the handset's channels.
  // Nothing is claimed and no driver is detached to find out.
  bool openable = false;
  std::string whyNot;  // why it cannot be opened; empty when it can
};

// Fills `devices` in libusb's enumeration order, the order in which Open
// picks the first match. With `match` null (no ids configured) no device
// matches. 0, or the Open code of the libusb error that kept the devices from
// being listed (`devices` is then empty).
uint32_t ListUsbDevices(const UsbDeviceMatch* match, std::vector<UsbDeviceInfo>& devices);

}  // namespace morvak
