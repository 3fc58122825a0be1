#include "UsbTestbed.h"

#include <utility>

namespace morvak::usbtest {
namespace {

std::string TakeError(GError* error) {
  std::string text = error != nullptr ? error->message : "unknown error";
  if (error != nullptr) g_error_free(error);
  return text;
}

}  // namespace

UsbTestbed::UsbTestbed() : m_testbed(umockdev_testbed_new()) {
  gchar* root = umockdev_testbed_get_root_dir(m_testbed);
  m_root = root;
  g_free(root);
}

UsbTestbed::~UsbTestbed() {
  // Handlers go before the testbed, so that no request reaches a device
  // being destroyed; the testbed then removes its directory.
  m_devices.clear();
  g_object_unref(m_testbed);
}

bool UsbTestbed::Emulating() { return umockdev_in_mock_environment() != FALSE; }

EmulatedUsbDevice* UsbTestbed::Plug(const EmulatedDeviceParams& params, std::unique_ptr<IUsbFunction> function) {
  auto device = std::make_unique<EmulatedUsbDevice>(params, std::move(function));
  GError* error = nullptr;
  if (!umockdev_testbed_attach_ioctl(m_testbed, DeviceNode(params).c_str(), device->Handler(), &error)) {
    m_error = "attach_ioctl: " + TakeError(error);
    return nullptr;
  }
  if (!umockdev_testbed_add_from_string(m_testbed, DeviceRecord(params).c_str(), &error)) {
    m_error = "add_from_string: " + TakeError(error);
    return nullptr;
  }
  m_devices.push_back(std::move(device));
  return m_devices.back().get();
}

void UsbTestbed::Unplug(EmulatedUsbDevice& device) {
  device.MarkUnplugged();
  const std::string path = SysfsPath(device.Params());
  umockdev_testbed_uevent(m_testbed, path.c_str(), "remove");
  umockdev_testbed_remove_device(m_testbed, path.c_str());
}

std::string UsbTestbed::NodeFile(const EmulatedUsbDevice& device) const {
  return m_root + DeviceNode(device.Params());
}

}  // namespace morvak::usbtest
