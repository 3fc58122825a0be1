#pragma once
// A port's channel lent to one run, for a station where run after run uses
// the same port: everything goes to the channel beneath until the lender
// takes it back (Release). A run ends with Interrupt (FlashRun::Shutdown),
// which is irreversible: once released, that and everything else reaches the
// port no more, so the next run finds its channel as it was.
#include <atomic>

#include "Transport.h"

namespace morvak {

class BorrowedTransport : public ITransport {
 public:
  explicit BorrowedTransport(ITransport& inner) : m_inner(inner) {}

  // From the lender, once the run's worker has returned.
  void Release() { m_released.store(true); }

  uint32_t Open() override { return m_released.load() ? OPEN_INTERRUPTED : m_inner.Open(); }
  void Close() override {
    if (!m_released.load()) m_inner.Close();
  }
  bool Read(uint8_t* buffer, uint32_t length) override { return !m_released.load() && m_inner.Read(buffer, length); }
  bool Write(const uint8_t* buffer, uint32_t length) override {
    return !m_released.load() && m_inner.Write(buffer, length);
  }
  void Interrupt() override {
    if (!m_released.load()) m_inner.Interrupt();
  }
  void SetReplyTimeout(std::chrono::milliseconds timeout) override {
    if (!m_released.load()) m_inner.SetReplyTimeout(timeout);
  }
  bool LastReadTimedOut() const override { return !m_released.load() && m_inner.LastReadTimedOut(); }
  std::string OpenProblem() const override { return m_released.load() ? std::string() : m_inner.OpenProblem(); }
  uint64_t Attachment() const override { return m_released.load() ? 0 : m_inner.Attachment(); }

 private:
  ITransport& m_inner;
  std::atomic<bool> m_released{false};
};

}  // namespace morvak
