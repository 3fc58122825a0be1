#pragma once
// The virtual handset behind the transport interface, where a real handset's
// USB channel would be. Thread-safe: the run's worker reads and writes while
// another thread may Interrupt or look at the handset's record. Every
// instance is a handset of its own; two in one process share nothing.
//
// With cycle= in its plan the transport is a port of a bench, where handset
// after handset is plugged in: the first once the appear delay has passed;
// each is unplugged cycle ms after its run has ended, which is when a channel
// that was read or written is closed (or opened again), and the next is
// plugged in cycle ms after that, with an ASIC ID of its own (BenchUnit) and
// its plan (PortPlan::PlanOfUnit). A handset that is unplugged answers
// nothing and its channel stays dead; one that is plugged in boots from its
// ROM once, whatever is opened and closed while it stays. An Open and a Close
// with no transfer between them (a look whether a handset is there) ends no run.
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "FaultPlan.h"
#include "PortPlan.h"
#include "Transport.h"
#include "VirtualHandset.h"

namespace morvak {

class VirtualHandsetTransport : public ITransport {
 public:
  // The `appear` delay of the plan counts from here.
  explicit VirtualHandsetTransport(FaultPlan plan = {});
  // A port whose handsets may have faults of their own; `port` (from 1)
  // goes into the ASIC IDs of a bench's handsets.
  VirtualHandsetTransport(PortPlan plan, uint32_t port);

  // Without cycle=: OPEN_NO_DEVICE until the appear delay has passed (each
  // call waits up to ~10 ms for it), then powers the handset on: every
  // successful Open is a freshly plugged handset.
  // With cycle=: OPEN_NO_DEVICE at once while no handset is plugged in; the
  // one plugged in is opened as it is (powered on when it was plugged in).
  uint32_t Open() override;
  void Close() override;
  // Waits until `length` reply bytes have come. Bytes behind a pause of the
  // handset (a flash programmer writing a block) come once the pause has
  // passed, counted from when the bytes before them came. Fails at once when
  // the handset is gone or stalled (a refusal, a failed ASIC ID) with too few
  // bytes pending; a handset that hangs holds the read until Interrupt().
  bool Read(uint8_t* buffer, uint32_t length) override;
  // True when the handset took every byte; false when it went away before.
  bool Write(const uint8_t* buffer, uint32_t length) override;
  // A read ends once the time-out passes without a byte coming: a hung
  // handset's, or one whose handset is silent longer (a pause of its own).
  void SetReplyTimeout(std::chrono::milliseconds timeout) override;
  bool LastReadTimedOut() const override;
  void Interrupt() override;
  std::string OpenProblem() const override { return {}; }
  // The number of the handset plugged in (Unit) as of the last Open.
  uint64_t Attachment() const override;

  // Locked copies of the handset's state.
  std::vector<BlockRecord> Blocks() const;
  HandsetStage Stage() const;
  bool Hung() const;
  bool Disconnected() const;
  std::string RefusalReason() const;
  uint64_t HostBytes() const;
  uint32_t BlockHeaders() const;
  std::array<uint32_t, 4> ConfigWords() const;
  // Successful Opens so far.
  uint32_t Attaches() const;
  // The plan of the handset plugged in (or next to be).
  FaultPlan Faults() const;

  // Whether a handset is plugged in now, without opening anything.
  bool HandsetPresent();
  // Which handset is plugged in now: its number among those plugged in here,
  // from 1; 0 while none is. Without cycle= the one handset is 1 once it has
  // appeared. (The other looks above show the handset as of the last call
  // of this, HandsetPresent, Open, Close, Read or Write.)
  uint32_t Unit();

 private:
  using Clock = std::chrono::steady_clock;
  // Holds the caller until the link has carried `bytes` more at the plan's
  // speed, averaged since Open. False when interrupted meanwhile.
  bool Throttle(std::unique_lock<std::mutex>& lock, uint32_t bytes);
  // Gives the pauses the handset queued since the last look their times.
  void TimePauses(Clock::time_point now);
  // Reply bytes that have come by `now` (forgetting the pauses passed).
  size_t Arrived(Clock::time_point now);

  bool Cycles() const { return m_plan.plan.cycleMs != 0; }
  Clock::time_point AppearsAt() const;
  // A bench's plugging and unplugging due by `now`.
  void Advance(Clock::time_point now);
  // Closes the channel; the close of one that was read or written ends a bench handset's run.
  void ReleaseChannel(Clock::time_point now);
  // The channel is open to a handset that is there: a transfer may go on.
  bool Usable();

  // Reply bytes from `offset` on (counted as ReplyPause's) come at `due`.
  struct Held {
    uint64_t offset;
    Clock::time_point due;
  };

  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  const PortPlan m_plan;
  const uint32_t m_port;
  VirtualHandset m_handset;
  const Clock::time_point m_created;
  bool m_open = false;
  bool m_used = false;  // the open channel was read or written
  // The bench: the handset plugged in (0 before the first), whether it still
  // is, and when the next unplugging and plugging in are due.
  uint32_t m_unit = 0;
  uint32_t m_plugs = 0;          // handsets plugged in so far, a unit that came back counted again
  bool m_cameBack = false;       // the handset plugged in is a unit that came back (reenumerate)
  bool m_present = false;
  std::optional<Clock::time_point> m_unplugAt;
  std::optional<Clock::time_point> m_plugAt;
  bool m_interrupted = false;
  std::chrono::milliseconds m_replyTimeout{0};
  bool m_readTimedOut = false;
  uint32_t m_attaches = 0;
  Clock::time_point m_linkStart;
  uint64_t m_linkBytes = 0;
  std::deque<Held> m_held;  // in reply order
};

}  // namespace morvak
