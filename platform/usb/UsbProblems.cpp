#include "UsbProblems.h"

#include <cstdarg>
#include <cstdio>

#include "UdevRule.h"
#include "UsbDeviceMatch.h"
#include "UsbTexts.h"

namespace morvak {
namespace {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text;
  if (length > 0) {
    text.resize(static_cast<size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), format, again);
    text.resize(static_cast<size_t>(length));
  }
  va_end(again);
  return text;
}

const char* PortText(const UsbDevicePlace& place) { return place.portPath.empty() ? "?" : place.portPath.c_str(); }

}  // namespace

std::string NotConfiguredProblem(const std::string& configPath) {
  return Format(usbtexts::kNotConfiguredFormat, usbtexts::kVendorKey, usbtexts::kProductKey, usbtexts::kVendorKey,
                usbtexts::kSection, configPath.c_str());
}

std::string BadIdProblem(const char* key, const std::string& value, const std::string& configPath) {
  return Format(usbtexts::kBadIdFormat, key, value.c_str(), usbtexts::kSection, configPath.c_str());
}

std::string ZeroIdProblem(const char* key, const std::string& value, const std::string& configPath) {
  return Format(usbtexts::kZeroIdFormat, key, value.c_str(), usbtexts::kSection, configPath.c_str());
}

std::string MissingIdProblem(const char* missingKey, const char* setKey, const std::string& setValue,
                             const std::string& configPath) {
  return Format(usbtexts::kMissingIdFormat, setKey, setValue.c_str(), usbtexts::kSection, configPath.c_str(),
                missingKey, usbtexts::kVendorKey, usbtexts::kProductKey);
}

std::string BadPortProblem(const std::string& port, bool fromConfig, const std::string& configPath) {
  const std::string source = fromConfig ? Format(usbtexts::kPortFromConfigFormat, usbtexts::kPortKey,
                                                 usbtexts::kSection, configPath.c_str())
                                        : std::string(usbtexts::kPortFromCaller);
  return Format(usbtexts::kBadPortFormat, port.c_str(), source.c_str());
}

std::string AccessDeniedProblem(const UsbDevicePlace& place) {
  return Format(usbtexts::kAccessDeniedFormat, place.vendorId, place.productId, place.bus, PortText(place),
                usbtexts::kUdevRuleCommand, UdevRuleLine(place.vendorId, place.productId).c_str(),
                usbtexts::kUdevRulePath);
}

std::string BusyProblem(const UsbDevicePlace& place) {
  return Format(usbtexts::kBusyFormat, place.vendorId, place.productId, place.bus, PortText(place));
}

std::string NoChannelProblem(const UsbDevicePlace& place, bool readChannel, const std::string& configPath) {
  return Format(readChannel ? usbtexts::kNoReadChannelFormat : usbtexts::kNoWriteChannelFormat, place.vendorId,
                place.productId, place.bus, PortText(place), readChannel ? USB_READ_ENDPOINT : USB_WRITE_ENDPOINT,
                usbtexts::kSection, configPath.c_str());
}

}  // namespace morvak
