#pragma once
// The transport's OpenProblem() lines, formatted from the texts of UsbTexts.h:
// each names the cause and what the operator can do about it.
#include <cstdint>
#include <string>

namespace morvak {

// The device a problem is about, as the operator can find it.
struct UsbDevicePlace {
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  uint8_t bus = 0;
  std::string portPath;  // empty when unknown
};

std::string NotConfiguredProblem(const std::string& configPath);
// [LURRA_USB] `key`=`value` is no USB id (see ParseUsbId), or is 0.
std::string BadIdProblem(const char* key, const std::string& value, const std::string& configPath);
std::string ZeroIdProblem(const char* key, const std::string& value, const std::string& configPath);
// `setKey`=`setValue` is set and `missingKey` is not.
std::string MissingIdProblem(const char* missingKey, const char* setKey, const std::string& setValue,
                             const std::string& configPath);
// A port that is no port path; `fromConfig` tells whether Port= of the
// configuration gave it (else the caller did).
std::string BadPortProblem(const std::string& port, bool fromConfig, const std::string& configPath);
std::string AccessDeniedProblem(const UsbDevicePlace& place);
std::string BusyProblem(const UsbDevicePlace& place);
// For OPEN_READ_CHANNEL_FAILED / OPEN_WRITE_CHANNEL_FAILED: the device that
// matched the ids lacks that endpoint, so the ids likely name another device.
std::string NoChannelProblem(const UsbDevicePlace& place, bool readChannel, const std::string& configPath);

}  // namespace morvak
