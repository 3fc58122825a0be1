#pragma once
// LibusbTransport: the byte channel to a real handset over libusb. The
// handset's boot interface is found by the vendor and product id configured
// in file/LURRA.ini (section LURRA_USB, keys VendorId and ProductId, and Port
// for one port only), read afresh at every Open; with no ids configured no
// device is ever opened.
//
// The libusb context belongs to the transport, never to the process: it is
// made by the first Open, kept while Opens find no device (so that a handset
// plugged in meanwhile is announced by a hot-plug event) and while a device
// is open, and destroyed by Close, by any other failed Open and by the
// destructor. Not thread-safe, except Interrupt().
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "Transport.h"
#include "UsbDeviceMatch.h"

struct libusb_context;
struct libusb_device;
struct libusb_device_handle;

namespace morvak {

// Every bulk transfer is cut into slices of this many milliseconds, so that
// Interrupt() is noticed well within the 100 ms it promises.
inline constexpr unsigned USB_TRANSFER_SLICE_MS = 50;
// How long an Open that finds no device waits for one to arrive.
inline constexpr unsigned USB_ARRIVAL_WAIT_MS = 10;

class LibusbTransport : public ITransport {
 public:
  // `port`, when not empty, is the only port a handset is opened on, in place
  // of [LURRA_USB] Port= (so several transports can each own one handset).
  explicit LibusbTransport(std::string configPath, std::string port = {});
  ~LibusbTransport() override;
  LibusbTransport(const LibusbTransport&) = delete;
  LibusbTransport& operator=(const LibusbTransport&) = delete;

  // Opens the first device in libusb's enumeration order that matches the
  // configured ids: claims interface 0 (the kernel driver detached while it is
  // claimed), selects alternate setting 0 and checks for bulk IN 0x81 and bulk
  // OUT 0x02. When none is present, waits up to USB_ARRIVAL_WAIT_MS for one to
  // arrive and opens it at once.
  uint32_t Open() override;
  void Close() override;
  // Exact counts: a transfer that completes short is continued. Reads ask the
  // device for whole packets of bulk IN 0x81 (its wMaxPacketSize, multiples of
  // it up to 65,536 bytes), never less, since a device sends a text or several
  // frames in one packet and a transfer shorter than the packet overflows.
  // What comes beyond the count is kept for the next Read, until Close or the
  // next Open. Fails when the device fails, stalls or goes away, sends a packet
  // longer than it said it would, on Interrupt(), or when the reply time-out
  // passes with no byte (each 50 ms slice that brings bytes restarts it; bytes
  // already kept count as arrived).
  bool Read(uint8_t* buffer, uint32_t length) override;
  bool Write(const uint8_t* buffer, uint32_t length) override;
  void Interrupt() override;
  void SetReplyTimeout(std::chrono::milliseconds timeout) override { m_replyTimeout = timeout; }
  bool LastReadTimedOut() const override { return m_readTimedOut; }
  std::string OpenProblem() const override { return m_problem; }
  uint64_t Attachment() const override { return m_attachment; }
  // The port path of the device the last successful Open opened; kept after
  // Close, empty before any. Read it from the thread that opens.
  const std::string& OpenedPortPath() const { return m_openedPort; }

 private:
  // Makes the context (and the arrival watch for `match`) unless one for the
  // same ids exists; 0 or an Open code.
  uint32_t EnsureContext(const UsbDeviceMatch& match);
  uint32_t OpenFirstMatch(const UsbDeviceMatch& match);
  uint32_t OpenDevice(libusb_device* device, uint16_t vendorId, uint16_t productId);
  // The Open result for libusb error `error` on `device`, with
  // the operator's line for the causes they can mend.
  uint32_t Failed(int error, libusb_device* device, uint16_t vendorId, uint16_t productId);
  void WaitForArrival();
  // The length of a read for `wanted` more bytes: whole packets, at most
  // what the read-ahead buffer holds.
  uint32_t WholePackets(uint32_t wanted) const;
  // Moves up to `length` read-ahead bytes to `buffer`; how many.
  uint32_t TakeBuffered(uint8_t* buffer, uint32_t length);
  void DropBuffered();
  void ReleaseDevice();
  void ReleaseContext();

  const std::string m_configPath;
  const std::string m_port;
  std::atomic<bool> m_interrupted{false};
  std::string m_problem;
  std::chrono::milliseconds m_replyTimeout{0};
  bool m_readTimedOut = false;
  std::string m_openedPort;
  uint64_t m_attachment = 0;  // bus and address of the device opened last

  libusb_context* m_context = nullptr;
  UsbDeviceMatch m_watched;   // the ids the arrival watch is for
  bool m_watching = false;    // a hot-plug callback is registered
  int m_watch = 0;            // its handle
  int m_arrived = 0;          // set by the callback, within event handling on this thread

  // The open device, with interface 0 claimed, and its bulk IN packet size.
  libusb_device_handle* m_handle = nullptr;
  uint32_t m_packetSize = USB_FALLBACK_PACKET_SIZE;
  // Bytes the device sent beyond what was read: [m_readHead, m_readTail) of
  // m_readAhead, which every IN transfer fills from its start.
  std::vector<uint8_t> m_readAhead;
  uint32_t m_readHead = 0;
  uint32_t m_readTail = 0;
};

}  // namespace morvak
