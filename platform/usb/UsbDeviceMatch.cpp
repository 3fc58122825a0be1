#include "UsbDeviceMatch.h"

#include <optional>

#include "HexDigit.h"
#include "UsbProblems.h"
#include "UsbTexts.h"

namespace morvak {
namespace {

// One id key as written: absent (missing or empty), or its text.
std::optional<std::string> IdText(const ProfileFile& profile, const char* key) {
  std::optional<std::string> text = profile.GetString(usbtexts::kSection, key);
  if (text && text->empty()) text.reset();
  return text;
}

// A set id key: its value, or the problem line when it is none.
std::optional<uint16_t> CheckId(const char* key, const std::string& text, const std::string& configPath,
                                std::string& problem) {
  const std::optional<uint16_t> id = ParseUsbId(text);
  if (!id) {
    problem = BadIdProblem(key, text, configPath);
    return std::nullopt;
  }
  if (*id == 0) {
    problem = ZeroIdProblem(key, text, configPath);
    return std::nullopt;
  }
  return id;
}

}  // namespace

std::optional<uint16_t> ParseUsbId(std::string_view text) {
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.remove_prefix(2);
  if (text.empty() || text.size() > 4) return std::nullopt;
  unsigned value = 0;
  for (char c : text) {
    const int digit = HexDigit(c);
    if (digit < 0) return std::nullopt;
    value = value * 16 + static_cast<unsigned>(digit);
  }
  return static_cast<uint16_t>(value);
}

bool UsbDeviceMatch::Matches(uint16_t vendor, uint16_t product, std::string_view devicePortPath) const {
  if (vendor != vendorId || product != productId) return false;
  return portPath.empty() || portPath == devicePortPath;
}

UsbConfigState CheckUsbDeviceMatch(const ProfileFile& profile, const std::string& configPath, UsbDeviceMatch& match,
                                   std::string& problem, std::string_view portAskedFor) {
  problem.clear();
  const std::optional<std::string> vendorText = IdText(profile, usbtexts::kVendorKey);
  const std::optional<std::string> productText = IdText(profile, usbtexts::kProductKey);
  if (!vendorText && !productText) {
    problem = NotConfiguredProblem(configPath);
    return UsbConfigState::NotConfigured;
  }
  std::optional<uint16_t> vendor;
  std::optional<uint16_t> product;
  if (vendorText) {
    vendor = CheckId(usbtexts::kVendorKey, *vendorText, configPath, problem);
    if (!vendor) return UsbConfigState::Invalid;
  }
  if (productText) {
    product = CheckId(usbtexts::kProductKey, *productText, configPath, problem);
    if (!product) return UsbConfigState::Invalid;
  }
  if (!vendorText) {
    problem = MissingIdProblem(usbtexts::kVendorKey, usbtexts::kProductKey, *productText, configPath);
    return UsbConfigState::Invalid;
  }
  if (!productText) {
    problem = MissingIdProblem(usbtexts::kProductKey, usbtexts::kVendorKey, *vendorText, configPath);
    return UsbConfigState::Invalid;
  }
  const bool portFromConfig = portAskedFor.empty();
  const std::string port = portFromConfig
                               ? profile.GetString(usbtexts::kSection, usbtexts::kPortKey).value_or(std::string())
                               : std::string(portAskedFor);
  // A port that is no port path would match nothing, and a wait for it would
  // never say why.
  if (!port.empty() && !IsPortPath(port)) {
    problem = BadPortProblem(port, portFromConfig, configPath);
    return UsbConfigState::Invalid;
  }
  match.vendorId = *vendor;
  match.productId = *product;
  match.portPath = port;
  return UsbConfigState::Configured;
}

bool ReadUsbDeviceMatch(const ProfileFile& profile, UsbDeviceMatch& match) {
  const std::optional<std::string> vendorText = IdText(profile, usbtexts::kVendorKey);
  const std::optional<std::string> productText = IdText(profile, usbtexts::kProductKey);
  if (!vendorText || !productText) return false;
  const std::optional<uint16_t> vendor = ParseUsbId(*vendorText);
  const std::optional<uint16_t> product = ParseUsbId(*productText);
  if (!vendor || !product || *vendor == 0 || *product == 0) return false;
  match.vendorId = *vendor;
  match.productId = *product;
  match.portPath = profile.GetString(usbtexts::kSection, usbtexts::kPortKey).value_or(std::string());
  return true;
}

bool IsPortPath(std::string_view text) {
  constexpr int kMaxPorts = 7;
  uint8_t numbers[1 + kMaxPorts];
  int count = 0;
  size_t i = 0;
  while (i < text.size()) {
    unsigned value = 0;
    const size_t start = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 4)
      value = value * 10 + static_cast<unsigned>(text[i++] - '0');
    if (i == start || value == 0 || value > 255 || count == 1 + kMaxPorts) return false;
    numbers[count++] = static_cast<uint8_t>(value);
    if (i == text.size()) break;
    if (text[i] != (count == 1 ? '-' : '.') || ++i == text.size()) return false;
  }
  // Leading zeros and other spellings of the same numbers are not the name.
  return count >= 2 && FormatPortPath(numbers[0], numbers + 1, count - 1) == text;
}

std::string FormatPortPath(uint8_t bus, const uint8_t* ports, int count) {
  if (count <= 0) return {};
  std::string path = std::to_string(bus) + "-";
  for (int i = 0; i < count; ++i) {
    if (i > 0) path += '.';
    path += std::to_string(ports[i]);
  }
  return path;
}

}  // namespace morvak
