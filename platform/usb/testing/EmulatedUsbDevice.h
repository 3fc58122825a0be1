#pragma once
// One emulated USB device behind a umockdev ioctl handler: it answers the
// usbfs requests libusb makes (capabilities, claim, alternate setting, URB
// submit / reap / discard) and hands the bulk data to a device function, the
// model of what the device does with it.
//
// URBs are served as hardware serves them: OUT URBs are taken by the function
// in order when reaped (it may take fewer bytes, ending the URB short, or none
// yet, which keeps it pending like a NAK). IN URBs are filled at reap time, in
// order, with the function's packets of at most wMaxPacketSize bytes: a full
// packet leaves the URB waiting for the next one, a short or zero-length packet
// ends it, and so does a full buffer. A packet longer than the room left in the
// URB ends it with -EOVERFLOW (babble), as on a real bus: the URB gets the
// bytes that fit and the rest of that packet is lost. A discarded URB is reaped
// with -ENOENT and the bytes it had taken; after an unplug every URB fails with
// -ENODEV.
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
  // Fills the next IN packet: at most `max` bytes, the endpoint's
  // wMaxPacketSize; 0 while there is nothing to send. A packet shorter than
  // `max` is a short packet and ends the host's transfer.
  virtual size_t Send(uint8_t* out, size_t max) = 0;
  // A stalled IN endpoint fails its URBs with -EPIPE.
  virtual bool InStalled() const { return false; }
  // Whether the next IN packet is a zero-length packet, which ends the URB
  // with the bytes it has; asked before every Send.
  virtual bool SendZeroLength() { return false; }
};

// One reaped URB.
struct UrbRecord {
  uint8_t endpoint = 0;
  int length = 0;  // the URB's buffer length
  int actual = 0;  // bytes moved
  int status = 0;  // 0, -ENOENT (discarded), -ENODEV (unplugged), -EPIPE (stalled), -EOVERFLOW (babble)
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
  // From now on every pending and later URB and every request fails with ENODEV.
  void MarkUnplugged();

  std::vector<UrbRecord> Urbs() const;
  int Claims() const;    // successful claims of interface 0
  int Releases() const;  // releases of it

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
    int filled = 0;  // bytes of an IN URB's full packets so far
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
  std::vector<uint8_t> m_packet;  // one IN packet, wMaxPacketSize bytes
  int m_claimError = 0;
  bool m_unplugged = false;
  int m_claims = 0;
  int m_releases = 0;
  std::deque<PendingUrb> m_pending;
  std::deque<PendingUrb> m_discarded;
  std::vector<UrbRecord> m_urbs;
};

}  // namespace morvak::usbtest
