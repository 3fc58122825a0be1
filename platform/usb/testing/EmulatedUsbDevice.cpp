#include "EmulatedUsbDevice.h"

#include <sys/ioctl.h>
// after sys/ioctl.h, whose macros it uses
#include <linux/usbdevice_fs.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <utility>

namespace morvak::usbtest {
namespace {

constexpr uint8_t kReadEndpoint = 0x81;
constexpr uint8_t kWriteEndpoint = 0x02;
// The usbfs capabilities reported: none that avoid splitting, so libusb cuts
// bulk transfers into 16 KiB URBs as on older host controllers.
constexpr uint32_t kCapabilities = 0;

usbdevfs_urb* UrbOf(UMockdevIoctlData* data) { return reinterpret_cast<usbdevfs_urb*>(data->data); }

void Answer(UMockdevIoctlClient* client, int error) {
  umockdev_ioctl_client_complete(client, error == 0 ? 0 : -1, error);
}

}  // namespace

EmulatedUsbDevice::EmulatedUsbDevice(const EmulatedDeviceParams& params, std::unique_ptr<IUsbFunction> function)
    : m_params(params),
      m_handler(umockdev_ioctl_base_new()),
      m_function(std::move(function)),
      m_packet(params.maxPacketSize != 0 ? params.maxPacketSize : 512) {
  m_signal = g_signal_connect_data(m_handler, "handle-ioctl", reinterpret_cast<GCallback>(&OnIoctl), this, nullptr,
                                   static_cast<GConnectFlags>(0));
}

EmulatedUsbDevice::~EmulatedUsbDevice() {
  // Taking the lock orders this after the last request the worker served
  // (its answer went back over a socket, which the thread sanitizer cannot see).
  std::lock_guard<std::mutex> lock(m_mutex);
  g_signal_handler_disconnect(m_handler, m_signal);
  for (PendingUrb& pending : m_pending) umockdev_ioctl_data_unref(pending.urb);
  for (PendingUrb& pending : m_discarded) umockdev_ioctl_data_unref(pending.urb);
  g_object_unref(m_handler);
}

void EmulatedUsbDevice::FailClaims(int error) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_claimError = error;
}

void EmulatedUsbDevice::MarkUnplugged() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_unplugged = true;
}

std::vector<UrbRecord> EmulatedUsbDevice::Urbs() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_urbs;
}

int EmulatedUsbDevice::Claims() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_claims;
}

int EmulatedUsbDevice::Releases() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_releases;
}

gboolean EmulatedUsbDevice::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
  static_cast<EmulatedUsbDevice*>(self)->Handle(client);
  return TRUE;
}

bool EmulatedUsbDevice::HasEndpoint(uint8_t endpoint) const {
  return (endpoint == kReadEndpoint && m_params.bulkIn) || (endpoint == kWriteEndpoint && m_params.bulkOut);
}

void EmulatedUsbDevice::Handle(UMockdevIoctlClient* client) {
  const unsigned long request = umockdev_ioctl_client_get_request(client);
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_unplugged && request != USBDEVFS_REAPURB && request != USBDEVFS_REAPURBNDELAY) {
    Answer(client, ENODEV);
    return;
  }
  switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
      UMockdevIoctlData* capabilities = umockdev_ioctl_data_resolve(arg, 0, sizeof(uint32_t), nullptr);
      if (capabilities == nullptr) return Answer(client, EFAULT);
      std::memcpy(capabilities->data, &kCapabilities, sizeof kCapabilities);
      umockdev_ioctl_data_unref(capabilities);
      return Answer(client, 0);
    }
    case USBDEVFS_CLAIMINTERFACE:
    case USBDEVFS_DISCONNECT_CLAIM:
      if (m_claimError != 0) return Answer(client, m_claimError);
      ++m_claims;
      m_function->Claimed();
      return Answer(client, 0);
    case USBDEVFS_RELEASEINTERFACE:
      ++m_releases;
      return Answer(client, 0);
    case USBDEVFS_SETINTERFACE:
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESETEP:
    case USBDEVFS_RESET:
      return Answer(client, 0);
    case USBDEVFS_GETDRIVER:
      return Answer(client, ENODATA);  // no kernel driver bound
    case USBDEVFS_SUBMITURB:
      return Submit(client, arg);
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY:
      return Reap(client, arg);
    case USBDEVFS_DISCARDURB:
      return Discard(client, arg);
    default:
      return Answer(client, ENOTTY);
  }
}

void EmulatedUsbDevice::Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
  UMockdevIoctlData* urbData = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
  if (urbData == nullptr) return Answer(client, EFAULT);
  const usbdevfs_urb* urb = UrbOf(urbData);
  if (urb->type != USBDEVFS_URB_TYPE_BULK || !HasEndpoint(urb->endpoint) || urb->buffer_length < 0) {
    umockdev_ioctl_data_unref(urbData);
    return Answer(client, EINVAL);
  }
  if (urb->buffer_length > 0) {
    // The local copy of the buffer stays a child of the URB: the host's bytes
    // are read from it and an IN URB's bytes go back through it.
    UMockdevIoctlData* buffer = umockdev_ioctl_data_resolve(urbData, offsetof(usbdevfs_urb, buffer),
                                                            static_cast<gsize>(urb->buffer_length), nullptr);
    if (buffer == nullptr) {
      umockdev_ioctl_data_unref(urbData);
      return Answer(client, EFAULT);
    }
    umockdev_ioctl_data_unref(buffer);
  }
  m_pending.push_back(PendingUrb{urbData, urb->endpoint, urb->buffer_length});
  Answer(client, 0);
}

bool EmulatedUsbDevice::Complete(PendingUrb& pending, int& actual, int& status) {
  usbdevfs_urb* urb = UrbOf(pending.urb);
  uint8_t* buffer = static_cast<uint8_t*>(urb->buffer);
  const size_t length = static_cast<size_t>(pending.length);
  actual = 0;
  status = 0;
  if (length == 0) return true;
  if ((pending.endpoint & 0x80) == 0) {
    const size_t moved = m_function->Received(buffer, length);
    if (moved == 0) return false;
    actual = static_cast<int>(moved < length ? moved : length);
    return true;
  }
  // IN: packet by packet, until a short packet, a full buffer or babble.
  const size_t packetSize = m_packet.size();
  std::vector<uint8_t>& packet = m_packet;
  size_t filled = static_cast<size_t>(pending.filled);
  for (;;) {
    if (m_function->InStalled()) {
      status = -EPIPE;
      break;
    }
    if (m_function->SendZeroLength()) break;
    size_t sent = m_function->Send(packet.data(), packetSize);
    if (sent == 0) {
      pending.filled = static_cast<int>(filled);
      return false;  // the URB waits, with the packets it has
    }
    if (sent > packetSize) sent = packetSize;
    const size_t room = length - filled;
    std::memcpy(buffer + filled, packet.data(), sent < room ? sent : room);
    if (sent > room) {
      filled = length;
      status = -EOVERFLOW;
      break;
    }
    filled += sent;
    if (sent < packetSize || filled == length) break;
  }
  pending.filled = static_cast<int>(filled);
  actual = static_cast<int>(filled);
  return true;
}

void EmulatedUsbDevice::Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
  PendingUrb chosen;
  int actual = 0;
  int status = 0;
  if (!m_discarded.empty()) {
    chosen = m_discarded.front();
    m_discarded.pop_front();
    actual = chosen.filled;
    status = -ENOENT;
  } else if (m_unplugged) {
    if (m_pending.empty()) return Answer(client, ENODEV);
    chosen = m_pending.front();
    m_pending.pop_front();
    actual = chosen.filled;
    status = -ENODEV;
  } else {
    // An endpoint's URBs complete in order: a later IN URB gets no packet
    // while an earlier one waits.
    bool inWaiting = false;
    for (auto it = m_pending.begin(); it != m_pending.end(); ++it) {
      const bool in = (it->endpoint & 0x80) != 0;
      if (in && inWaiting) continue;
      if (Complete(*it, actual, status)) {
        chosen = *it;
        m_pending.erase(it);
        break;
      }
      if (in) inWaiting = true;
    }
    if (chosen.urb == nullptr) return Answer(client, EAGAIN);
  }
  usbdevfs_urb* urb = UrbOf(chosen.urb);
  urb->actual_length = actual;
  urb->status = status;
  m_urbs.push_back(UrbRecord{chosen.endpoint, chosen.length, actual, status});

  UMockdevIoctlData* slot = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr);
  if (slot == nullptr) {
    umockdev_ioctl_data_unref(chosen.urb);
    return Answer(client, EFAULT);
  }
  // The reaped URB (and its buffer) is written back to the host through the
  // pointer it asked for.
  umockdev_ioctl_data_set_ptr(slot, 0, chosen.urb);
  umockdev_ioctl_data_unref(slot);
  umockdev_ioctl_data_unref(chosen.urb);
  Answer(client, 0);
}

void EmulatedUsbDevice::Discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
  // The argument is the host's URB pointer itself.
  gulong address = 0;
  std::memcpy(&address, arg->data, sizeof address);
  for (auto it = m_pending.begin(); it != m_pending.end(); ++it) {
    if (it->urb->client_addr == address) {
      m_discarded.push_back(*it);
      m_pending.erase(it);
      return Answer(client, 0);
    }
  }
  Answer(client, EINVAL);
}

}  // namespace morvak::usbtest
