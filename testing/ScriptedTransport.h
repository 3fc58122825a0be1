#pragma once
// A scripted byte channel for byte-exact tests: it records every transfer the
// host makes and answers reads from a script. A read the script cannot answer
// fails at once instead of blocking, so a test never hangs.
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "Frame.h"
#include "Transport.h"

namespace morvak::testing {

struct Transfer {
  bool write = false;
  std::vector<uint8_t> bytes;  // what was written, or what was read
  uint32_t length = 0;
};

class ScriptedTransport : public ITransport {
 public:
  // Results of the coming Open calls, in order; once used up, OPEN_CONNECTED.
  std::deque<uint32_t> openResults;
  std::string openProblem;
  // Bytes the device will send, in order.
  std::deque<uint8_t> replies;
  // The n-th write (0-based, counting every Write call) fails; -1 for none.
  int failWriteAt = -1;
  // A read the script cannot answer fails as a reply time-out would
  // (LastReadTimedOut() true) rather than as a failed transfer.
  bool unansweredReadsTimeOut = false;
  std::chrono::milliseconds replyTimeout{0};
  bool lastReadTimedOut = false;
  // Called after each write with the written bytes, so a test can answer it.
  std::function<void(ScriptedTransport&, const std::vector<uint8_t>&)> onWrite;

  std::vector<Transfer> transfers;
  int openCalls = 0;
  int closeCalls = 0;
  int writeCalls = 0;

  void Reply(const std::vector<uint8_t>& bytes) { replies.insert(replies.end(), bytes.begin(), bytes.end()); }
  void ReplyFrame(const Frame& frame);
  std::vector<Transfer> Writes() const;
  // All written bytes, concatenated.
  std::vector<uint8_t> WrittenBytes() const;

  uint32_t Open() override;
  void Close() override { ++closeCalls; }
  bool Read(uint8_t* buffer, uint32_t length) override;
  bool Write(const uint8_t* buffer, uint32_t length) override;
  void Interrupt() override {}
  void SetReplyTimeout(std::chrono::milliseconds timeout) override { replyTimeout = timeout; }
  bool LastReadTimedOut() const override { return lastReadTimedOut; }
  std::string OpenProblem() const override { return openProblem; }
};

std::vector<uint8_t> FrameBytes(const Frame& frame);

}  // namespace morvak::testing
