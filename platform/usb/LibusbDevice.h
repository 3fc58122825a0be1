#pragma once
// What the transport and the device list learn about one libusb device
// without claiming it: where it is plugged in, how fast it is, whether it
// carries the handset's channels, and what a libusb error means as an Open
// result. Only platform/usb/ sees libusb.
#include <libusb.h>

#include <cstdint>
#include <string>

#include "UsbProblems.h"

namespace morvak {

// The device's port path as udev names it ("1-2.3"); empty for a root hub
// or when libusb does not know the topology.
std::string PortPathOf(libusb_device* device);

// The device as a problem line names it.
UsbDevicePlace PlaceOf(libusb_device* device, uint16_t vendorId, uint16_t productId);

const char* SpeedName(int speed);

// 0 when interface 0, alternate setting 0 of the active configuration has a
// bulk IN endpoint 0x81 and a bulk OUT endpoint 0x02; otherwise
// OPEN_READ_CHANNEL_FAILED or OPEN_WRITE_CHANNEL_FAILED for the one missing
// (the read channel is looked at first), or the Open code of the libusb error
// that kept the descriptor from being read.
uint32_t CheckChannels(libusb_device* device);

// wMaxPacketSize of bulk IN 0x81 on interface 0, alternate setting 0 of the
// active configuration; USB_FALLBACK_PACKET_SIZE when it cannot be read or is 0.
uint32_t ReadPacketSize(libusb_device* device);

// The Open result for a (negative) libusb error: access denied, busy and a
// vanished device have codes of their own, as has lack of memory; every
// other error is OPEN_LIBUSB_ERROR_BASE | -error.
uint32_t OpenResultOf(int libusbError);

}  // namespace morvak
