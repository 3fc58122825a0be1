#include "EmulatedDeviceParams.h"

#include <cstdio>
#include <vector>

namespace morvak::usbtest {
namespace {

void Put16(std::vector<uint8_t>& bytes, uint16_t value) {
  bytes.push_back(static_cast<uint8_t>(value));
  bytes.push_back(static_cast<uint8_t>(value >> 8));
}

void PutEndpoint(std::vector<uint8_t>& bytes, uint8_t address, uint16_t maxPacketSize) {
  bytes.insert(bytes.end(), {7, 0x05, address, 0x02 /* bulk */});
  Put16(bytes, maxPacketSize);
  bytes.push_back(0);  // bInterval
}

// "001" for 1, as bus and device numbers appear in device paths.
std::string ThreeDigits(unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, "%03u", value);
  return text;
}

}  // namespace

std::string SysfsName(const EmulatedDeviceParams& params) {
  return std::to_string(params.bus) + "-" + std::to_string(params.port);
}

std::string SysfsPath(const EmulatedDeviceParams& params) {
  return "/sys/devices/usb" + std::to_string(params.bus) + "/" + SysfsName(params);
}

std::string DeviceNode(const EmulatedDeviceParams& params) {
  return "/dev/bus/usb/" + ThreeDigits(params.bus) + "/" + ThreeDigits(params.address);
}

std::string DescriptorsHex(const EmulatedDeviceParams& params) {
  std::vector<uint8_t> bytes = {18, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 64};
  Put16(bytes, params.vendorId);
  Put16(bytes, params.productId);
  bytes.insert(bytes.end(), {0x00, 0x01, 0, 0, 0, 1});  // bcdDevice 1.00, no strings, one configuration

  const uint8_t endpoints = static_cast<uint8_t>((params.bulkIn ? 1 : 0) + (params.bulkOut ? 1 : 0));
  const uint16_t total = static_cast<uint16_t>(9 + 9 + 7 * endpoints);
  bytes.insert(bytes.end(), {9, 0x02});
  Put16(bytes, total);
  bytes.insert(bytes.end(), {1, 1, 0, 0x80, 50});                         // one interface, value 1, 100 mA
  bytes.insert(bytes.end(), {9, 0x04, 0, 0, endpoints, 0xFF, 0xFF, 0xFF, 0});  // interface 0, vendor class
  if (params.bulkIn) PutEndpoint(bytes, 0x81, params.maxPacketSize);
  if (params.bulkOut) PutEndpoint(bytes, 0x02, params.maxPacketSize);

  std::string hex;
  char pair[3];
  for (uint8_t b : bytes) {
    std::snprintf(pair, sizeof pair, "%02x", b);
    hex += pair;
  }
  return hex;
}

std::string DeviceRecord(const EmulatedDeviceParams& params) {
  const std::string node = DeviceNode(params);
  const std::string bus = std::to_string(params.bus);
  const std::string address = std::to_string(params.address);
  std::string record;
  record += "P: " + SysfsPath(params).substr(4) + "\n";  // without "/sys"
  record += "N: " + node.substr(5) + "\n";             // without "/dev/"
  record += "E: SUBSYSTEM=usb\n";
  record += "E: DEVTYPE=usb_device\n";
  record += "E: DRIVER=usb\n";
  record += "E: BUSNUM=" + ThreeDigits(params.bus) + "\n";
  record += "E: DEVNUM=" + ThreeDigits(params.address) + "\n";
  record += "E: DEVNAME=" + node + "\n";
  // Attribute values end in a newline, as the kernel writes them.
  record += "A: busnum=" + bus + "\\n\n";
  record += "A: devnum=" + address + "\\n\n";
  record += "A: speed=" + std::to_string(params.speedMbps) + "\\n\n";
  record += "A: bConfigurationValue=1\\n\n";
  record += "H: descriptors=" + DescriptorsHex(params) + "\n";
  return record;
}

}  // namespace morvak::usbtest
