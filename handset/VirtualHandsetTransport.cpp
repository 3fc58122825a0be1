#include "VirtualHandsetTransport.h"

#include <algorithm>
#include <utility>

namespace morvak {
namespace {

// Longest an Open waits for a handset that has not appeared yet.
constexpr std::chrono::milliseconds kOpenWait(10);

}  // namespace

VirtualHandsetTransport::VirtualHandsetTransport(FaultPlan plan)
    : m_handset(std::move(plan)), m_created(Clock::now()) {}

uint32_t VirtualHandsetTransport::Open() {
  std::unique_lock lock(m_mutex);
  if (m_interrupted) return OPEN_INTERRUPTED;
  m_open = false;
  m_changed.notify_all();
  const Clock::time_point appearAt = m_created + std::chrono::milliseconds(m_handset.Faults().appearMs);
  const Clock::time_point now = Clock::now();
  if (now < appearAt) {
    m_changed.wait_until(lock, std::min(appearAt, now + kOpenWait), [this] { return m_interrupted; });
    if (m_interrupted) return OPEN_INTERRUPTED;
    if (Clock::now() < appearAt) return OPEN_NO_DEVICE;
  }
  m_handset.Attach();
  m_open = true;
  ++m_attaches;
  m_linkStart = Clock::now();
  m_linkBytes = 0;
  m_changed.notify_all();
  return OPEN_CONNECTED;
}

void VirtualHandsetTransport::Close() {
  std::lock_guard lock(m_mutex);
  m_open = false;
  m_changed.notify_all();
}

bool VirtualHandsetTransport::Throttle(std::unique_lock<std::mutex>& lock, uint32_t bytes) {
  const uint32_t speed = m_handset.Faults().speedMBps;
  if (speed == 0) return !m_interrupted;
  m_linkBytes += bytes;
  const std::chrono::duration<double> busy(static_cast<double>(m_linkBytes) / (speed * 1e6));
  const Clock::time_point due = m_linkStart + std::chrono::duration_cast<Clock::duration>(busy);
  m_changed.wait_until(lock, due, [this] { return m_interrupted; });
  return !m_interrupted;
}

bool VirtualHandsetTransport::Read(uint8_t* buffer, uint32_t length) {
  std::unique_lock lock(m_mutex);
  m_readTimedOut = false;
  const auto usable = [this] { return !m_interrupted && m_open && !m_handset.Disconnected(); };
  const auto ready = [&] { return !usable() || m_handset.Pending() >= length || m_handset.Stalled(); };
  if (m_replyTimeout.count() == 0) {
    m_changed.wait(lock, ready);
  } else {
    // Every byte that arrives starts the time-out afresh.
    size_t pending = m_handset.Pending();
    Clock::time_point deadline = Clock::now() + m_replyTimeout;
    while (!ready()) {
      if (m_changed.wait_until(lock, deadline) == std::cv_status::timeout && !ready()) {
        if (m_handset.Pending() == pending) {
          m_readTimedOut = true;
          return false;
        }
      }
      if (m_handset.Pending() != pending) {
        pending = m_handset.Pending();
        deadline = Clock::now() + m_replyTimeout;
      }
    }
  }
  if (!usable() || m_handset.Pending() < length) return false;
  // The link is busy for the transfer before the bytes are delivered; the
  // lock is let go meanwhile, so look again afterwards.
  if (!Throttle(lock, length) || !usable() || m_handset.Pending() < length) return false;
  m_handset.TakeReply(buffer, length);
  return true;
}

bool VirtualHandsetTransport::Write(const uint8_t* buffer, uint32_t length) {
  std::unique_lock lock(m_mutex);
  const auto usable = [this] { return !m_interrupted && m_open && !m_handset.Disconnected(); };
  if (!usable() || !Throttle(lock, length) || !usable()) return false;
  const uint64_t before = m_handset.HostBytes();
  m_handset.HostWrote(buffer, length);
  const bool taken = m_handset.HostBytes() - before == length;
  m_changed.notify_all();
  return taken;
}

void VirtualHandsetTransport::SetReplyTimeout(std::chrono::milliseconds timeout) {
  std::lock_guard lock(m_mutex);
  m_replyTimeout = timeout;
}

bool VirtualHandsetTransport::LastReadTimedOut() const {
  std::lock_guard lock(m_mutex);
  return m_readTimedOut;
}

void VirtualHandsetTransport::Interrupt() {
  std::lock_guard lock(m_mutex);
  m_interrupted = true;
  m_changed.notify_all();
}

std::vector<BlockRecord> VirtualHandsetTransport::Blocks() const {
  std::lock_guard lock(m_mutex);
  return m_handset.Blocks();
}

HandsetStage VirtualHandsetTransport::Stage() const {
  std::lock_guard lock(m_mutex);
  return m_handset.Stage();
}

bool VirtualHandsetTransport::Hung() const {
  std::lock_guard lock(m_mutex);
  return m_handset.Hung();
}

bool VirtualHandsetTransport::Disconnected() const {
  std::lock_guard lock(m_mutex);
  return m_handset.Disconnected();
}

std::string VirtualHandsetTransport::RefusalReason() const {
  std::lock_guard lock(m_mutex);
  return m_handset.RefusalReason();
}

uint64_t VirtualHandsetTransport::HostBytes() const {
  std::lock_guard lock(m_mutex);
  return m_handset.HostBytes();
}

uint32_t VirtualHandsetTransport::BlockHeaders() const {
  std::lock_guard lock(m_mutex);
  return m_handset.BlockHeaders();
}

std::array<uint32_t, 4> VirtualHandsetTransport::ConfigWords() const {
  std::lock_guard lock(m_mutex);
  return m_handset.ConfigWords();
}

uint32_t VirtualHandsetTransport::Attaches() const {
  std::lock_guard lock(m_mutex);
  return m_attaches;
}

FaultPlan VirtualHandsetTransport::Faults() const {
  std::lock_guard lock(m_mutex);
  return m_handset.Faults();
}

}  // namespace morvak
