#include "Station.h"

#include <map>
#include <memory>
#include <mutex>

#include "BorrowedTransport.h"
#include "Format.h"
#include "JsonLine.h"
#include "PortWatch.h"
#include "QueuedRunEvents.h"
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
// A watching session's run starts because its handset was seen; should it go
// away before the run opens it, the run ends after this wait (or the setup's)
// instead of holding the port for ever.
constexpr auto kArrivalWait = std::chrono::seconds(10);
constexpr size_t kNoRun = static_cast<size_t>(-1);

struct Port {
  HandsetChannel channel;
  std::unique_ptr<PortWatch> watch;
  size_t run = kNoRun;       // the unit that has the port's channel now
  bool interrupted = false;  // its channel never opens again
  bool shownOnce = false;
  PortState shown = PortState::Waiting;
  std::string shownProblem;
  PortState ended = PortState::Waiting;  // how its last run ended
  // The unit of the last run here, until the port has been seen empty.
  std::string lastUnit;
};

struct Unit {
  // The events outlive the run that tells them.
  std::unique_ptr<QueuedRunEvents> events;
  std::unique_ptr<FlashRun> run;
  BorrowedTransport* channel = nullptr;  // owned by the run
  size_t number = 0;  // in the session, in the order the runs were prepared
  size_t port = 0;
  HandsetOutcome outcome;
  bool workerSucceeded = false;
  bool finished = false;
  // Written by the run's worker (its unit check), read once it has been joined.
  bool turnedAway = false;  // its line is the run's last
  std::string sameUnit;  // the port's last unit, not to be taken for a new one
};

// A unit that passed in this session: when and where.
struct PassedUnit {
  std::chrono::system_clock::time_point at;
  std::string port;
};


class Station {
 public:
  Station(StationSetup setup, IRunReport& runs, IStationReport& station)
      : m_setup(std::move(setup)), m_runs(runs), m_station(station) {
    m_setup.run.digestImage = !m_setup.recordPath.empty();
    if (m_setup.rearm) m_setup.run.waitTimeout = m_setup.run.waitTimeout.value_or(kArrivalWait);
  }

  StationEnd Run();

 private:
  void AddPort(HandsetChannel channel);
  void FindNewPorts();
  bool Arming() const;
  bool Running() const;
  // Whether the unit a run's boot read may be flashed; on the run's worker.
  bool MayFlash(Unit& u, const std::string& asicIdHex, std::string& line);
  // Whether the record file takes records; once it does not, no run starts.
  bool RecordFileUsable();
  void RecordFailed(const std::string& error);
  void EndIfIdle();
  PortRef RefOf(size_t port) const { return {port, m_ports[port]->channel.port}; }
  UnitRef RefOf(const Unit& u) const { return {{u.port, u.outcome.port}, u.number}; }
  // A unit on `port` whose run has passed Start's checks; null (with the line
  // said) when Start refused it.
  Unit* Prepare(size_t port);
  void Start(Unit& u);
  void StartFixedPorts();
  void Look(size_t port);
  void Show(size_t port, PortState state, const std::string& detail = {});
  void Say(const PortRef& port, const std::string& text);
  void Handle(RunEvent& event);
  bool Apply(RunEvent& event, Unit& u);
  void Ended(size_t unit);
  void Record(Unit& u);
  void ReportPayloads();
  void ActOnStops();
  // The handsets found that could not be opened, each shown as its line and result.
  std::vector<HandsetOutcome> ShowUnopened();

  StationSetup m_setup;
  IRunReport& m_runs;
  IStationReport& m_station;
  RunEventQueue m_events;
  std::vector<std::unique_ptr<Port>> m_ports;
  std::vector<std::unique_ptr<Unit>> m_units;  // every run, by its events' unit number
  int m_stopsSeen = 0;
  StationEnd m_end;
  RecordTotals m_tally;
  std::string m_listingProblem;
  size_t m_turnedAway = 0;
  bool m_recordFailed = false;
  Clock::time_point m_lastHandset = Clock::now();  // a handset seen or a run going on
  std::mutex m_passedMutex;  // the units' workers read m_passed
  std::map<std::string, PassedUnit> m_passed;
};

void Station::AddPort(HandsetChannel channel) {
  auto port = std::make_unique<Port>();
  port->channel = std::move(channel);
  port->watch = std::make_unique<PortWatch>(*port->channel.transport);
  m_ports.push_back(std::move(port));
  Show(m_ports.size() - 1, PortState::Waiting);
}

void Station::FindNewPorts() {
  if (!m_setup.ports.newPorts) return;
  std::vector<std::string> watched;
  for (const auto& p : m_ports) watched.push_back(p->channel.port);
  std::vector<HandsetChannel> found;
  std::string problem;
  // A listing that fails is said once, and again when it has worked between.
  if (!m_setup.ports.newPorts(watched, found, problem)) {
    if (problem != m_listingProblem) m_station.Problem(problem);
    m_listingProblem = problem;
    return;
  }
  m_listingProblem.clear();
  for (HandsetChannel& channel : found) AddPort(std::move(channel));
}

bool Station::Arming() const {
  return m_setup.rearm && m_stopsSeen == 0 && !m_end.refused && !m_recordFailed && !m_end.idleEnded &&
         (!m_setup.units || m_units.size() - m_turnedAway < *m_setup.units);
}

bool Station::MayFlash(Unit& u, const std::string& asicIdHex, std::string& line) {
  if (!u.sameUnit.empty() && asicIdHex == u.sameUnit) {
    line = Format(texts::kSameUnitAgain, ShortAsicId(asicIdHex).c_str());
  } else {
    std::lock_guard lock(m_passedMutex);
    const auto it = m_passed.find(asicIdHex);
    if (m_setup.reflash || it == m_passed.end()) return true;
    line = Format(texts::kPassedBefore, ShortAsicId(asicIdHex).c_str(), FormatUtcTime(it->second.at).c_str(),
                  it->second.port.c_str());
  }
  u.turnedAway = true;
  return false;
}

bool Station::RecordFileUsable() {
  if (m_setup.recordPath.empty() || m_recordFailed) return !m_recordFailed;
  std::string error;
  if (CheckRecordTarget(m_setup.recordPath, error)) return true;
  RecordFailed(error);
  return false;
}

void Station::RecordFailed(const std::string& error) {
  m_station.Problem(error);
  m_end.recordsWritten = false;
  if (!m_recordFailed) m_station.Problem(texts::kNoRecordNoRun);
  m_recordFailed = true;
}

void Station::EndIfIdle() {
  if (!m_setup.idleEnd || !Arming()) return;
  if (Running()) m_lastHandset = Clock::now();
  if (Clock::now() - m_lastHandset < *m_setup.idleEnd) return;
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%g", std::chrono::duration<double>(*m_setup.idleEnd).count());
  m_station.Problem(Format(texts::kNoHandsetFor, seconds));
  m_end.idleEnded = true;
}

bool Station::Running() const {
  for (const auto& p : m_ports)
    if (p->run != kNoRun) return true;
  return false;
}

void Station::Say(const PortRef& port, const std::string& text) {
  RunEvent line;
  line.kind = RunEvent::kLine;
  line.text = text;
  line.time = std::chrono::system_clock::now();
  m_station.PortLine(port, line);
}

void Station::Show(size_t index, PortState state, const std::string& detail) {
  Port& p = *m_ports[index];
  if (p.shownOnce && p.shown == state && p.shownProblem == detail) return;
  p.shownOnce = true;
  p.shown = state;
  p.shownProblem = detail;
  m_station.PortChanged(RefOf(index), state, detail);
}

Unit* Station::Prepare(size_t port) {
  Port& p = *m_ports[port];
  auto unit = std::make_unique<Unit>();
  unit->number = m_units.size();
  unit->port = port;
  unit->outcome.port = p.channel.port;
  unit->events = std::make_unique<QueuedRunEvents>(m_events, m_units.size());
  unit->run = std::make_unique<FlashRun>(*unit->events);
  if (m_setup.rearm) {
    unit->sameUnit = p.lastUnit;
    Unit* u = unit.get();
    unit->run->m_unitCheck = [this, u](const std::string& asicIdHex, std::string& line) {
      return MayFlash(*u, asicIdHex, line);
    };
  }
  auto channel = std::make_unique<BorrowedTransport>(*p.channel.transport);
  unit->channel = channel.get();
  unit->run->m_link.m_device.SetTransport(std::move(channel));
  std::string line;
  if (unit->run->ApplyStartSettings(m_setup.run, line)) {
    m_units.push_back(std::move(unit));
    return m_units.back().get();
  }
  // The run goes with its Shutdown's Interrupt, which must not reach the port.
  unit->channel->Release();
  m_end.refused = true;
  m_end.configurationRefused = m_end.configurationRefused || unit->run->ConfigurationRefused();
  if (m_setup.rearm) {
    // Every run reads the same image and configuration: none would start.
    Say(RefOf(port), line);
    return nullptr;
  }
  // A port of a fixed set has its outcome, and its line, all the same.
  unit->outcome.lastLine = line;
  unit->outcome.endedAt = std::chrono::system_clock::now();
  unit->finished = true;
  unit->run.reset();
  m_units.push_back(std::move(unit));
  const Unit& u = *m_units.back();
  if (!line.empty()) Say(RefOf(port), line);
  m_runs.Result(RefOf(u), u.outcome);
  return nullptr;
}

void Station::Start(Unit& u) {
  Port& p = *m_ports[u.port];
  p.run = u.number;
  Show(u.port, PortState::Flashing);
  u.outcome.startedAt = std::chrono::system_clock::now();
  u.outcome.started = u.run->StartWorker();
  if (!u.outcome.started) Ended(p.run);
}

void Station::StartFixedPorts() {
  if (!RecordFileUsable()) return;
  std::vector<Unit*> accepted;
  for (size_t i = 0; i < m_ports.size(); ++i) {
    Unit* u = Prepare(i);
    // Every run reads the same configuration: none starts.
    if (m_end.configurationRefused) return;
    if (u != nullptr) accepted.push_back(u);
  }
  for (Unit* u : accepted) Start(*u);
}

void Station::Look(size_t index) {
  Port& p = *m_ports[index];
  if (p.interrupted || p.run != kNoRun) return;
  const bool waiting = p.watch->HandsetWaiting();
  const PortLook look = p.watch->LastLook();
  if (look == PortLook::Interrupted) {
    p.interrupted = true;
    Show(index, PortState::Closed);
    return;
  }
  if (look == PortLook::Absent) p.lastUnit.clear();
  if (look == PortLook::Present) m_lastHandset = Clock::now();
  if (look == PortLook::Unusable) {
    // An unusable port says what to mend once, and again when that changes.
    if (p.shown != PortState::Unusable || p.shownProblem != p.watch->Problem()) Say(RefOf(index), p.watch->Problem());
    Show(index, PortState::Unusable, p.watch->Problem());
  } else if (look == PortLook::Absent) {
    Show(index, PortState::Waiting);  // the flashed handset has gone
  }
  if (!waiting || !RecordFileUsable()) return;
  if (Unit* u = Prepare(index)) Start(*u);
}

// One event of a run into its outcome and the reports; true for kFinished,
// which the caller acts on itself (the worker has returned).
bool Station::Apply(RunEvent& event, Unit& u) {
  HandsetOutcome& o = u.outcome;
  switch (event.kind) {
    case RunEvent::kLine:
      o.lastLine = event.text;
      m_runs.Line(RefOf(u), event);
      break;
    case RunEvent::kProgressRange:
    case RunEvent::kProgressPosition:
      m_runs.Progress(RefOf(u), event);
      break;
    case RunEvent::kOutcome:
      u.workerSucceeded = event.succeeded;
      o.endedAt = event.time;
      break;
    case RunEvent::kBox:
      m_runs.Box(RefOf(u), event);
      event.closed->set_value();
      break;
    case RunEvent::kFinished: return true;
  }
  return false;
}

void Station::Handle(RunEvent& event) {
  if (event.unit >= m_units.size()) return;
  if (Apply(event, *m_units[event.unit])) Ended(event.unit);
}

void Station::Record(Unit& u) {
  HandsetOutcome& o = u.outcome;
  if (m_setup.recordPath.empty() || !o.started) return;
  const RunEnding ending{o.outcome, o.lastLine, o.startedAt, o.endedAt, o.port};
  std::string error;
  o.recorded = AppendRunRecord(m_setup.recordPath, MakeRunRecord(*u.run, ending, u.run->ImageSha256()), error);
  if (!*o.recorded) RecordFailed(error);
}

void Station::Ended(size_t index) {
  Unit& u = *m_units[index];
  if (u.finished) return;
  u.finished = true;
  // kFinished is the worker's last act: everything it wrote is ours to read.
  u.run->JoinWorker();
  Port& p = *m_ports[u.port];
  HandsetOutcome& o = u.outcome;
  o.outcome = OutcomeOf(*u.run, u.workerSucceeded);
  RunEndDescription why = DescribeEnd(*u.run, o.outcome);
  o.stage = std::move(why.stage);
  o.errorCode = why.errorCode;
  o.reason = std::move(why.reason);
  if (o.endedAt < o.startedAt) o.endedAt = std::chrono::system_clock::now();
  o.asicIdHex = AsicIdHex(*u.run);
  o.port = PortOf(p.channel);
  if (!u.turnedAway) {
    // The transfer as it ended, which the last look may have missed.
    if (const QueuedRunEvents::Payload payload = u.events->PayloadSent(); payload.total != 0)
      m_runs.Payload(RefOf(u), payload.sent, payload.total);
    // Durable before the run is told as ended: a result is never shown without its record.
    Record(u);
    m_runs.Result(RefOf(u), o);
    p.ended = o.Succeeded() ? PortState::Passed : o.outcome == RunOutcome::Stopped ? PortState::Stopped : PortState::Failed;
    if (!o.asicIdHex.empty()) p.lastUnit = o.asicIdHex;
    if (o.Succeeded() && !o.asicIdHex.empty()) {
      std::lock_guard lock(m_passedMutex);
      m_passed[o.asicIdHex] = PassedUnit{o.endedAt, o.port};
    }
  } else {
    ++m_turnedAway;
    m_runs.TurnedAway(RefOf(u), o.lastLine);
  }
  // The port has its channel back; the run and its link go.
  u.channel->Release();
  u.run.reset();
  p.run = kNoRun;
  p.watch->RunEnded();
  Show(u.port, p.ended);
  if (!m_setup.rearm || u.turnedAway) return;
  RecordEntry entry;
  entry.started = o.startedAt;
  entry.outcome = o.outcome;
  entry.elapsedSeconds = o.Seconds();
  m_tally.Add(entry);
  m_station.Tally(m_tally);
  if (p.interrupted) return;
  if (o.outcome == RunOutcome::Failed) Say(RefOf(u.port), texts::kUnplugFailed);
  if (o.outcome == RunOutcome::Stopped) Say(RefOf(u.port), texts::kUnplugStopped);
}

void Station::ReportPayloads() {
  for (const auto& u : m_units) {
    if (u->finished) continue;
    const QueuedRunEvents::Payload payload = u->events->PayloadSent();
    if (payload.total != 0) m_runs.Payload(RefOf(*u), payload.sent, payload.total);
  }
}

void Station::ActOnStops() {
  const int requests = m_setup.stopRequests ? m_setup.stopRequests() : 0;
  if (requests <= m_stopsSeen) return;
  if (m_stopsSeen == 0) {
    // A fixed set's runs are stopped at once ("Stop flashing" for each); a
    // watching session lets those going on end.
    if (!m_setup.rearm)
      for (const auto& u : m_units)
        if (!u->finished) u->run->RequestStop();
    m_station.Stopping(false);
  }
  if (requests >= 2 && m_stopsSeen < 2) {
    // A read waiting for a handset that never answers would hold its run for
    // ever: end every one, so that each still ends with its lines and record.
    for (const auto& u : m_units) {
      if (u->finished) continue;
      u->run->RequestStop();
      u->channel->Interrupt();
    }
    m_station.Stopping(true);
  }
  m_stopsSeen = requests;
  m_end.stopRequests = requests;
}

std::vector<HandsetOutcome> Station::ShowUnopened() {
  std::vector<HandsetOutcome> outcomes;
  for (const UnopenedPort& port : m_setup.ports.unopened) {
    HandsetOutcome o;
    o.port = port.port;
    o.lastLine = kCannotBeOpened + port.whyNot;
    o.endedAt = std::chrono::system_clock::now();
    // Numbered after the session's ports and runs: no report mistakes it for one of them.
    const UnitRef ref{{m_ports.size() + outcomes.size(), o.port}, m_units.size() + outcomes.size()};
    Say(ref.port, o.lastLine);
    m_runs.Result(ref, o);
    outcomes.push_back(std::move(o));
  }
  return outcomes;
}

StationEnd Station::Run() {
  if (m_setup.rearm) {
    // Start's checks before the first handset is waited for: a bad image or
    // configuration is told at once.
    IRunEvents nobody;
    FlashRun probe(nobody);
    std::string line;
    if (!probe.ApplyStartSettings(m_setup.run, line)) {
      m_station.Problem(line);
      m_end.refused = true;
      m_end.configurationRefused = probe.ConfigurationRefused();
      return std::move(m_end);
    }
  }
  for (HandsetChannel& channel : m_setup.ports.channels) AddPort(std::move(channel));
  m_setup.ports.channels.clear();
  if (!m_setup.rearm) {
    StartFixedPorts();
    if (m_end.configurationRefused) return std::move(m_end);
  }
  Clock::time_point nextLook = Clock::now();
  Clock::time_point nextFind = Clock::now();
  for (;;) {
    ActOnStops();
    EndIfIdle();
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
    m_station.Idle();
  }
  m_station.RunsEnded();
  const std::vector<HandsetOutcome> unopened = ShowUnopened();
  for (const auto& u : m_units)
    if (!u->turnedAway) m_end.outcomes.push_back(u->outcome);
  m_end.outcomes.insert(m_end.outcomes.end(), unopened.begin(), unopened.end());
  m_station.Summary(m_end.outcomes);
  for (auto& p : m_ports) m_end.channels.push_back(std::move(p->channel));
  return std::move(m_end);
}

}  // namespace

bool StationEnd::AllPassed() const {
  if (refused || !recordsWritten) return false;
  for (const HandsetOutcome& o : outcomes)
    if (!o.Succeeded()) return false;
  return true;
}

StationEnd RunStationSession(StationSetup setup, IRunReport& runs, IStationReport& station) {
  Station session(std::move(setup), runs, station);
  return session.Run();
}

}  // namespace morvak
