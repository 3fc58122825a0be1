#pragma once
// VirtualHandset: the device side of a handset, as state machines for its
// boot ROM, second-stage loader and flash programmer, with faults on request.
// It is driven by bytes only: the host's bytes go in through HostWrote (in any
// split, as USB delivers them), the handset's answers come out through
// TakeReply. It never blocks, keeps no clock and is not thread-safe;
// VirtualHandsetTransport puts a lock, the waiting and the time around it.
//
// Payloads are checked as they stream in and never kept: a block costs its
// CRC-16 and a BlockRecord, whatever its length.
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FaultPlan.h"
#include "HandsetContent.h"

namespace morvak {

// One data block the handset accepted (DATA_PROGRAM included), with the
// CRC-16 of the payload it actually received.
struct BlockRecord {
  uint32_t kind = 0;
  uint32_t address = 0;
  uint32_t length = 0;
  uint16_t crc = 0;
  friend bool operator==(const BlockRecord&, const BlockRecord&) = default;
};

// A silence in the reply, as while the flash programmer writes a block: the
// reply bytes from `offset` on (counted from power-on) come no sooner than
// `delay` after the bytes before them. Whoever delivers the bytes keeps the time.
struct ReplyPause {
  uint64_t offset = 0;
  std::chrono::microseconds delay{0};
  friend bool operator==(const ReplyPause&, const ReplyPause&) = default;
};

enum class HandsetStage {
  Off,         // not powered: Attach() has not been called
  BootRom,     // the ROM: ASIC ID sent, waiting for the flash command, length, program
  Loader,      // the second-stage loader runs
  Programmer,  // the flash programmer runs
  Finished,    // CMD_END_TRANSFER came: the transfer is over
  Halted,      // the handset refused something and answers nothing more
};

// Where the flash programmer is loaded and started.
inline constexpr uint32_t VIRTUAL_PROGRAMMER_ADDRESS = 0x10000000u;

// Codes of the REPORT_ERROR frame the handset sends when it refuses. A refusal
// of the protocol (REFUSED_*) halts the handset: after the error frame it
// sends nothing and every further read of it fails at once, so the host fails
// promptly instead of waiting for an answer. A refusal asked for by the fault
// plan (FAULT_REFUSED) leaves the handset running.
inline constexpr uint32_t REFUSED_BAD_MAGIC = 9001;       // neither COMMAND_MAGIC nor DATA_MAGIC
inline constexpr uint32_t REFUSED_UNKNOWN_CODE = 9002;    // a command or data kind this side does not know
inline constexpr uint32_t REFUSED_OUT_OF_ORDER = 9003;    // a known command at the wrong moment
inline constexpr uint32_t REFUSED_NO_BLOCK = 9004;        // CMD_RUN or CMD_GET_CRC with no block received
inline constexpr uint32_t REFUSED_BAD_BLOCK = 9005;       // a block of the wrong kind or address here
inline constexpr uint32_t REFUSED_BAD_ROM_COMMAND = 9006; // the ROM did not get 02 00 03 F0, or a length of 0
inline constexpr uint32_t REFUSED_FINISHED = 9007;        // anything after CMD_END_TRANSFER
inline constexpr uint32_t FAULT_REFUSED = 9100;           // ram-refuse, config-refuse

class VirtualHandset {
 public:
  // `where` gives the handset of a bench an ASIC ID of its own.
  explicit VirtualHandset(FaultPlan plan = {}, BenchUnit where = {});

  // Power-on, as when the host has opened the channels: everything is reset
  // (stage, counters, block record, refusal), and the ROM queues its ASIC ID
  // unasked. Each Attach is a freshly plugged handset with the same faults
  // and the same ASIC ID.
  void Attach();
  // Bytes from the host, in any split. Ignored before Attach and once
  // disconnected; the bytes taken are counted in HostBytes().
  void HostWrote(const uint8_t* data, size_t length);

  // Reply bytes queued and not yet taken, whatever pauses lie among them.
  size_t Pending() const { return m_reply.size() - m_replyHead; }
  // Moves up to `max` pending reply bytes to `out`; returns how many. It does
  // not look at pauses: honouring them is the caller's part.
  size_t TakeReply(uint8_t* out, size_t max);
  // Reply bytes taken since power-on: the offset of the first pending byte.
  uint64_t ReplyTaken() const { return m_replyTaken; }
  // The pauses queued since the last call (or power-on), in reply order.
  std::vector<ReplyPause> TakePauses();

  // The handset went away (the disconnect fault): nothing is pending, nothing
  // more is taken.
  bool Disconnected() const { return m_disconnected; }
  // No more bytes will ever come and the read channel fails: after a refusal
  // that halts, and when the ASIC ID read fails. What is pending can still be
  // taken.
  bool Stalled() const { return m_stalled; }
  // A reply that never comes is due (the hang fault); the handset takes the
  // host's bytes from now on but acts on none.
  bool Hung() const { return m_hung; }

  HandsetStage Stage() const { return m_stage; }
  const std::vector<BlockRecord>& Blocks() const { return m_blocks; }
  // Why the handset last refused something; empty when it never did.
  const std::string& RefusalReason() const { return m_refusal; }
  const FaultPlan& Faults() const { return m_plan; }
  // Bytes taken from the host since power-on.
  uint64_t HostBytes() const { return m_hostBytes; }
  // Data block headers received since power-on, resends included.
  uint32_t BlockHeaders() const { return m_blockHeaders; }
  uint32_t RunCommands() const { return m_runs; }
  // The program the ROM received: its length and CRC-16.
  uint32_t LoaderLength() const { return m_loaderLength; }
  uint16_t LoaderCrc() const { return m_loaderCrc; }
  // The four configuration words the programmer accepted (a, b, c, d), zero until then.
  const std::array<uint32_t, 4>& ConfigWords() const { return m_config; }

 private:
  enum class Rx { Ignore, RomCommand, RomLength, RomProgram, Frame, Payload };

  void TakeFrame(const uint8_t* bytes);
  void OnCommand(uint32_t code, uint32_t param1, uint32_t param2);
  void OnDataHeader(uint32_t kind, uint32_t address, uint32_t length);
  void OnPayloadDone();
  void OnRun();
  void OnGetCrc();
  void OnConfig(uint32_t code, uint32_t first, uint32_t second);
  void RomWord(uint32_t word);
  // The programmer's reports on writing a block of `length` bytes: the range
  // at once, then progress spread over the writing time at the plan's flash speed.
  void WriteBlock(uint32_t length);

  // Counts an occurrence of `point` and tells whether its reply is the one
  // that never comes; sets the hang when it is.
  bool HangsAt(HangPoint point, uint32_t& counter);
  void Refuse(uint32_t code, std::string reason);      // halts
  void RefuseByFault(std::string reason);              // keeps running
  void QueueFrame(uint32_t magic, uint32_t code, uint32_t param1, uint32_t param2);
  void QueueBytes(const uint8_t* data, size_t length);
  // What is queued next comes `delay` after what is queued already.
  void QueuePause(std::chrono::microseconds delay);
  void Disconnect();

  FaultPlan m_plan;
  BenchUnit m_where;
  HandsetStage m_stage = HandsetStage::Off;
  Rx m_rx = Rx::Ignore;
  bool m_disconnected = false;
  bool m_stalled = false;
  bool m_hung = false;
  std::string m_refusal;

  // Input framing: a partial frame or ROM word waits here for its other bytes.
  uint8_t m_partial[16] = {};
  size_t m_partialFill = 0;
  uint64_t m_hostBytes = 0;

  // The program the ROM is receiving, and the data block being received or last received.
  uint32_t m_loaderLength = 0;
  uint32_t m_loaderRemaining = 0;
  uint16_t m_loaderCrc = 0;
  BlockRecord m_incoming;
  uint32_t m_payloadRemaining = 0;
  uint16_t m_payloadCrc = 0;
  bool m_haveBlock = false;     // a block was received since power-on (CMD_GET_CRC answers for it)
  bool m_blockPending = false;  // ... and no CMD_RUN has acted on it yet

  // Progress through the set-up.
  bool m_ramTypeSet = false;
  bool m_configA = false;
  bool m_configB = false;
  std::array<uint32_t, 4> m_config{};

  // Occurrence counters for the faults.
  uint32_t m_pings = 0;
  uint32_t m_ramCommands = 0;
  uint32_t m_blockHeaders = 0;
  uint32_t m_blocksAcked = 0;
  uint32_t m_crcQueries = 0;
  uint32_t m_configCommands = 0;
  uint32_t m_runs = 0;

  std::vector<BlockRecord> m_blocks;
  // Replies not yet taken; m_replyHead is the first of them.
  std::vector<uint8_t> m_reply;
  size_t m_replyHead = 0;
  uint64_t m_replyTaken = 0;
  std::vector<ReplyPause> m_pauses;
};

}  // namespace morvak
