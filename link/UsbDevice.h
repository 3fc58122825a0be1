#pragma once
// CUsbDevice: the channel to the handset and the framed command exchanges on it.
// It does the chunking into transfers of at most 65,536 bytes, honours the
// stop flag, and keeps the text of the last failed exchange.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "LinkFault.h"
#include "Transport.h"

namespace morvak {

inline constexpr uint32_t READ_DONE = 0xFEEDBEEFu;
inline constexpr uint32_t WRITE_DONE = 0xFEEDDEADu;
inline constexpr uint32_t IO_FAILED = 0xFFFFFFFFu;
// Open's results are the transport's (OPEN_CONNECTED and the codes of Transport.h).

// Attempts of one data block before "Error CRC failure.": only a checksum
// mismatch leads to another attempt.
inline constexpr int SEND_BLOCK_ATTEMPTS = 4;

class CUsbDevice {
 public:
  CUsbDevice() = default;
  CUsbDevice(const CUsbDevice&) = delete;
  CUsbDevice& operator=(const CUsbDevice&) = delete;

  // Nonzero makes every later Write fail before it writes anything. Written by
  // the window's thread (Start, Stop), read by the worker.
  std::atomic<int32_t> m_bAbort{0};
  // Text of the last failed exchange; replaced on every failure, kept on success.
  char m_szLastError[256] = {};
  // Why the last failed transfer or exchange failed; like m_szLastError,
  // replaced on every failure and kept on success.
  LinkFault LastFault() const { return m_lastFault; }

  // The byte channel beneath; the device owns it. Without one, Open finds nothing.
  // It takes the device's reply time-out.
  void SetTransport(std::unique_ptr<ITransport> transport);
  ITransport* GetTransport() const { return m_transport.get(); }

  // How long a read may go without a byte before it fails (ITransport's reply
  // time-out); zero for no bound. Set before a run, from the run's thread.
  void SetReplyTimeout(std::chrono::milliseconds timeout);
  std::chrono::milliseconds ReplyTimeout() const { return m_replyTimeout; }
  // Called on the reading thread when a read has failed for want of an
  // answer, before the read returns, with the time-out that passed.
  void OnReplyTimeout(std::function<void(std::chrono::milliseconds)> listener) {
    m_onReplyTimeout = std::move(listener);
  }
  // The image payload sent since the last ResetPayloadCount: the bytes of
  // DATA_RAW and DATA_RECORD blocks, each byte once however often its block is
  // sent again. `listener` is called on the writing thread after every chunk
  // that adds to the count, with the new count.
  void OnPayloadSent(std::function<void(uint64_t)> listener) { m_onPayloadSent = std::move(listener); }
  void ResetPayloadCount() { m_payloadSent = 0; }
  uint64_t PayloadSent() const { return m_payloadSent; }
  // From any thread: whether a read is waiting for the device now, and since
  // when (steady clock).
  bool ReadPending(std::chrono::steady_clock::time_point& since) const;

  uint32_t Open();
  void Close();
  // Chunked transfers: READ_DONE / WRITE_DONE or IO_FAILED. A length of 0 makes
  // one transfer of 0 bytes. Write tests m_bAbort before every chunk, the last
  // included; Read looks at no flag.
  uint32_t Read(uint8_t* buffer, uint32_t length);
  uint32_t Write(const uint8_t* buffer, uint32_t length);

  // Exchanges: 1 for success, 0 for failure with the reason in m_szLastError.
  int ProbeLoader();
  int SendBlock(uint32_t address, uint32_t length, const uint8_t* data, uint32_t kind, int checksumFlag);
  int RunProgram();
  int SetRamType();
  int SendConfig(uint32_t a, uint32_t b, uint32_t c, uint32_t d);
  // The Write result; sets no text.
  uint32_t EndTransfer();

 private:
  // Write of a block's data, chunk by chunk, counting the payload of `kind`
  // beyond the `counted` bytes of this block already in the count.
  uint32_t WriteBlockData(const uint8_t* data, uint32_t length, uint32_t kind, uint32_t& counted);
  uint32_t WriteFrame(uint32_t magic, uint32_t code, uint32_t param1, uint32_t param2);
  int SimpleExchange(uint32_t code, uint32_t param1, uint32_t param2, uint32_t expectedReport,
                     const char* mismatchText);
  void SetLastError(const char* text);

  std::unique_ptr<ITransport> m_transport;
  std::chrono::milliseconds m_replyTimeout{0};
  std::function<void(std::chrono::milliseconds)> m_onReplyTimeout;
  std::function<void(uint64_t)> m_onPayloadSent;
  uint64_t m_payloadSent = 0;  // the writing thread's
  LinkFault m_lastFault = LinkFault::None;  // the worker's
  // Steady-clock ticks at which the pending read began; 0 when none is pending.
  std::atomic<int64_t> m_readSince{0};
};

// A duration as a status line says it: "1 second", "60 seconds", "0.5 seconds".
std::string SecondsText(std::chrono::milliseconds duration);

}  // namespace morvak
