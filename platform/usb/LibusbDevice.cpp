#include "LibusbDevice.h"

#include "Transport.h"
#include "UsbDeviceMatch.h"
#include "UsbTexts.h"

namespace morvak {
namespace {

// USB 3 hubs nest at most seven levels deep.
constexpr int kMaxPortDepth = 7;

bool HasBulkEndpoint(const libusb_interface_descriptor& setting, uint8_t address) {
  for (int i = 0; i < setting.bNumEndpoints; ++i) {
    const libusb_endpoint_descriptor& endpoint = setting.endpoint[i];
    if (endpoint.bEndpointAddress == address &&
        (endpoint.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) == LIBUSB_TRANSFER_TYPE_BULK)
      return true;
  }
  return false;
}

const libusb_interface_descriptor* BootSetting(const libusb_config_descriptor& config) {
  for (int i = 0; i < config.bNumInterfaces; ++i) {
    const libusb_interface& interface = config.interface[i];
    for (int a = 0; a < interface.num_altsetting; ++a) {
      const libusb_interface_descriptor& setting = interface.altsetting[a];
      if (setting.bInterfaceNumber == USB_BOOT_INTERFACE && setting.bAlternateSetting == USB_BOOT_ALT_SETTING)
        return &setting;
    }
  }
  return nullptr;
}

}  // namespace

std::string PortPathOf(libusb_device* device) {
  uint8_t ports[kMaxPortDepth];
  const int count = libusb_get_port_numbers(device, ports, kMaxPortDepth);
  return FormatPortPath(libusb_get_bus_number(device), ports, count);
}

UsbDevicePlace PlaceOf(libusb_device* device, uint16_t vendorId, uint16_t productId) {
  return UsbDevicePlace{vendorId, productId, libusb_get_bus_number(device), PortPathOf(device)};
}

const char* SpeedName(int speed) {
  switch (speed) {
    case LIBUSB_SPEED_LOW: return usbtexts::kSpeedLow;
    case LIBUSB_SPEED_FULL: return usbtexts::kSpeedFull;
    case LIBUSB_SPEED_HIGH: return usbtexts::kSpeedHigh;
    case LIBUSB_SPEED_SUPER: return usbtexts::kSpeedSuper;
    case LIBUSB_SPEED_SUPER_PLUS: return usbtexts::kSpeedSuperPlus;
    default: return usbtexts::kSpeedUnknown;
  }
}

uint32_t CheckChannels(libusb_device* device) {
  libusb_config_descriptor* config = nullptr;
  const int rc = libusb_get_active_config_descriptor(device, &config);
  // An unconfigured device has no interface, so no read channel either.
  if (rc == LIBUSB_ERROR_NOT_FOUND) return OPEN_READ_CHANNEL_FAILED;
  if (rc != 0) return OpenResultOf(rc);
  uint32_t result = 0;
  const libusb_interface_descriptor* setting = BootSetting(*config);
  if (setting == nullptr || !HasBulkEndpoint(*setting, USB_READ_ENDPOINT))
    result = OPEN_READ_CHANNEL_FAILED;
  else if (!HasBulkEndpoint(*setting, USB_WRITE_ENDPOINT))
    result = OPEN_WRITE_CHANNEL_FAILED;
  libusb_free_config_descriptor(config);
  return result;
}

uint32_t ReadPacketSize(libusb_device* device) {
  libusb_config_descriptor* config = nullptr;
  if (libusb_get_active_config_descriptor(device, &config) != 0) return USB_FALLBACK_PACKET_SIZE;
  uint32_t size = 0;
  if (const libusb_interface_descriptor* setting = BootSetting(*config)) {
    for (int i = 0; i < setting->bNumEndpoints; ++i) {
      const libusb_endpoint_descriptor& endpoint = setting->endpoint[i];
      // Bits 10..0 are the size; the rest is for high-bandwidth periodic endpoints.
      if (endpoint.bEndpointAddress == USB_READ_ENDPOINT) size = endpoint.wMaxPacketSize & 0x7FFu;
    }
  }
  libusb_free_config_descriptor(config);
  return size != 0 ? size : USB_FALLBACK_PACKET_SIZE;
}

uint32_t OpenResultOf(int libusbError) {
  switch (libusbError) {
    case LIBUSB_ERROR_ACCESS: return OPEN_ACCESS_DENIED;
    case LIBUSB_ERROR_BUSY: return OPEN_BUSY;
    case LIBUSB_ERROR_NO_DEVICE: return OPEN_NO_DEVICE;
    case LIBUSB_ERROR_NO_MEM: return OPEN_NO_MEMORY;
    default: return OPEN_LIBUSB_ERROR_BASE | static_cast<uint32_t>(-libusbError);
  }
}

}  // namespace morvak
