#pragma once
// Test support: a channel that hands every call to the channel beneath and
// keeps a log of the transfers that reached it, so that a test can cut or
// stop a later run at a chosen transfer and predict what that run shows.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Transport.h"

namespace morvak::testing {

enum class OpKind { Open, Read, Write };

struct LoggedOp {
  OpKind kind = OpKind::Open;
  uint32_t length = 0;
  uint64_t offset = 0;        // host bytes written before this transfer
  std::vector<uint8_t> head;  // the first bytes written (at most one frame)
  size_t linesBefore = 0;     // status lines the run had posted when it was made
  bool ok = false;
};

class OpLogTransport : public ITransport {
 public:
  // `lineCount`, when given, tells how many status lines the run has posted.
  explicit OpLogTransport(std::unique_ptr<ITransport> inner, std::function<size_t()> lineCount = {});

  // Called on the caller's thread after each logged transfer with its index.
  std::function<void(size_t index)> afterOp;

  std::vector<LoggedOp> Log() const;

  // Only successful Opens are logged: a failed one moves no byte.
  uint32_t Open() override;
  void Close() override { m_inner->Close(); }
  bool Read(uint8_t* buffer, uint32_t length) override;
  bool Write(const uint8_t* buffer, uint32_t length) override;
  void Interrupt() override { m_inner->Interrupt(); }
  void SetReplyTimeout(std::chrono::milliseconds timeout) override { m_inner->SetReplyTimeout(timeout); }
  bool LastReadTimedOut() const override { return m_inner->LastReadTimedOut(); }
  std::string OpenProblem() const override { return m_inner->OpenProblem(); }

 private:
  void Record(LoggedOp op);

  std::unique_ptr<ITransport> m_inner;
  std::function<size_t()> m_lineCount;
  mutable std::mutex m_mutex;
  std::vector<LoggedOp> m_log;
  uint64_t m_written = 0;
};

}  // namespace morvak::testing
