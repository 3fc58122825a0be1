#include "TargetLink.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "ByteOrder.h"
#include "Frame.h"
#include "LinkTexts.h"

namespace morvak {

CTargetLink::CTargetLink() {
  m_device.OnReplyTimeout([this](std::chrono::milliseconds timeout) {
    char line[256];
    std::snprintf(line, sizeof line, texts::kNoAnswerFormat, SecondsText(timeout).c_str());
    PostStatus(line);
  });
  m_device.OnPayloadSent([this](uint64_t sent) {
    if (m_pOwner) m_pOwner->OnPayloadSent(sent, m_nPayloadTotal);
  });
}

void CTargetLink::PostStatus(const std::string& text) {
  if (m_pOwner) m_pOwner->OnStatusLine(text);
}

int CTargetLink::Fail(LinkFault fault) {
  m_fault = fault;
  return 0;
}

int CTargetLink::BootTarget(const uint8_t* loader, uint32_t length, uint8_t asicId[ASIC_ID_SIZE]) {
  m_programmerError.reset();
  m_bootStep = BootStep::Loader;
  if (length == 0) {
    PostStatus(texts::kBootFileSize);
    return Fail(LinkFault::None);  // no exchange failed: the loader is empty
  }
  m_bootStep = BootStep::Waiting;
  PostStatus(texts::kWaitingForDevice);
  std::string lastProblem;
  const auto waitStarted = std::chrono::steady_clock::now();
  for (;;) {
    const auto started = std::chrono::steady_clock::now();
    if (m_device.Open() == OPEN_CONNECTED) break;
    if (m_bCancelWait.load() != 0) {
      m_bCancelWait.store(0);
      return Fail(LinkFault::Stopped);
    }
    if (m_waitTimeout.count() > 0 && started - waitStarted >= m_waitTimeout) {
      char line[128];
      std::snprintf(line, sizeof line, texts::kNoHandsetWithinFormat, SecondsText(m_waitTimeout).c_str());
      PostStatus(line);
      return Fail(LinkFault::NoHandset);
    }
    // A problem the operator can mend (no ids, no permission) is said once per
    // wait, and again only when it changes.
    if (ITransport* transport = m_device.GetTransport()) {
      std::string problem = transport->OpenProblem();
      if (!problem.empty() && problem != lastProblem) PostStatus(problem);
      lastProblem = std::move(problem);
    }
    // A transport that answers at once is not polled in a tight loop.
    if (std::chrono::steady_clock::now() - started < std::chrono::milliseconds(2))
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  PostStatus(texts::kLoadingBootCode);

  m_bootStep = BootStep::AsicId;
  uint8_t id[ASIC_ID_SIZE];
  if (m_device.Read(id, ASIC_ID_SIZE) != READ_DONE) {
    PostStatus(texts::kAsicIdFailed);
    return Fail(m_device.LastFault());
  }
  m_bootStep = BootStep::Loader;
  if (m_device.Write(BOOT_FLASH_COMMAND, sizeof BOOT_FLASH_COMMAND) != WRITE_DONE) {
    PostStatus(texts::kFlashCommandFailed);
    return Fail(m_device.LastFault());
  }
  uint8_t size[4];
  StoreLE32(size, length);
  if (m_device.Write(size, sizeof size) != WRITE_DONE) {
    PostStatus(texts::kSizeCommandFailed);
    return Fail(m_device.LastFault());
  }
  if (m_device.Write(loader, length) != WRITE_DONE) {
    PostStatus(texts::kBootCodeSendFailed);
    return Fail(m_device.LastFault());
  }
  if (m_device.ProbeLoader() == 0) {
    PostStatus(m_device.m_szLastError);
    PostStatus(texts::kBootCodeNotRunning);
    return Fail(m_device.LastFault());
  }
  std::memcpy(asicId, id, ASIC_ID_SIZE);
  return 1;
}

int CTargetLink::Download(const uint8_t* data, uint32_t address, uint32_t length, uint32_t kind,
                          int checksumFlag) {
  if (m_device.SendBlock(address, length, data, kind, checksumFlag) == 0) {
    PostStatus(m_device.m_szLastError);
    return Fail(m_device.LastFault());
  }
  return 1;
}

int CTargetLink::SetRamType() {
  PostStatus(texts::kSettingRamType);
  if (m_device.SetRamType() == 0) {
    PostStatus(texts::kRamTypeFailed);
    return Fail(m_device.LastFault());
  }
  return 1;
}

int CTargetLink::RunProgram() {
  if (m_device.RunProgram() == 0) {
    PostStatus(texts::kRunFailed);
    return Fail(m_device.LastFault());
  }
  return 1;
}

int CTargetLink::SendConfig(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  return m_device.SendConfig(a, b, c, d) != 0 ? 1 : Fail(m_device.LastFault());
}

uint32_t CTargetLink::EndTransfer() { return m_device.EndTransfer(); }

bool CTargetLink::Skip(uint32_t length) {
  uint8_t scratch[4096];
  while (length > 0) {
    const uint32_t chunk = length < sizeof scratch ? length : static_cast<uint32_t>(sizeof scratch);
    if (m_device.Read(scratch, chunk) != READ_DONE) return false;
    length -= chunk;
  }
  return true;
}

int CTargetLink::WaitReport() {
  char text[REPORT_TEXT_BUFFER];
  uint8_t bytes[FRAME_SIZE];
  for (;;) {
    if (m_device.Read(bytes, FRAME_SIZE) != READ_DONE) {
      PostStatus(texts::kReadUsbFailed);
      return Fail(m_device.LastFault());
    }
    const Frame frame = UnpackFrame(bytes);
    if (frame.magic == DATA_MAGIC) {
      if (frame.code != DATA_TEXT) continue;
      // The whole announced length is read so that the next frame is read in
      // step; what does not fit the buffer with its NUL is read and dropped.
      // Each text ends where its own bytes end, so a short text never shows
      // the tail of a longer one before it.
      const uint32_t kept = frame.param2 < REPORT_TEXT_BUFFER - 1 ? frame.param2 : REPORT_TEXT_BUFFER - 1;
      if (m_device.Read(reinterpret_cast<uint8_t*>(text), kept) != READ_DONE || !Skip(frame.param2 - kept)) {
        PostStatus(texts::kReadUsbFailed);
        return Fail(m_device.LastFault());
      }
      text[kept] = '\0';
      PostStatus(text);
      continue;
    }
    if (frame.magic != COMMAND_MAGIC) continue;
    switch (frame.code) {
      case REPORT_PROGRESS:
        if (m_pOwner) m_pOwner->OnProgressPosition(frame.param1);
        break;
      case REPORT_RANGE:
        if (m_pOwner) m_pOwner->OnProgressRange(frame.param1);
        break;
      case REPORT_ERROR: {
        char line[64];
        std::snprintf(line, sizeof line, texts::kFirmwareErrorFormat, static_cast<int32_t>(frame.param1));
        PostStatus(line);
        m_programmerError = frame.param1;
        if (m_pOwner) m_pOwner->OnMessageBox(line);
        return Fail(LinkFault::ProgrammerError);
      }
      case REPORT_ACK:
        return 1;
      default:
        break;
    }
  }
}

}  // namespace morvak
