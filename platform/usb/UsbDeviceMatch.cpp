#include "UsbDeviceMatch.h"

#include <optional>

#include "UsbTexts.h"

namespace morvak {
namespace {

// A 16-bit id from the profile, or nothing when the key is absent, empty,
// zero (what a mistyped value parses as) or too wide.
std::optional<uint16_t> ReadId(const CProfileFile& profile, const char* key) {
  const std::optional<std::string> text = profile.GetString(usbtexts::kSection, key);
  if (!text || text->empty()) return std::nullopt;
  const uint32_t value = ParseProfileNumber(*text);
  if (value == 0 || value > 0xFFFFu) return std::nullopt;
  return static_cast<uint16_t>(value);
}

}  // namespace

bool UsbDeviceMatch::Matches(uint16_t vendor, uint16_t product, std::string_view devicePortPath) const {
  if (vendor != vendorId || product != productId) return false;
  return portPath.empty() || portPath == devicePortPath;
}

bool ReadUsbDeviceMatch(const CProfileFile& profile, UsbDeviceMatch& match) {
  const std::optional<uint16_t> vendor = ReadId(profile, usbtexts::kVendorKey);
  const std::optional<uint16_t> product = ReadId(profile, usbtexts::kProductKey);
  if (!vendor || !product) return false;
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
