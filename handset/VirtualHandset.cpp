#include "VirtualHandset.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "ByteOrder.h"
#include "Crc16.h"
#include "Frame.h"
#include "HandsetContent.h"

namespace morvak {
namespace {

constexpr uint32_t kRomFlashCommand = 0xF0030002u;  // bytes 02 00 03 F0
// Progress reports of a block written at once; one written at a speed reports
// about every kProgressInterval, at least kProgressSteps and at most
// kMaxProgressSteps times.
constexpr uint32_t kProgressSteps = 4;
constexpr std::chrono::microseconds kProgressInterval(50000);
constexpr uint32_t kMaxProgressSteps = 1000;

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

bool IsDataKind(uint32_t kind) { return kind == DATA_RAW || kind == DATA_RECORD || kind == DATA_PROGRAM; }

}  // namespace

VirtualHandset::VirtualHandset(FaultPlan plan, BenchUnit where) : m_plan(std::move(plan)), m_where(where) {}

void VirtualHandset::Attach() {
  const FaultPlan plan = m_plan;
  *this = VirtualHandset(plan, m_where);
  m_stage = HandsetStage::BootRom;
  m_rx = Rx::RomCommand;
  if (m_plan.disconnect && m_plan.disconnectAfter == 0) {
    Disconnect();
    return;
  }
  if (m_plan.hang == HangPoint::Asic) {
    m_hung = true;
    m_rx = Rx::Ignore;
    return;
  }
  if (m_plan.asicFail) {
    // The ROM's identification never reaches the host: the read channel fails.
    m_stalled = true;
    m_rx = Rx::Ignore;
    return;
  }
  uint8_t id[VIRTUAL_ASIC_ID_SIZE];
  VirtualAsicId(id, m_where);
  QueueBytes(id, sizeof id);
}

void VirtualHandset::HostWrote(const uint8_t* data, size_t length) {
  if (m_stage == HandsetStage::Off || m_disconnected) return;
  if (m_plan.disconnect) length = static_cast<size_t>(std::min<uint64_t>(length, m_plan.disconnectAfter - m_hostBytes));
  m_hostBytes += length;
  while (length > 0) {
    switch (m_rx) {
      case Rx::Ignore:
        length = 0;
        break;
      case Rx::RomCommand:
      case Rx::RomLength: {
        const size_t n = std::min(length, 4 - m_partialFill);
        std::memcpy(m_partial + m_partialFill, data, n);
        m_partialFill += n;
        data += n;
        length -= n;
        if (m_partialFill == 4) {
          m_partialFill = 0;
          RomWord(LoadLE32(m_partial));
        }
        break;
      }
      case Rx::RomProgram: {
        const uint32_t n = static_cast<uint32_t>(std::min<size_t>(length, m_loaderRemaining));
        m_loaderCrc = Crc16Update(m_loaderCrc, data, n);
        m_loaderRemaining -= n;
        data += n;
        length -= n;
        if (m_loaderRemaining == 0) {
          // The loader starts silently; the host pings it to see that it runs.
          m_stage = HandsetStage::Loader;
          m_rx = Rx::Frame;
        }
        break;
      }
      case Rx::Frame:
        if (m_partialFill == 0 && length >= FRAME_SIZE) {
          data += FRAME_SIZE;
          length -= FRAME_SIZE;
          TakeFrame(data - FRAME_SIZE);
        } else {
          const size_t n = std::min(length, FRAME_SIZE - m_partialFill);
          std::memcpy(m_partial + m_partialFill, data, n);
          m_partialFill += n;
          data += n;
          length -= n;
          if (m_partialFill == FRAME_SIZE) {
            m_partialFill = 0;
            TakeFrame(m_partial);
          }
        }
        break;
      case Rx::Payload: {
        const uint32_t n = static_cast<uint32_t>(std::min<size_t>(length, m_payloadRemaining));
        m_payloadCrc = Crc16Update(m_payloadCrc, data, n);
        m_payloadRemaining -= n;
        data += n;
        length -= n;
        if (m_payloadRemaining == 0) OnPayloadDone();
        break;
      }
    }
  }
  if (m_plan.disconnect && m_hostBytes >= m_plan.disconnectAfter) Disconnect();
}

size_t VirtualHandset::TakeReply(uint8_t* out, size_t max) {
  const size_t n = std::min(max, Pending());
  if (n > 0) std::memcpy(out, m_reply.data() + m_replyHead, n);
  m_replyHead += n;
  m_replyTaken += n;
  if (m_replyHead == m_reply.size()) {
    m_reply.clear();
    m_replyHead = 0;
  }
  return n;
}

std::vector<ReplyPause> VirtualHandset::TakePauses() { return std::exchange(m_pauses, {}); }

void VirtualHandset::RomWord(uint32_t word) {
  if (m_rx == Rx::RomCommand) {
    if (word != kRomFlashCommand) {
      Refuse(REFUSED_BAD_ROM_COMMAND, "the boot ROM expected the flash command 02 00 03 F0, got " + Hex(word));
      return;
    }
    m_rx = Rx::RomLength;
    return;
  }
  if (word == 0) {
    Refuse(REFUSED_BAD_ROM_COMMAND, "the boot ROM was told of a program of 0 bytes");
    return;
  }
  m_loaderLength = word;
  m_loaderRemaining = word;
  m_loaderCrc = CRC16_INIT;
  m_rx = Rx::RomProgram;
}

void VirtualHandset::TakeFrame(const uint8_t* bytes) {
  const Frame frame = UnpackFrame(bytes);
  if (m_stage == HandsetStage::Finished) {
    Refuse(REFUSED_FINISHED, "a frame after CMD_END_TRANSFER");
  } else if (frame.magic == COMMAND_MAGIC) {
    OnCommand(frame.code, frame.param1, frame.param2);
  } else if (frame.magic == DATA_MAGIC) {
    OnDataHeader(frame.code, frame.param1, frame.param2);
  } else {
    Refuse(REFUSED_BAD_MAGIC, "a frame with the magic " + Hex(frame.magic));
  }
}

void VirtualHandset::OnCommand(uint32_t code, uint32_t param1, uint32_t param2) {
  const bool loader = m_stage == HandsetStage::Loader;
  switch (code) {
    case CMD_PING:
      if (HangsAt(HangPoint::Ping, m_pings)) return;
      // The fault: an answer with the two magics confused.
      QueueFrame(m_plan.pingBad ? DATA_MAGIC : COMMAND_MAGIC, REPORT_ACK, 0, 0);
      return;
    case CMD_SET_RAM_TYPE:
      if (!loader) {
        Refuse(REFUSED_OUT_OF_ORDER, "CMD_SET_RAM_TYPE to the flash programmer");
        return;
      }
      if (HangsAt(HangPoint::Ram, m_ramCommands)) return;
      if (m_plan.ramRefuse) {
        RefuseByFault("the RAM type was refused (fault ram-refuse)");
        return;
      }
      m_ramTypeSet = true;
      QueueFrame(COMMAND_MAGIC, REPORT_ACK, 0, 0);
      return;
    case CMD_GET_CRC:
      OnGetCrc();
      return;
    case CMD_RUN:
      OnRun();
      return;
    case CMD_CONFIG_A:
    case CMD_CONFIG_B:
      OnConfig(code, param1, param2);
      return;
    case CMD_END_TRANSFER:
      if (loader) {
        Refuse(REFUSED_OUT_OF_ORDER, "CMD_END_TRANSFER to the second-stage loader");
        return;
      }
      m_stage = HandsetStage::Finished;
      return;
    default:
      Refuse(REFUSED_UNKNOWN_CODE, "an unknown command " + Hex(code));
      return;
  }
}

void VirtualHandset::OnConfig(uint32_t code, uint32_t first, uint32_t second) {
  const bool isA = code == CMD_CONFIG_A;
  const char* name = isA ? "CMD_CONFIG_A" : "CMD_CONFIG_B";
  if (m_stage != HandsetStage::Programmer) {
    Refuse(REFUSED_OUT_OF_ORDER, std::string(name) + " before the flash programmer runs");
    return;
  }
  if (isA ? m_configA : (!m_configA || m_configB)) {
    Refuse(REFUSED_OUT_OF_ORDER, std::string(name) + (isA ? " a second time" : " out of order"));
    return;
  }
  if (HangsAt(HangPoint::Config, m_configCommands)) return;
  if (m_plan.configRefuse == (isA ? ConfigRefusal::A : ConfigRefusal::B)) {
    RefuseByFault(std::string(name) + " was refused (fault config-refuse)");
    return;
  }
  (isA ? m_configA : m_configB) = true;
  m_config[isA ? 0 : 2] = first;
  m_config[isA ? 1 : 3] = second;
  QueueFrame(COMMAND_MAGIC, REPORT_ACK, 0, 0);
}

void VirtualHandset::OnDataHeader(uint32_t kind, uint32_t address, uint32_t length) {
  ++m_blockHeaders;
  if (!IsDataKind(kind)) {
    Refuse(REFUSED_UNKNOWN_CODE, "a data block of unknown kind " + Hex(kind));
    return;
  }
  if (m_stage == HandsetStage::Loader) {
    if (kind != DATA_PROGRAM || address != VIRTUAL_PROGRAMMER_ADDRESS) {
      Refuse(REFUSED_BAD_BLOCK, "the second-stage loader takes only the programmer at 0x10000000, got kind " +
                                    Hex(kind) + " at " + Hex(address));
      return;
    }
    if (!m_ramTypeSet) {
      Refuse(REFUSED_OUT_OF_ORDER, "a block before the RAM type was set");
      return;
    }
  } else {
    if (kind == DATA_PROGRAM) {
      Refuse(REFUSED_BAD_BLOCK, "a programmer block to the running flash programmer");
      return;
    }
    if (kind == DATA_RAW && address != 0) {
      Refuse(REFUSED_BAD_BLOCK, "raw data at " + Hex(address) + " (raw data goes to 0)");
      return;
    }
    if (!m_configB) {
      Refuse(REFUSED_OUT_OF_ORDER, "a block before the configuration");
      return;
    }
  }
  m_incoming = BlockRecord{kind, address, length, 0};
  m_payloadRemaining = length;
  m_payloadCrc = CRC16_INIT;
  if (length == 0) {
    OnPayloadDone();
  } else {
    m_rx = Rx::Payload;
  }
}

void VirtualHandset::OnPayloadDone() {
  m_rx = Rx::Frame;
  m_incoming.crc = m_payloadCrc;
  // A block that comes before CMD_RUN acted on the previous one takes its place
  // in the receive buffer: it is the host's resend after a checksum mismatch.
  if (m_blockPending) {
    m_blocks.back() = m_incoming;
  } else {
    m_blocks.push_back(m_incoming);
  }
  m_haveBlock = true;
  m_blockPending = true;
  if (HangsAt(HangPoint::Ack, m_blocksAcked)) return;
  QueueFrame(COMMAND_MAGIC, REPORT_ACK, 0, 0);
}

void VirtualHandset::OnGetCrc() {
  if (!m_haveBlock) {
    Refuse(REFUSED_NO_BLOCK, "CMD_GET_CRC before any block");
    return;
  }
  if (HangsAt(HangPoint::Crc, m_crcQueries)) return;
  uint16_t crc = m_blocks.back().crc;
  if (m_crcQueries <= m_plan.crcBad) crc = static_cast<uint16_t>(crc ^ 0xFFFFu);
  QueueFrame(COMMAND_MAGIC, REPORT_CRC, crc, 0);
}

void VirtualHandset::OnRun() {
  if (!m_blockPending) {
    Refuse(REFUSED_NO_BLOCK, "CMD_RUN with no block to act on");
    return;
  }
  const BlockRecord& block = m_blocks.back();
  const bool start = m_stage == HandsetStage::Loader;
  if (start && block.length == 0) {
    Refuse(REFUSED_BAD_BLOCK, "CMD_RUN of an empty programmer");
    return;
  }
  m_blockPending = false;
  if (HangsAt(HangPoint::Run, m_runs)) return;
  for (uint32_t i = 0; i < m_plan.textsPerRun; ++i) {
    const std::string text = VirtualTextReport(m_runs, i);
    QueueFrame(DATA_MAGIC, DATA_TEXT, 0, static_cast<uint32_t>(text.size()));
    QueueBytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  }
  if (m_runs == m_plan.errorRun) {
    // The programmer failed to start, or the block failed to write: the stage stays.
    QueueFrame(COMMAND_MAGIC, REPORT_ERROR, m_plan.errorCode, 0);
    return;
  }
  if (start) {
    m_stage = HandsetStage::Programmer;
  } else {
    WriteBlock(block.length);
  }
  QueueFrame(COMMAND_MAGIC, REPORT_ACK, 0, 0);
}

void VirtualHandset::WriteBlock(uint32_t length) {
  QueueFrame(COMMAND_MAGIC, REPORT_RANGE, length, 0);
  // At N MB/s a byte takes 1/N microseconds.
  const uint32_t speed = m_plan.flashMBps.value_or(0);
  const std::chrono::microseconds writing(speed == 0 ? 0 : int64_t{length} / speed);
  const uint32_t steps =
      std::clamp(static_cast<uint32_t>(writing / kProgressInterval), kProgressSteps, kMaxProgressSteps);
  // Each report stands at its share of the writing time, rounded down, so
  // that the pauses add up to the whole time.
  std::chrono::microseconds reported(0);
  for (uint32_t step = 1; step <= steps; ++step) {
    const std::chrono::microseconds due = writing * step / steps;
    if (due > reported) QueuePause(due - reported);
    reported = due;
    QueueFrame(COMMAND_MAGIC, REPORT_PROGRESS, static_cast<uint32_t>(uint64_t{length} * step / steps), 0);
  }
}

bool VirtualHandset::HangsAt(HangPoint point, uint32_t& counter) {
  ++counter;
  if (m_plan.hang != point || counter != m_plan.hangOccurrence) return false;
  m_hung = true;
  m_rx = Rx::Ignore;
  return true;
}

void VirtualHandset::Refuse(uint32_t code, std::string reason) {
  m_refusal = std::move(reason);
  QueueFrame(COMMAND_MAGIC, REPORT_ERROR, code, 0);
  m_stage = HandsetStage::Halted;
  m_stalled = true;
  m_rx = Rx::Ignore;
}

void VirtualHandset::RefuseByFault(std::string reason) {
  m_refusal = std::move(reason);
  QueueFrame(COMMAND_MAGIC, REPORT_ERROR, FAULT_REFUSED, 0);
}

void VirtualHandset::QueueFrame(uint32_t magic, uint32_t code, uint32_t param1, uint32_t param2) {
  uint8_t bytes[FRAME_SIZE];
  PackFrame(Frame{magic, code, param1, param2}, bytes);
  QueueBytes(bytes, sizeof bytes);
}

void VirtualHandset::QueueBytes(const uint8_t* data, size_t length) {
  m_reply.insert(m_reply.end(), data, data + length);
}

void VirtualHandset::QueuePause(std::chrono::microseconds delay) {
  m_pauses.push_back(ReplyPause{m_replyTaken + Pending(), delay});
}

void VirtualHandset::Disconnect() {
  m_disconnected = true;
  m_reply.clear();
  m_replyHead = 0;
  m_pauses.clear();
  m_rx = Rx::Ignore;
}

}  // namespace morvak
