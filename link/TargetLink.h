#pragma once
// CTargetLink: the link object the run embeds. It owns the channel, carries the
// two stop flags that Start and Stop drive, and turns every exchange into
// events for its owner (status lines, progress, the payload sent) and a
// result of 1 (success) or 0.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "LinkFault.h"
#include "RunEvents.h"
#include "UsbDevice.h"

namespace morvak {

inline constexpr uint32_t ASIC_ID_SIZE = 69;
// The ROM's flash command, the word 0xF0030002 little-endian.
inline constexpr uint8_t BOOT_FLASH_COMMAND[4] = {0x02, 0x00, 0x03, 0xF0};
// Text reports are kept in a buffer of this size, its terminating NUL included.
inline constexpr uint32_t REPORT_TEXT_BUFFER = 256;

class CTargetLink {
 public:
  CTargetLink();
  ~CTargetLink() { m_pOwner = nullptr; }
  CTargetLink(const CTargetLink&) = delete;
  CTargetLink& operator=(const CTargetLink&) = delete;

  // Receives status lines and progress; null until the owner sets itself.
  IRunEvents* m_pOwner = nullptr;
  CUsbDevice m_device;
  // Nonzero ends the wait for the device in BootTarget, which clears it.
  std::atomic<int32_t> m_bCancelWait{0};
  // The image payload the run is to send, for OnPayloadSent; set by the run
  // before it sends the image (worker thread).
  uint64_t m_nPayloadTotal = 0;
  // Longest wait for the handset to appear in BootTarget; zero for no bound.
  // Its end is a Stop while waiting, said in one line first.
  std::chrono::milliseconds m_waitTimeout{0};
  // Where the last BootTarget ended, and why the last call that returned 0
  // failed; the code of the running program's error report, from the report
  // until the next BootTarget. Worker thread only.
  BootStep m_bootStep = BootStep::Waiting;
  LinkFault m_fault = LinkFault::None;
  std::optional<uint32_t> m_programmerError;

  void PostStatus(const std::string& text);

  // Waits for the handset, reads its ASIC ID into asicId, sends the
  // second-stage loader and checks that it answers. 1 on success.
  int BootTarget(const uint8_t* loader, uint32_t length, uint8_t asicId[ASIC_ID_SIZE]);

  int Download(const uint8_t* data, uint32_t address, uint32_t length, uint32_t kind, int checksumFlag);
  int SetRamType();
  int RunProgram();
  // Relays the running program's texts and progress until it reports done (1),
  // an error (0, after the operator closed the message box) or a read fails (0).
  int WaitReport();
  int SendConfig(uint32_t a, uint32_t b, uint32_t c, uint32_t d);
  uint32_t EndTransfer();

 private:
  // Reads and discards `length` bytes so that the next frame is read in step.
  bool Skip(uint32_t length);
  // Keeps `fault` as the reason of the failing call and returns its 0.
  int Fail(LinkFault fault);
};

}  // namespace morvak
