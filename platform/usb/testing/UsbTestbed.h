#pragma once
// A umockdev testbed with emulated USB devices plugged into it. Rules that
// keep libusb sane under emulation: the testbed exists before the first
// libusb context of the process, no libusb context outlives it, and only one
// exists at a time. Destroy in the order: libusb users, then the testbed
// (which destroys its devices).
#include <umockdev.h>

#include <memory>
#include <string>
#include <vector>

#include "EmulatedDeviceParams.h"
#include "EmulatedUsbDevice.h"

namespace morvak::usbtest {

class UsbTestbed {
 public:
  UsbTestbed();
  ~UsbTestbed();
  UsbTestbed(const UsbTestbed&) = delete;
  UsbTestbed& operator=(const UsbTestbed&) = delete;

  // Whether file and ioctl calls really go to the testbed (the preload is
  // loaded). Asked only once a testbed exists: umockdev caches the answer.
  static bool Emulating();

  // Plugs a device in: the handler first, then the sysfs entries, which sends
  // the "add" uevent. Null, with the reason in LastError(), on failure.
  EmulatedUsbDevice* Plug(const EmulatedDeviceParams& params, std::unique_ptr<IUsbFunction> function);
  // Pulls it out: its transfers fail with ENODEV, a "remove" uevent goes out
  // and its sysfs entries and node vanish. The device object lives on until
  // the testbed goes, since libusb may still hold its node open.
  void Unplug(EmulatedUsbDevice& device);

  // The device node's file in the real file system (to change its mode).
  std::string NodeFile(const EmulatedUsbDevice& device) const;
  const std::string& LastError() const { return m_error; }

 private:
  UMockdevTestbed* m_testbed = nullptr;
  std::string m_root;
  std::vector<std::unique_ptr<EmulatedUsbDevice>> m_devices;
  std::string m_error;
};

}  // namespace morvak::usbtest
