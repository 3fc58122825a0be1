#include "UsbDevice.h"

#include <cstdio>
#include <utility>

#include "Crc16.h"
#include "Frame.h"
#include "LinkTexts.h"

namespace morvak {

void CUsbDevice::SetTransport(std::unique_ptr<ITransport> transport) {
  m_transport = std::move(transport);
  if (m_transport) m_transport->SetReplyTimeout(m_replyTimeout);
}

void CUsbDevice::SetReplyTimeout(std::chrono::milliseconds timeout) {
  m_replyTimeout = timeout;
  if (m_transport) m_transport->SetReplyTimeout(timeout);
}

bool CUsbDevice::ReadPending(std::chrono::steady_clock::time_point& since) const {
  const int64_t ticks = m_readSince.load();
  if (ticks == 0) return false;
  since = std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(ticks));
  return true;
}

std::string SecondsText(std::chrono::milliseconds duration) {
  char text[48];
  if (duration.count() == 1000)
    return "1 second";
  if (duration.count() % 1000 == 0)
    std::snprintf(text, sizeof text, "%lld seconds", static_cast<long long>(duration.count() / 1000));
  else
    std::snprintf(text, sizeof text, "%g seconds", static_cast<double>(duration.count()) / 1000.0);
  return text;
}

uint32_t CUsbDevice::Open() { return m_transport ? m_transport->Open() : OPEN_NO_DEVICE; }

void CUsbDevice::Close() {
  if (m_transport) m_transport->Close();
}

uint32_t CUsbDevice::Read(uint8_t* buffer, uint32_t length) {
  if (!m_transport) {
    m_lastFault = LinkFault::Disconnected;
    return IO_FAILED;
  }
  const int64_t now = std::chrono::steady_clock::now().time_since_epoch().count();
  m_readSince.store(now != 0 ? now : 1);
  uint32_t done = 0;
  bool ok = true;
  while (ok && length - done > MAX_TRANSFER_SIZE) {
    ok = m_transport->Read(buffer + done, MAX_TRANSFER_SIZE);
    done += MAX_TRANSFER_SIZE;
  }
  if (ok) ok = m_transport->Read(buffer + done, length - done);
  m_readSince.store(0);
  if (ok) return READ_DONE;
  const bool timedOut = m_transport->LastReadTimedOut();
  m_lastFault = timedOut ? LinkFault::NoAnswer : LinkFault::Disconnected;
  if (timedOut && m_onReplyTimeout) m_onReplyTimeout(m_replyTimeout);
  return IO_FAILED;
}

uint32_t CUsbDevice::Write(const uint8_t* buffer, uint32_t length) {
  if (!m_transport) {
    m_lastFault = LinkFault::Disconnected;
    return IO_FAILED;
  }
  uint32_t done = 0;
  for (;;) {
    if (m_bAbort.load() != 0) {
      m_lastFault = LinkFault::Stopped;
      return IO_FAILED;
    }
    const uint32_t chunk = length - done > MAX_TRANSFER_SIZE ? MAX_TRANSFER_SIZE : length - done;
    if (!m_transport->Write(buffer + done, chunk)) {
      m_lastFault = LinkFault::Disconnected;
      return IO_FAILED;
    }
    done += chunk;
    if (done == length) return WRITE_DONE;
  }
}

uint32_t CUsbDevice::WriteBlockData(const uint8_t* data, uint32_t length, uint32_t kind, uint32_t& counted) {
  const bool payload = kind == DATA_RAW || kind == DATA_RECORD;
  if (!payload) return Write(data, length);
  // The same transfers as one Write of the whole block, so that the count
  // moves while a long raw part is on its way.
  uint32_t done = 0;
  do {
    const uint32_t chunk = length - done > MAX_TRANSFER_SIZE ? MAX_TRANSFER_SIZE : length - done;
    if (Write(data + done, chunk) != WRITE_DONE) return IO_FAILED;
    done += chunk;
    if (done > counted) {
      m_payloadSent += done - counted;
      counted = done;
      if (m_onPayloadSent) m_onPayloadSent(m_payloadSent);
    }
  } while (done < length);
  return WRITE_DONE;
}

void CUsbDevice::SetLastError(const char* text) { std::snprintf(m_szLastError, sizeof m_szLastError, "%s", text); }

uint32_t CUsbDevice::WriteFrame(uint32_t magic, uint32_t code, uint32_t param1, uint32_t param2) {
  uint8_t bytes[FRAME_SIZE];
  PackFrame(Frame{magic, code, param1, param2}, bytes);
  return Write(bytes, FRAME_SIZE);
}

int CUsbDevice::SimpleExchange(uint32_t code, uint32_t param1, uint32_t param2, uint32_t expectedReport,
                               const char* mismatchText) {
  if (WriteFrame(COMMAND_MAGIC, code, param1, param2) != WRITE_DONE) {
    SetLastError(texts::kWriteFailed);
    return 0;
  }
  uint8_t bytes[FRAME_SIZE];
  if (Read(bytes, FRAME_SIZE) != READ_DONE) {
    SetLastError(texts::kReadFailed);
    return 0;
  }
  const Frame answer = UnpackFrame(bytes);
  if (answer.magic != COMMAND_MAGIC || answer.code != expectedReport) {
    SetLastError(mismatchText);
    m_lastFault = LinkFault::Refused;
    return 0;
  }
  return 1;
}

int CUsbDevice::ProbeLoader() { return SimpleExchange(CMD_PING, 0, 0, REPORT_ACK, texts::kNotRecognized); }

int CUsbDevice::SetRamType() {
  return SimpleExchange(CMD_SET_RAM_TYPE, 0, 0, REPORT_ACK, texts::kReturnedCommand);
}

int CUsbDevice::SendConfig(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  return SimpleExchange(CMD_CONFIG_A, a, b, REPORT_ACK, texts::kReturnedCommand) &&
                 SimpleExchange(CMD_CONFIG_B, c, d, REPORT_ACK, texts::kReturnedCommand)
             ? 1
             : 0;
}

int CUsbDevice::RunProgram() {
  if (WriteFrame(COMMAND_MAGIC, CMD_RUN, 0, 0) != WRITE_DONE) {
    SetLastError(texts::kWriteFailed);
    return 0;
  }
  return 1;
}

uint32_t CUsbDevice::EndTransfer() { return WriteFrame(COMMAND_MAGIC, CMD_END_TRANSFER, 0, 0); }

int CUsbDevice::SendBlock(uint32_t address, uint32_t length, const uint8_t* data, uint32_t kind,
                          int checksumFlag) {
  uint8_t bytes[FRAME_SIZE];
  // The payload does not change between attempts: one checksum serves them all.
  uint32_t crc = 0;
  bool crcKnown = false;
  uint32_t counted = 0;
  for (int attempt = 0; attempt < SEND_BLOCK_ATTEMPTS; ++attempt) {
    if (WriteFrame(DATA_MAGIC, kind, address, length) != WRITE_DONE ||
        WriteBlockData(data, length, kind, counted) != WRITE_DONE) {
      SetLastError(texts::kWriteFailed);
      return 0;
    }
    if (Read(bytes, FRAME_SIZE) != READ_DONE) {
      SetLastError(texts::kReadFailed);
      return 0;
    }
    Frame answer = UnpackFrame(bytes);
    if (answer.magic != COMMAND_MAGIC || answer.code != REPORT_ACK) {
      SetLastError(texts::kNotRecognized);
      m_lastFault = LinkFault::Refused;
      return 0;
    }
    if (checksumFlag == 0) return 1;
    if (!crcKnown) {
      crc = Crc16(data, length);
      crcKnown = true;
    }
    if (WriteFrame(COMMAND_MAGIC, CMD_GET_CRC, 0, 0) != WRITE_DONE) {
      SetLastError(texts::kWriteFailed);
      return 0;
    }
    if (Read(bytes, FRAME_SIZE) != READ_DONE) {
      SetLastError(texts::kReadFailed);
      return 0;
    }
    answer = UnpackFrame(bytes);
    if (answer.magic != COMMAND_MAGIC || answer.code != REPORT_CRC) {
      SetLastError(texts::kReturnedCommand);
      m_lastFault = LinkFault::Refused;
      return 0;
    }
    if (answer.param1 == crc) return 1;
  }
  SetLastError(texts::kCrcFailure);
  m_lastFault = LinkFault::CrcMismatch;
  return 0;
}

}  // namespace morvak
