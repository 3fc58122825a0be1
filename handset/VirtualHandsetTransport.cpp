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
  m_held.clear();
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

void VirtualHandsetTransport::TimePauses(Clock::time_point now) {
  for (const ReplyPause& pause : m_handset.TakePauses()) {
    const Clock::time_point after = m_held.empty() ? now : std::max(now, m_held.back().due);
    m_held.push_back(Held{pause.offset, after + std::chrono::duration_cast<Clock::duration>(pause.delay)});
  }
}

size_t VirtualHandsetTransport::Arrived(Clock::time_point now) {
  while (!m_held.empty() && m_held.front().due <= now) m_held.pop_front();
  const size_t pending = m_handset.Pending();
  if (m_held.empty()) return pending;
  return static_cast<size_t>(std::min<uint64_t>(pending, m_held.front().offset - m_handset.ReplyTaken()));
}

bool VirtualHandsetTransport::Read(uint8_t* buffer, uint32_t length) {
  std::unique_lock lock(m_mutex);
  m_readTimedOut = false;
  const auto usable = [this] { return !m_interrupted && m_open && !m_handset.Disconnected(); };
  // Every byte that comes starts the time-out afresh: a handset silent while
  // it writes a block lets it pass only when it stays silent longer.
  const bool timed = m_replyTimeout.count() != 0;
  Clock::time_point now = Clock::now();
  size_t arrived = Arrived(now);
  Clock::time_point deadline = now + m_replyTimeout;
  while (usable() && arrived < length && !(m_handset.Stalled() && m_handset.Pending() < length)) {
    if (timed && now >= deadline) {
      m_readTimedOut = true;
      return false;
    }
    Clock::time_point wake = timed ? deadline : Clock::time_point::max();
    if (!m_held.empty()) wake = std::min(wake, m_held.front().due);
    if (wake == Clock::time_point::max()) {
      m_changed.wait(lock);
    } else {
      m_changed.wait_until(lock, wake);
    }
    now = Clock::now();
    const size_t before = arrived;
    arrived = Arrived(now);
    if (arrived != before) deadline = now + m_replyTimeout;
  }
  if (!usable() || arrived < length) return false;
  // The link is busy for the transfer before the bytes are delivered; the
  // lock is let go meanwhile, so look again afterwards (what has come stays
  // come: pauses lie only ahead of it).
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
  TimePauses(Clock::now());
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
