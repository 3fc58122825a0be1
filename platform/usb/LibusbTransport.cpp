#include "LibusbTransport.h"

#include <libusb.h>
#include <sys/time.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <utility>

#include "LibusbDevice.h"
#include "ProfileFile.h"
#include "UsbProblems.h"

namespace morvak {
namespace {

int LIBUSB_CALL OnArrival(libusb_context*, libusb_device*, libusb_hotplug_event, void* arrived) {
  *static_cast<int*>(arrived) = 1;
  return 0;  // stay registered
}

}  // namespace

LibusbTransport::LibusbTransport(std::string configPath, std::string port)
    : m_configPath(std::move(configPath)), m_port(std::move(port)), m_readAhead(MAX_TRANSFER_SIZE) {}

LibusbTransport::~LibusbTransport() { Close(); }

uint32_t LibusbTransport::Open() {
  ReleaseDevice();
  m_problem.clear();
  if (m_interrupted.load()) {
    ReleaseContext();
    return OPEN_INTERRUPTED;
  }
  // Missing or malformed ids, or a port that is no port path, open nothing: a
  // typo must never make Morvak claim another device and detach its driver.
  UsbDeviceMatch match;
  if (CheckUsbDeviceMatch(ProfileFile::Load(m_configPath), m_configPath, match, m_problem, m_port) !=
      UsbConfigState::Configured) {
    ReleaseContext();
    return OPEN_NOT_CONFIGURED;
  }
  uint32_t result = EnsureContext(match);
  if (result == 0) {
    m_arrived = 0;
    result = OpenFirstMatch(match);
    if (result == OPEN_NO_DEVICE) {
      WaitForArrival();
      if (m_arrived != 0) result = OpenFirstMatch(match);
    }
  }
  // Only a wait keeps the context: its arrival watch serves the next attempt.
  if (result != OPEN_CONNECTED && result != OPEN_NO_DEVICE) ReleaseContext();
  return result;
}

void LibusbTransport::Close() {
  ReleaseDevice();
  ReleaseContext();
}

bool LibusbTransport::Read(uint8_t* buffer, uint32_t length) {
  using Clock = std::chrono::steady_clock;
  m_readTimedOut = false;
  if (m_handle == nullptr || m_interrupted.load() || length > MAX_TRANSFER_SIZE) return false;
  uint32_t done = TakeBuffered(buffer, length);
  // Bytes already here count as arrived: the time-out runs from now.
  Clock::time_point lastArrival = Clock::now();
  while (done < length) {
    if (m_interrupted.load()) return false;
    unsigned slice = USB_TRANSFER_SLICE_MS;
    if (m_replyTimeout.count() > 0) {
      const auto left = lastArrival + m_replyTimeout - Clock::now();
      if (left.count() <= 0) {
        m_readTimedOut = true;
        return false;
      }
      // Rounded up, so that the read never ends before its time-out.
      const auto leftMs = std::chrono::ceil<std::chrono::milliseconds>(left).count();
      if (leftMs < static_cast<long long>(slice)) slice = static_cast<unsigned>(leftMs);
    }
    // Whole packets only: a device may send more than is asked (the rest of a
    // text, the next frame), and a transfer shorter than its packet overflows.
    const uint32_t size = WholePackets(length - done);
    int moved = 0;
    const int rc = libusb_bulk_transfer(m_handle, USB_READ_ENDPOINT, m_readAhead.data(), static_cast<int>(size),
                                        &moved, slice);
    // A slice that times out may still have moved bytes; they count.
    if (moved > 0) {
      m_readHead = 0;
      m_readTail = static_cast<uint32_t>(moved) < size ? static_cast<uint32_t>(moved) : size;
      done += TakeBuffered(buffer + done, length - done);
      lastArrival = Clock::now();
    }
    if (rc != LIBUSB_SUCCESS && rc != LIBUSB_ERROR_TIMEOUT) {
      DropBuffered();
      return false;
    }
  }
  return true;
}

bool LibusbTransport::Write(const uint8_t* buffer, uint32_t length) {
  if (m_handle == nullptr || m_interrupted.load() || length > MAX_TRANSFER_SIZE) return false;
  uint32_t done = 0;
  while (done < length) {
    if (m_interrupted.load()) return false;
    int moved = 0;
    // libusb takes one non-const buffer for both directions; it never writes
    // to the buffer of an OUT transfer.
    const int rc = libusb_bulk_transfer(m_handle, USB_WRITE_ENDPOINT, const_cast<uint8_t*>(buffer) + done,
                                        static_cast<int>(length - done), &moved, USB_TRANSFER_SLICE_MS);
    // A slice that times out may still have moved bytes; they count.
    if (moved > 0) done += static_cast<uint32_t>(moved) < length - done ? static_cast<uint32_t>(moved) : length - done;
    if (rc != LIBUSB_SUCCESS && rc != LIBUSB_ERROR_TIMEOUT) return false;
  }
  return true;
}

void LibusbTransport::Interrupt() { m_interrupted.store(true); }

uint32_t LibusbTransport::EnsureContext(const UsbDeviceMatch& match) {
  if (m_context != nullptr && m_watched == match) return 0;
  ReleaseContext();
  libusb_context* context = nullptr;
  const int rc = libusb_init(&context);
  if (rc != 0) return OpenResultOf(rc);
  m_context = context;
  m_watched = match;
  if (libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG) != 0) {
    libusb_hotplug_callback_handle watch = 0;
    // Without the watch every wait is a plain sleep; that is slower, not wrong.
    if (libusb_hotplug_register_callback(context, LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED, 0, match.vendorId,
                                         match.productId, LIBUSB_HOTPLUG_MATCH_ANY, &OnArrival, &m_arrived,
                                         &watch) == LIBUSB_SUCCESS) {
      m_watching = true;
      m_watch = watch;
    }
  }
  return 0;
}

uint32_t LibusbTransport::OpenFirstMatch(const UsbDeviceMatch& match) {
  libusb_device** list = nullptr;
  const ssize_t count = libusb_get_device_list(m_context, &list);
  if (count < 0) return OpenResultOf(static_cast<int>(count));
  uint32_t result = OPEN_NO_DEVICE;
  for (ssize_t i = 0; i < count; ++i) {
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(list[i], &descriptor) != 0) continue;
    const std::string portPath = match.portPath.empty() ? std::string() : PortPathOf(list[i]);
    if (!match.Matches(descriptor.idVendor, descriptor.idProduct, portPath)) continue;
    result = OpenDevice(list[i], descriptor.idVendor, descriptor.idProduct);
    break;
  }
  // The open handle keeps its own reference to the device.
  libusb_free_device_list(list, 1);
  return result;
}

uint32_t LibusbTransport::OpenDevice(libusb_device* device, uint16_t vendorId, uint16_t productId) {
  const uint32_t channels = CheckChannels(device);
  if (channels == OPEN_READ_CHANNEL_FAILED || channels == OPEN_WRITE_CHANNEL_FAILED) {
    m_problem = NoChannelProblem(PlaceOf(device, vendorId, productId), channels == OPEN_READ_CHANNEL_FAILED,
                                 m_configPath);
    return channels;
  }
  if (channels != 0) return channels;

  libusb_device_handle* handle = nullptr;
  int rc = libusb_open(device, &handle);
  if (rc != 0) return Failed(rc, device, vendorId, productId);
  // The kernel driver, if any, is detached while the interface is claimed and
  // given back on release. Where libusb cannot detach drivers this fails, and
  // the claim below reports a driver in the way as busy.
  libusb_set_auto_detach_kernel_driver(handle, 1);
  rc = libusb_claim_interface(handle, USB_BOOT_INTERFACE);
  if (rc == 0) {
    rc = libusb_set_interface_alt_setting(handle, USB_BOOT_INTERFACE, USB_BOOT_ALT_SETTING);
    if (rc != 0) libusb_release_interface(handle, USB_BOOT_INTERFACE);
  }
  if (rc != 0) {
    libusb_close(handle);
    return Failed(rc, device, vendorId, productId);
  }
  m_handle = handle;
  m_packetSize = ReadPacketSize(device);
  m_openedPort = PortPathOf(device);
  // A device gets a new address each time it is plugged in or re-enumerates.
  m_attachment = (uint64_t{libusb_get_bus_number(device)} << 8) | libusb_get_device_address(device);
  return OPEN_CONNECTED;
}

uint32_t LibusbTransport::Failed(int error, libusb_device* device, uint16_t vendorId, uint16_t productId) {
  const uint32_t result = OpenResultOf(error);
  if (result == OPEN_ACCESS_DENIED) m_problem = AccessDeniedProblem(PlaceOf(device, vendorId, productId));
  if (result == OPEN_BUSY) m_problem = BusyProblem(PlaceOf(device, vendorId, productId));
  return result;
}

void LibusbTransport::WaitForArrival() {
  using Clock = std::chrono::steady_clock;
  const auto wait = std::chrono::milliseconds(USB_ARRIVAL_WAIT_MS);
  if (!m_watching) {
    std::this_thread::sleep_for(wait);
    m_arrived = 1;  // nothing tells; look again
    return;
  }
  const Clock::time_point deadline = Clock::now() + wait;
  while (m_arrived == 0 && !m_interrupted.load()) {
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
    if (left.count() <= 0) return;
    timeval timeout{};
    timeout.tv_usec = static_cast<suseconds_t>(left.count());
    if (libusb_handle_events_timeout_completed(m_context, &timeout, &m_arrived) != 0) {
      // Event handling failed: wait out the rest rather than spin.
      std::this_thread::sleep_until(deadline);
      return;
    }
  }
}

uint32_t LibusbTransport::WholePackets(uint32_t wanted) const {
  const uint32_t packet = m_packetSize;
  // The most whole packets the read-ahead buffer holds.
  const uint32_t most = MAX_TRANSFER_SIZE / packet * packet;
  const uint32_t size = (wanted + packet - 1) / packet * packet;
  return size < most ? size : most;
}

uint32_t LibusbTransport::TakeBuffered(uint8_t* buffer, uint32_t length) {
  const uint32_t buffered = m_readTail - m_readHead;
  const uint32_t n = buffered < length ? buffered : length;
  if (n > 0) std::memcpy(buffer, m_readAhead.data() + m_readHead, n);
  m_readHead += n;
  if (m_readHead == m_readTail) DropBuffered();
  return n;
}

void LibusbTransport::DropBuffered() {
  m_readHead = 0;
  m_readTail = 0;
}

void LibusbTransport::ReleaseDevice() {
  // What was read ahead belongs to the device that sent it.
  DropBuffered();
  if (m_handle == nullptr) return;
  // Fails harmlessly when the device has gone.
  libusb_release_interface(m_handle, USB_BOOT_INTERFACE);
  libusb_close(m_handle);
  m_handle = nullptr;
}

void LibusbTransport::ReleaseContext() {
  ReleaseDevice();
  if (m_context == nullptr) return;
  if (m_watching) libusb_hotplug_deregister_callback(m_context, m_watch);
  m_watching = false;
  libusb_exit(m_context);
  m_context = nullptr;
}

}  // namespace morvak
