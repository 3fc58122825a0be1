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
  // [LURRA_USB] Port= is not offered yet; once it is, it is read into
  // match.portPath here, and Matches() already honours it.
  match.portPath.clear();
  return true;
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
