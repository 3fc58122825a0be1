#include "Station.h"

#include <memory>

#include "BorrowedTransport.h"
#include "PortWatch.h"
#include "QueuedRun.h"
#include "RecordOfRun.h"
#include "RecordTotals.h"
#include "RunEventQueue.h"
#include "RunRecord.h"
#include "StationTexts.h"

namespace morvak {
namespace {

using Clock = std::chrono::steady_clock;

// Idle ports are looked at this often: a look is an open and a close, so the
// station costs next to no CPU while it waits, and an arrival is seen soon.
// A handset swapped for the next faster than this is taken for the same one.
// A running unit's transfer is reported as often.
constexpr auto kLookInterval = std::chrono::milliseconds(50);
// How often the ports are listed afresh for handsets on new ones (USB).
constexpr auto kFindPortsInterval = std::chrono::seconds(1);
// A run starts because its handset was seen; should it go away before the
// run opens it, the run ends after this wait (or the setup's) instead of
// holding the port for ever.
constexpr auto kArrivalWait = std::chrono::seconds(10);
constexpr size_t kNoRun = static_cast<size_t>(-1);

struct Port {
  HandsetChannel channel;
  std::unique_ptr<CPortWatch> watch;
  size_t run = kNoRun;       // the run that has the port's channel now
  bool interrupted = false;  // its channel never opens again
  bool shownOnce = false;
  PortState shown = PortState::Waiting;
  std::string shownProblem;
};

struct Unit {
  std::unique_ptr<CQueuedRun> run;
  CBorrowedTransport* channel = nullptr;  // owned by the run
  size_t port = 0;
  HandsetOutcome outcome;
  bool finished = false;
};

class CStation {
 public:
  CStation(StationSetup setup, IRunOutput& output) : m_setup(std::move(setup)), m_output(output) {}

  StationEnd Run();

 private:
  void AddPort(HandsetChannel channel);
  void FindNewPorts();
  bool Arming() const;
  bool Running() const;
  // Start's checks for a run: false (with the line said) when refused.
  bool Prepare(CQueuedRun& run, const std::string& port);
  void Look(size_t port);
  void Arm(size_t port);
  void Show(Port& port, PortState state, const std::string& detail = {});
  void Handle(RunEvent& event);
  void Ended(size_t unit);
  void ReportPayloads();
  void ActOnStops();
  void Say(const std::string& port, const std::string& text);
  void Problem(const std::string& text) const {
    if (m_setup.problem) m_setup.problem(text);
  }

  StationSetup m_setup;
  IRunOutput& m_output;
  CRunEventQueue m_events;
  std::vector<std::unique_ptr<Port>> m_ports;
  std::vector<std::unique_ptr<Unit>> m_units;  // every run, by its events' handset number
  int m_stopsSeen = 0;
  StationEnd m_end;
  RecordTotals m_tally;
};

void CStation::AddPort(HandsetChannel channel) {
  auto port = std::make_unique<Port>();
  port->channel = std::move(channel);
  port->watch = std::make_unique<CPortWatch>(*port->channel.transport);
  m_ports.push_back(std::move(port));
  Show(*m_ports.back(), PortState::Waiting);
}

void CStation::FindNewPorts() {
  if (!m_setup.newPorts) return;
  std::vector<std::string> watched;
  for (const auto& p : m_ports) watched.push_back(p->channel.port);
  for (HandsetChannel& channel : m_setup.newPorts(watched)) AddPort(std::move(channel));
}

bool CStation::Arming() const {
  return m_stopsSeen == 0 && !m_end.refused && (!m_setup.units || m_units.size() < *m_setup.units);
}

bool CStation::Running() const {
  for (const auto& p : m_ports)
    if (p->run != kNoRun) return true;
  return false;
}

void CStation::Say(const std::string& port, const std::string& text) {
  RunEvent line;
  line.kind = RunEvent::kLine;
  line.text = text;
  line.time = std::chrono::system_clock::now();
  m_output.Line(port, line);
}

void CStation::Show(Port& p, PortState state, const std::string& detail) {
  if (p.shownOnce && p.shown == state && p.shownProblem == detail) return;
  p.shownOnce = true;
  p.shown = state;
  p.shownProblem = detail;
  m_output.PortChanged(p.channel.port, state, detail);
}

bool CStation::Prepare(CQueuedRun& run, const std::string& port) {
  run.m_strModuleDirectory = m_setup.moduleDirectory;
  run.m_strImagePath = m_setup.imagePath;
  run.m_nFlashType = m_setup.oneNand ? FLASH_TYPE_ONENAND : FLASH_TYPE_NAND;
  run.m_replyTimeoutOverride = m_setup.replyTimeout;
  run.m_link.m_waitTimeout = m_setup.waitTimeout.value_or(kArrivalWait);
  run.m_bDigestImage = !m_setup.recordPath.empty();
  std::string line;
  if (run.ApplyStartSettings(m_setup.eraseReserved, line)) return true;
  // Every run reads the same image and configuration: none would start.
  if (port.empty())
    Problem(line);
  else
    Say(port, line);
  m_end.refused = true;
  m_end.configurationRefused = run.ConfigurationRefused();
  return false;
}

void CStation::Look(size_t index) {
  Port& p = *m_ports[index];
  if (p.interrupted || p.run != kNoRun) return;
  const bool waiting = p.watch->HandsetWaiting();
  const PortLook look = p.watch->LastLook();
  if (look == PortLook::Interrupted) {
    p.interrupted = true;
    Show(p, PortState::Closed);
    return;
  }
  if (look == PortLook::Unusable) {
    // An unusable port says what to mend once, and again when that changes.
    if (p.shown != PortState::Unusable || p.shownProblem != p.watch->Problem()) Say(p.channel.port, p.watch->Problem());
    Show(p, PortState::Unusable, p.watch->Problem());
  } else if (look == PortLook::Absent) {
    Show(p, PortState::Waiting);  // the flashed handset has gone
  }
  if (waiting) Arm(index);
}

void CStation::Arm(size_t index) {
  Port& p = *m_ports[index];
  auto unit = std::make_unique<Unit>();
  unit->port = index;
  unit->outcome.port = p.channel.port;
  unit->run = std::make_unique<CQueuedRun>(&m_events, m_units.size());
  auto channel = std::make_unique<CBorrowedTransport>(*p.channel.transport);
  unit->channel = channel.get();
  unit->run->m_link.m_device.SetTransport(std::move(channel));
  if (!Prepare(*unit->run, p.channel.port)) {
    // The run goes with its Shutdown's Interrupt, which must not reach the port.
    unit->channel->Release();
    return;
  }
  p.run = m_units.size();
  Show(p, PortState::Flashing);
  unit->outcome.startedAt = std::chrono::system_clock::now();
  unit->outcome.started = unit->run->StartWorker();
  m_units.push_back(std::move(unit));
  if (!m_units.back()->outcome.started) Ended(p.run);
}

void CStation::Handle(RunEvent& event) {
  if (event.handset >= m_units.size()) return;
  if (ApplyRunEvent(event, m_units[event.handset]->outcome, m_output)) Ended(event.handset);
}

void CStation::Ended(size_t index) {
  Unit& u = *m_units[index];
  if (u.finished) return;
  u.finished = true;
  // kFinished is the worker's last act: everything it wrote is ours to read.
  u.run->JoinWorker();
  HandsetOutcome& o = u.outcome;
  if (o.endedAt < o.startedAt) o.endedAt = std::chrono::system_clock::now();
  o.asicIdHex = AsicIdHex(*u.run);
  // The transfer as it ended, which the last look may have missed.
  if (const CQueuedRun::Payload payload = u.run->PayloadSent(); payload.total != 0)
    m_output.Payload(o.port, payload.sent, payload.total);
  m_output.HandsetEnded(index);
  m_output.Result(o);
  if (!m_setup.recordPath.empty() && o.started) {
    const RunEnding ending{o.succeeded, o.lastLine, o.startedAt, o.endedAt, o.port};
    std::string error;
    if (!AppendRunRecord(m_setup.recordPath, MakeRunRecord(*u.run, ending, u.run->ImageSha256()), error)) {
      Problem(error);
      m_end.recordsWritten = false;
    }
  }
  RecordEntry entry;
  entry.started = o.startedAt;
  entry.succeeded = o.succeeded;
  entry.elapsedSeconds = o.Seconds();
  m_tally.Add(entry);
  m_output.Tally(m_tally);
  // The port has its channel back; the run and its link go.
  u.channel->Release();
  u.run.reset();
  Port& p = *m_ports[u.port];
  p.run = kNoRun;
  p.watch->RunEnded();
  Show(p, o.succeeded ? PortState::Passed : PortState::Failed);
  if (!o.succeeded && !p.interrupted) Say(p.channel.port, texts::kUnplugFailed);
}

void CStation::ReportPayloads() {
  for (const auto& u : m_units) {
    if (u->finished || !u->run) continue;
    const CQueuedRun::Payload payload = u->run->PayloadSent();
    if (payload.total != 0) m_output.Payload(u->outcome.port, payload.sent, payload.total);
  }
}

void CStation::ActOnStops() {
  const int requests = m_setup.stopRequests ? m_setup.stopRequests() : 0;
  if (requests <= m_stopsSeen) return;
  if (m_stopsSeen == 0) m_output.Stopping(false);
  if (requests >= 2 && m_stopsSeen < 2) {
    // A read waiting for a handset that never answers would hold its run for
    // ever: end every one, so that each still ends with its lines and record.
    for (const auto& u : m_units) {
      if (u->finished || !u->run) continue;
      u->run->RequestStop();
      u->channel->Interrupt();
    }
    m_output.Stopping(true);
  }
  m_stopsSeen = requests;
}

StationEnd CStation::Run() {
  {
    // Start's checks before the first handset is waited for: a bad image or
    // configuration is told at once.
    CQueuedRun probe;
    if (!Prepare(probe, std::string())) return m_end;
  }
  for (HandsetChannel& channel : m_setup.channels) AddPort(std::move(channel));
  m_setup.channels.clear();
  Clock::time_point nextLook = Clock::now();
  Clock::time_point nextFind = Clock::now();
  for (;;) {
    ActOnStops();
    if (!Arming() && !Running()) break;
    if (Arming() && Clock::now() >= nextFind) {
      FindNewPorts();
      nextFind = Clock::now() + kFindPortsInterval;
    }
    if (Clock::now() >= nextLook) {
      if (Arming())
        for (size_t i = 0; i < m_ports.size() && Arming(); ++i) Look(i);
      ReportPayloads();
      nextLook = Clock::now() + kLookInterval;
    }
    std::deque<RunEvent> events = m_events.Take(kLookInterval);
    for (RunEvent& event : events) Handle(event);
    m_output.Idle();
  }
  m_output.RunsEnded();
  for (const auto& u : m_units) m_end.outcomes.push_back(u->outcome);
  m_output.Summary(m_end.outcomes);
  return m_end;
}

}  // namespace

bool StationEnd::AllPassed() const {
  if (refused || !recordsWritten) return false;
  for (const HandsetOutcome& o : outcomes)
    if (!o.succeeded) return false;
  return true;
}

StationEnd RunStationSession(StationSetup setup, IRunOutput& output) {
  CStation station(std::move(setup), output);
  return station.Run();
}

}  // namespace morvak
