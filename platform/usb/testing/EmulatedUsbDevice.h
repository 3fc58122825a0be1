#pragma once
// One emulated USB device behind a umockdev ioctl handler: it answers the
// usbfs requests libusb makes (capabilities, claim, alternate setting, URB
// submit / reap / discard) and hands the bulk data to a device function, the
// model of what the device does with it.
//
// URBs are served as hardware serves them: OUT URBs are taken by the function
// in order when reaped (it may take fewer bytes, ending the URB short, or none
// yet, which keeps it pending like a NAK); IN URBs wait until the function has
// bytes and are filled at reap time; a discarded URB is reaped with -ENOENT;
// after an unplug every URB fails with -ENODEV.
#include <umockdev.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "EmulatedDeviceParams.h"

namespace morvak::usbtest {

// The device side. Called on umockdev's thread with the device's lock held;
// tests reach it through EmulatedUsbDevice::WithFunction.
class IUsbFunction {
 public:
  virtual ~IUsbFunction() = default;
  // The host claimed interface 0 (a handset's boot ROM speaks from here on).
  virtual void Claimed() {}
  // One OUT URB's bytes. Returns how many the device took, at most `length`:
  // fewer ends the URB short, 0 leaves it pending until asked again.
  virtual size_t Received(const uint8_t* data, size_t length) = 0;
  // Fills at most `max` bytes into one IN URB; 0 while there is nothing to send.
  virtual size_t Send(uint8_t* out, size_t max) = 0;
  // A stalled IN endpoint fails its URBs with -EPIPE.
  virtual bool InStalled() const { return false; }
  // Whether the next IN URB ends at once with no bytes, as a zero-length
  // packet ends a transfer; asked before Send.
  virtual bool SendZeroLength() { return false; }
};

// One reaped URB.
struct UrbRecord {
  uint8_t endpoint = 0;
  int length = 0;  // the URB's buffer length
  int actual = 0;  // bytes moved
  int status = 0;  // 0, -ENOENT (discarded), -ENODEV (unplugged), -EPIPE (stalled)
};

class EmulatedUsbDevice {
 public:
  EmulatedUsbDevice(const EmulatedDeviceParams& params, std::unique_ptr<IUsbFunction> function);
  ~EmulatedUsbDevice();
  EmulatedUsbDevice(const EmulatedUsbDevice&) = delete;
  EmulatedUsbDevice& operator=(const EmulatedUsbDevice&) = delete;

  const EmulatedDeviceParams& Params() const { return m_params; }
  UMockdevIoctlBase* Handler() const { return m_handler; }

  // errno for claiming interface 0 (EBUSY: another program has it); 0 for none.
  void FailClaims(int error);
  // The usbfs capabilities reported; by default none that avoid splitting, so
  // libusb cuts bulk transfers into 16 KiB URBs as on older host controllers.
  void SetCapabilities(uint32_t capabilities);
  // From now on every pending and later URB and every request fails with ENODEV.
  void MarkUnplugged();

  std::vector<UrbRecord> Urbs() const;
  void ClearUrbs();
  int Claims() const;    // successful claims of interface 0
  int Releases() const;  // releases of it
  size_t PendingUrbs() const;

  template <class F>
  auto WithFunction(F&& f) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return f(*m_function);
  }

 private:
  struct PendingUrb {
    UMockdevIoctlData* urb = nullptr;  // our reference; its buffer is resolved as a child
    uint8_t endpoint = 0;
    int length = 0;
  };

  static gboolean OnIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, gpointer self);
  void Handle(UMockdevIoctlClient* client);
  void Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
  void Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
  void Discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
  // Picks the URB the next reap returns and completes it; false when none is ready.
  bool Complete(PendingUrb& pending, int& actual, int& status);
  bool HasEndpoint(uint8_t endpoint) const;

  const EmulatedDeviceParams m_params;
  UMockdevIoctlBase* m_handler = nullptr;
  gulong m_signal = 0;

  mutable std::mutex m_mutex;
  std::unique_ptr<IUsbFunction> m_function;
  uint32_t m_capabilities = 0;
  int m_claimError = 0;
  bool m_unplugged = false;
  int m_claims = 0;
  int m_releases = 0;
  std::deque<PendingUrb> m_pending;
  std::deque<PendingUrb> m_discarded;
  std::vector<UrbRecord> m_urbs;
};

}  // namespace morvak::usbtest
