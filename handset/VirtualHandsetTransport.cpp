#include "VirtualHandsetTransport.h"

#include <algorithm>
#include <utility>

namespace morvak {
namespace {

// Longest an Open waits for a handset that has not appeared yet.
constexpr std::chrono::milliseconds kOpenWait(10);

}  // namespace

VirtualHandsetTransport::VirtualHandsetTransport(FaultPlan plan)
    : VirtualHandsetTransport(PortPlan{std::move(plan), {}}, 1) {}

VirtualHandsetTransport::VirtualHandsetTransport(PortPlan plan, uint32_t port)
    : m_plan(std::move(plan)),
      m_port(port),
      // The handsets of several ports are units of their own; the first keeps the lone handset's ID.
      m_handset(m_plan.PlanOfUnit(1), m_plan.plan.cycleMs == 0 && port > 1 ? BenchUnit{port, 1} : BenchUnit{}),
      m_created(Clock::now()) {
  if (Cycles()) m_plugAt = AppearsAt();
}

VirtualHandsetTransport::Clock::time_point VirtualHandsetTransport::AppearsAt() const {
  return m_created + std::chrono::milliseconds(m_plan.plan.appearMs);
}

void VirtualHandsetTransport::Advance(Clock::time_point now) {
  if (!Cycles()) return;
  const std::chrono::milliseconds cycle(m_plan.plan.cycleMs);
  if (m_unplugAt && now >= *m_unplugAt) {
    // Unplugged: the channel to it is dead for good, and nothing answers.
    m_plugAt = *m_unplugAt + cycle;
    m_unplugAt.reset();
    m_present = false;
    m_open = false;
    m_handset = VirtualHandset(m_plan.PlanOfUnit(m_unit + 1));
    m_held.clear();
    m_changed.notify_all();
  }
  if (!m_present && m_plugAt && now >= *m_plugAt) {
    m_plugAt.reset();
    ++m_plugs;
    // A unit that re-enumerates comes back once as itself.
    m_cameBack = m_plan.plan.reenumerate && m_unit != 0 && !m_cameBack;
    if (!m_cameBack) ++m_unit;
    m_handset = VirtualHandset(m_plan.PlanOfUnit(m_unit), BenchUnit{m_port, m_unit});
    m_handset.Attach();
    m_present = true;
    m_held.clear();
    m_changed.notify_all();
  }
}

void VirtualHandsetTransport::ReleaseChannel(Clock::time_point now) {
  if (m_open && m_used && Cycles() && m_present && !m_unplugAt)
    m_unplugAt = now + std::chrono::milliseconds(m_plan.plan.cycleMs);
  m_open = false;
  m_used = false;
  m_changed.notify_all();
}

bool VirtualHandsetTransport::Usable() {
  Advance(Clock::now());
  return !m_interrupted && m_open && !m_handset.Disconnected();
}

uint32_t VirtualHandsetTransport::Open() {
  std::unique_lock lock(m_mutex);
  if (m_interrupted) return OPEN_INTERRUPTED;
  Clock::time_point now = Clock::now();
  Advance(now);
  ReleaseChannel(now);
  if (Cycles()) {
    // A port polled for its handsets is never held up.
    if (!m_present) return OPEN_NO_DEVICE;
  } else {
    const Clock::time_point appearAt = AppearsAt();
    if (now < appearAt) {
      m_changed.wait_until(lock, std::min(appearAt, now + kOpenWait), [this] { return m_interrupted; });
      if (m_interrupted) return OPEN_INTERRUPTED;
      now = Clock::now();
      if (now < appearAt) return OPEN_NO_DEVICE;
    }
    m_handset.Attach();
    m_held.clear();
  }
  m_open = true;
  ++m_attaches;
  m_linkStart = now;
  m_linkBytes = 0;
  m_changed.notify_all();
  return OPEN_CONNECTED;
}

void VirtualHandsetTransport::Close() {
  std::lock_guard lock(m_mutex);
  const Clock::time_point now = Clock::now();
  Advance(now);
  ReleaseChannel(now);
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
  m_used = m_used || m_open;
  // Every byte that comes starts the time-out afresh: a handset silent while
  // it writes a block lets it pass only when it stays silent longer.
  const bool timed = m_replyTimeout.count() != 0;
  Clock::time_point now = Clock::now();
  size_t arrived = Arrived(now);
  Clock::time_point deadline = now + m_replyTimeout;
  while (Usable() && arrived < length && !(m_handset.Stalled() && m_handset.Pending() < length)) {
    if (timed && now >= deadline) {
      m_readTimedOut = true;
      return false;
    }
    Clock::time_point wake = timed ? deadline : Clock::time_point::max();
    if (!m_held.empty()) wake = std::min(wake, m_held.front().due);
    if (m_unplugAt) wake = std::min(wake, *m_unplugAt);
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
  if (!Usable() || arrived < length) return false;
  // The link is busy for the transfer before the bytes are delivered; the
  // lock is let go meanwhile, so look again afterwards (what has come stays
  // come: pauses lie only ahead of it).
  if (!Throttle(lock, length) || !Usable() || m_handset.Pending() < length) return false;
  m_handset.TakeReply(buffer, length);
  return true;
}

bool VirtualHandsetTransport::Write(const uint8_t* buffer, uint32_t length) {
  std::unique_lock lock(m_mutex);
  m_used = m_used || m_open;
  if (!Usable() || !Throttle(lock, length) || !Usable()) return false;
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

bool VirtualHandsetTransport::HandsetPresent() {
  std::lock_guard lock(m_mutex);
  const Clock::time_point now = Clock::now();
  Advance(now);
  return Cycles() ? m_present : now >= AppearsAt();
}

uint64_t VirtualHandsetTransport::Attachment() const {
  std::lock_guard lock(m_mutex);
  if (!Cycles()) return 1;
  return m_present ? m_plugs : 0;
}

uint32_t VirtualHandsetTransport::Unit() {
  std::lock_guard lock(m_mutex);
  const Clock::time_point now = Clock::now();
  Advance(now);
  if (!Cycles()) return now >= AppearsAt() ? 1 : 0;
  return m_present ? m_unit : 0;
}

}  // namespace morvak
