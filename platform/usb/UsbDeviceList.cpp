#include "UsbDeviceList.h"

#include <libusb.h>

#include "LibusbDevice.h"
#include "Transport.h"
#include "UsbTexts.h"

namespace morvak {
namespace {

const char* WhyNot(uint32_t openResult, int libusbError) {
  switch (openResult) {
    case OPEN_ACCESS_DENIED: return usbtexts::kWhyAccessDenied;
    case OPEN_BUSY: return usbtexts::kWhyBusy;
    case OPEN_NO_DEVICE: return usbtexts::kWhyGone;
    case OPEN_READ_CHANNEL_FAILED: return usbtexts::kWhyNoReadChannel;
    case OPEN_WRITE_CHANNEL_FAILED: return usbtexts::kWhyNoWriteChannel;
    default: return libusb_error_name(libusbError);
  }
}

void Probe(libusb_device* device, UsbDeviceInfo& info) {
  if (info.matches) {
    const uint32_t channels = CheckChannels(device);
    if (channels != 0) {
      info.whyNot = WhyNot(channels, LIBUSB_ERROR_OTHER);
      return;
    }
  }
  libusb_device_handle* handle = nullptr;
  const int rc = libusb_open(device, &handle);
  if (rc != 0) {
    info.whyNot = WhyNot(OpenResultOf(rc), rc);
    return;
  }
  libusb_close(handle);
  info.openable = true;
}

}  // namespace

uint32_t ListUsbDevices(const UsbDeviceMatch* match, std::vector<UsbDeviceInfo>& devices) {
  devices.clear();
  libusb_context* context = nullptr;
  int rc = libusb_init(&context);
  if (rc != 0) return OpenResultOf(rc);
  libusb_device** list = nullptr;
  const ssize_t count = libusb_get_device_list(context, &list);
  if (count < 0) {
    libusb_exit(context);
    return OpenResultOf(static_cast<int>(count));
  }
  for (ssize_t i = 0; i < count; ++i) {
    libusb_device* device = list[i];
    UsbDeviceInfo info;
    info.bus = libusb_get_bus_number(device);
    info.address = libusb_get_device_address(device);
    info.portPath = PortPathOf(device);
    info.speed = SpeedName(libusb_get_device_speed(device));
    libusb_device_descriptor descriptor{};
    rc = libusb_get_device_descriptor(device, &descriptor);
    if (rc == 0) {
      info.vendorId = descriptor.idVendor;
      info.productId = descriptor.idProduct;
      info.matches = match != nullptr && match->Matches(info.vendorId, info.productId, info.portPath);
      Probe(device, info);
    } else {
      info.whyNot = libusb_error_name(rc);
    }
    devices.push_back(std::move(info));
  }
  libusb_free_device_list(list, 1);
  libusb_exit(context);
  return 0;
}

}  // namespace morvak
