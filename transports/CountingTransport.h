#pragma once
// A channel that counts the bytes written through it, for a front end's
// progress display; everything else goes straight to the channel beneath.
#include <atomic>
#include <memory>

#include "Transport.h"

namespace morvak {

class CCountingTransport : public ITransport {
 public:
  explicit CCountingTransport(std::unique_ptr<ITransport> inner) : m_inner(std::move(inner)) {}

  const std::atomic<uint64_t>& BytesWritten() const { return m_written; }

  uint32_t Open() override { return m_inner->Open(); }
  void Close() override { m_inner->Close(); }
  bool Read(uint8_t* buffer, uint32_t length) override { return m_inner->Read(buffer, length); }
  bool Write(const uint8_t* buffer, uint32_t length) override {
    const bool ok = m_inner->Write(buffer, length);
    if (ok) m_written.fetch_add(length, std::memory_order_relaxed);
    return ok;
  }
  void Interrupt() override { m_inner->Interrupt(); }
  void SetReplyTimeout(std::chrono::milliseconds timeout) override { m_inner->SetReplyTimeout(timeout); }
  bool LastReadTimedOut() const override { return m_inner->LastReadTimedOut(); }
  std::string OpenProblem() const override { return m_inner->OpenProblem(); }

 private:
  std::unique_ptr<ITransport> m_inner;
  std::atomic<uint64_t> m_written{0};
};

}  // namespace morvak
