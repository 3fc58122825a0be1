#pragma once
// What an emulated USB device looks like on the bus, and its description in
// the form the umockdev testbed takes (sysfs attributes and raw descriptors).
#include <cstdint>
#include <string>

namespace morvak::usbtest {

struct EmulatedDeviceParams {
  uint16_t vendorId = 0x1234;
  uint16_t productId = 0x5678;
  uint8_t bus = 1;
  uint8_t address = 2;  // the device number on its bus; unique within a testbed
  uint8_t port = 2;     // the root-hub port it is plugged into: port path "1-2"
  unsigned speedMbps = 480;
  uint16_t maxPacketSize = 512;
  // Interface 0, alternate setting 0 carries these endpoints.
  bool bulkIn = true;   // 0x81
  bool bulkOut = true;  // 0x02
};

// "1-2": the sysfs name, which is also the port path.
std::string SysfsName(const EmulatedDeviceParams& params);
// "/sys/devices/usb1/1-2", the path uevents name.
std::string SysfsPath(const EmulatedDeviceParams& params);
// "/dev/bus/usb/001/002"
std::string DeviceNode(const EmulatedDeviceParams& params);
// Device descriptor and configuration 1 (one vendor-specific interface), in
// hex, as the sysfs "descriptors" attribute holds them.
std::string DescriptorsHex(const EmulatedDeviceParams& params);
// The record umockdev_testbed_add_from_string takes.
std::string DeviceRecord(const EmulatedDeviceParams& params);

}  // namespace morvak::usbtest
