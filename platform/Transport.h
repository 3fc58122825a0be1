#pragma once
// The byte channel to a handset. Three implementations stand behind it: libusb
// (real handsets), the virtual handset, and a scripted fake for byte-exact tests.
// CUsbDevice does the chunking, the stop flag and the result codes above it.
#include <chrono>
#include <cstdint>
#include <string>

namespace morvak {

// Results of ITransport::Open. Anything but OPEN_CONNECTED means not connected.
inline constexpr uint32_t OPEN_CONNECTED = 0xDEADBEEFu;
inline constexpr uint32_t OPEN_NO_MEMORY = 0xFFFFFFFFu;             // -1
inline constexpr uint32_t OPEN_READ_CHANNEL_FAILED = 0xFFFFFFFEu;   // -2
inline constexpr uint32_t OPEN_WRITE_CHANNEL_FAILED = 0xFFFFFFFDu;  // -3
// System-style codes, the ones a Windows device enumeration would give.
inline constexpr uint32_t OPEN_ACCESS_DENIED = 5;    // ERROR_ACCESS_DENIED
inline constexpr uint32_t OPEN_BUSY = 170;           // ERROR_BUSY
inline constexpr uint32_t OPEN_NO_DEVICE = 259;      // ERROR_NO_MORE_ITEMS
// No vendor and product id configured: no device is ever opened.
inline constexpr uint32_t OPEN_NOT_CONFIGURED = 0xE2000001u;
inline constexpr uint32_t OPEN_INTERRUPTED = 0xE2000002u;
// A libusb error e (always negative) is reported as OPEN_LIBUSB_ERROR_BASE | -e,
// so that it never collides with -1, -2 and -3 above.
inline constexpr uint32_t OPEN_LIBUSB_ERROR_BASE = 0xE1000000u;

// The driver's maximum transfer size: no single Read or Write moves more.
inline constexpr uint32_t MAX_TRANSFER_SIZE = 65536;

class ITransport {
 public:
  virtual ~ITransport() = default;

  // Finds the handset and opens its read and write channels (bulk IN 0x81 and
  // bulk OUT 0x02 on a real handset). Returns OPEN_CONNECTED, or another code
  // above with nothing left open that this call opened. Channels of an earlier
  // successful Open are released first. When no device is present it may wait
  // a few milliseconds for one to arrive, never more than 20 ms, so that a caller
  // polling it neither spins nor misses a stop request for long.
  virtual uint32_t Open() = 0;

  // Releases the channels; harmless when nothing is open.
  virtual void Close() = 0;

  // Move exactly `length` bytes, at most MAX_TRANSFER_SIZE. A transfer that
  // completes short is continued until the count is met: a short transfer is
  // never taken as whole. True only when every byte moved. A Read waits until
  // the bytes come, the device fails or goes away, Interrupt() is called, or
  // the reply time-out (SetReplyTimeout) passes without a byte arriving.
  // A length of 0 moves nothing and succeeds when open.
  virtual bool Read(uint8_t* buffer, uint32_t length) = 0;
  virtual bool Write(const uint8_t* buffer, uint32_t length) = 0;

  // Bounds every later Read: a Read during which no byte arrives for `timeout`
  // fails, and LastReadTimedOut() then says so. Every byte that arrives starts
  // the time-out afresh. Zero, the initial setting, means no bound.
  virtual void SetReplyTimeout(std::chrono::milliseconds timeout) = 0;
  // Whether the last Read failed because its reply time-out passed; false after
  // a Read that succeeded or failed for any other reason.
  virtual bool LastReadTimedOut() const = 0;

  // From any thread: makes a pending Read or Write fail within 100 ms, and every
  // later Open, Read and Write fail at once. Irreversible; used when the program
  // ends, never by "Stop flashing" (Stop leaves a pending read alone).
  virtual void Interrupt() = 0;

  // Why the last Open failed, in words an operator can act on, when the cause
  // is one the operator can mend (no ids configured, no permission, device busy);
  // empty otherwise (no device present, connected).
  virtual std::string OpenProblem() const = 0;

  // Which plugging-in of a device the last successful Open reached: a number
  // that differs for every device plugged in (and for one that re-enumerates)
  // and stays the same while it stays; 0 when the channel cannot tell. A
  // station tells by it a handset swapped for the next faster than it looks.
  virtual uint64_t Attachment() const { return 0; }
};

}  // namespace morvak
