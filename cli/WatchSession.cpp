#include "WatchSession.h"

#include <chrono>
#include <memory>

#include "BorrowedTransport.h"
#include "CliTexts.h"
#include "ConsoleRun.h"
#include "Interrupt.h"
#include "PortWatch.h"
#include "RecordTotals.h"
#include "RunEventQueue.h"
#include "RunPump.h"
#include "RunRecord.h"

namespace morvak::cli {
namespace {

using Clock = std::chrono::steady_clock;

// Idle ports are looked at this often: a look is an open and a close, so the
// station costs next to no CPU while it waits, and an arrival is seen soon.
// A handset swapped for the next faster than this is taken for the same one.
constexpr auto kLookInterval = std::chrono::milliseconds(50);
// How often the ports are listed afresh for handsets on new ones (USB).
constexpr auto kFindPortsInterval = std::chrono::seconds(1);
// A run starts because its handset was seen; should it go away before the
// run opens it, the run ends after this wait (or --wait-timeout) instead of
// holding the port for ever.
constexpr auto kArrivalWait = std::chrono::seconds(10);
constexpr size_t kNoRun = static_cast<size_t>(-1);

struct Port {
  HandsetChannel channel;
  std::unique_ptr<CPortWatch> watch;
  size_t run = kNoRun;  // the run that has the port's channel now
  bool interrupted = false;  // its channel never opens again
  PortLook shown = PortLook::Absent;
  std::string shownProblem;
};

struct Unit {
  std::unique_ptr<CConsoleRun> run;
  CBorrowedTransport* channel = nullptr;  // owned by the run
  size_t port = 0;
  HandsetOutcome outcome;
  bool finished = false;
};

class CWatchSession {
 public:
  CWatchSession(const FlashOptions& options, WatchSetup setup, IRunOutput& output, std::FILE* err)
      : m_options(options), m_setup(std::move(setup)), m_output(output), m_err(err) {
    for (HandsetChannel& channel : m_setup.channels) AddPort(std::move(channel));
    m_setup.channels.clear();
  }

  int Run();

 private:
  void AddPort(HandsetChannel channel);
  void FindNewPorts();
  bool Arming() const;
  bool Running() const;
  // Start's checks for a run: false (with the line shown) when refused.
  bool Prepare(CConsoleRun& run, const std::string& port);
  void Look(size_t port);
  void Arm(size_t port);
  void Handle(RunEvent& event);
  void Ended(size_t unit);
  void ActOnStops();
  void Say(const std::string& port, const std::string& text);

  const FlashOptions& m_options;
  WatchSetup m_setup;
  IRunOutput& m_output;
  std::FILE* m_err;
  CRunEventQueue m_events;
  std::vector<std::unique_ptr<Port>> m_ports;
  std::vector<std::unique_ptr<Unit>> m_units;  // every run, by its events' handset number
  size_t m_ended = 0;
  int m_stopsSeen = 0;
  int m_refused = 0;  // the exit status when Start refused a run
  bool m_recordsWritten = true;
  RecordTotals m_tally;
};

void CWatchSession::AddPort(HandsetChannel channel) {
  auto port = std::make_unique<Port>();
  port->channel = std::move(channel);
  port->watch = std::make_unique<CPortWatch>(*port->channel.transport);
  m_ports.push_back(std::move(port));
}

void CWatchSession::FindNewPorts() {
  if (!m_setup.newPorts) return;
  std::vector<std::string> watched;
  for (const auto& p : m_ports) watched.push_back(p->channel.port);
  for (HandsetChannel& channel : m_setup.newPorts(watched)) AddPort(std::move(channel));
}

bool CWatchSession::Arming() const {
  return m_stopsSeen == 0 && m_refused == 0 && (!m_options.units || m_units.size() < *m_options.units);
}

bool CWatchSession::Running() const {
  for (const auto& p : m_ports)
    if (p->run != kNoRun) return true;
  return false;
}

void CWatchSession::Say(const std::string& port, const std::string& text) {
  RunEvent line;
  line.kind = RunEvent::kLine;
  line.text = text;
  line.time = std::chrono::system_clock::now();
  m_output.Line(port, line);
}

bool CWatchSession::Prepare(CConsoleRun& run, const std::string& port) {
  run.m_strModuleDirectory = m_setup.moduleDirectory;
  run.m_strImagePath = m_options.image;
  run.m_nFlashType = m_options.oneNand ? FLASH_TYPE_ONENAND : FLASH_TYPE_NAND;
  run.m_replyTimeoutOverride = m_options.replyTimeout;
  run.m_link.m_waitTimeout = m_options.waitTimeout.value_or(kArrivalWait);
  run.m_bDigestImage = !m_setup.recordPath.empty();
  std::string line;
  if (run.ApplyStartSettings(m_options.eraseReserved, line)) return true;
  // Every run reads the same image and configuration: none would start.
  if (port.empty())
    std::fprintf(m_err, "morvak-cli: %s\n", line.c_str());
  else
    Say(port, line);
  m_refused = run.ConfigurationRefused() ? clitexts::kExitConfiguration : clitexts::kExitFailed;
  return false;
}

void CWatchSession::Look(size_t index) {
  Port& p = *m_ports[index];
  if (p.interrupted || p.run != kNoRun) return;
  const bool waiting = p.watch->HandsetWaiting();
  const PortLook look = p.watch->LastLook();
  if (look == PortLook::Interrupted) p.interrupted = true;
  // An unusable port says what to mend once, and again when that changes.
  if (look == PortLook::Unusable && (p.shown != look || p.shownProblem != p.watch->Problem()))
    Say(p.channel.port, p.watch->Problem());
  p.shown = look;
  p.shownProblem = p.watch->Problem();
  if (waiting) Arm(index);
}

void CWatchSession::Arm(size_t index) {
  Port& p = *m_ports[index];
  auto unit = std::make_unique<Unit>();
  unit->port = index;
  unit->outcome.port = p.channel.port;
  unit->run = std::make_unique<CConsoleRun>(&m_events, m_units.size());
  auto channel = std::make_unique<CBorrowedTransport>(*p.channel.transport);
  unit->channel = channel.get();
  unit->run->m_link.m_device.SetTransport(std::move(channel));
  if (!Prepare(*unit->run, p.channel.port)) {
    // The run goes with its Shutdown's Interrupt, which must not reach the port.
    unit->channel->Release();
    return;
  }
  p.run = m_units.size();
  unit->outcome.startedAt = std::chrono::system_clock::now();
  unit->outcome.started = unit->run->StartWorker();
  m_units.push_back(std::move(unit));
  if (!m_units.back()->outcome.started) Ended(p.run);
}

void CWatchSession::Handle(RunEvent& event) {
  if (event.handset >= m_units.size()) return;
  if (ApplyRunEvent(event, m_units[event.handset]->outcome, m_output)) Ended(event.handset);
}

void CWatchSession::Ended(size_t index) {
  Unit& u = *m_units[index];
  if (u.finished) return;
  u.finished = true;
  // kFinished is the worker's last act: everything it wrote is ours to read.
  u.run->JoinWorker();
  HandsetOutcome& o = u.outcome;
  if (o.endedAt < o.startedAt) o.endedAt = std::chrono::system_clock::now();
  o.asicIdHex = AsicIdHex(*u.run);
  m_output.HandsetEnded(index);
  m_output.Result(o);
  if (!m_setup.recordPath.empty() && o.started) {
    const RunEnding ending{o.succeeded, o.lastLine, o.startedAt, o.endedAt, o.port};
    std::string error;
    if (!AppendRunRecord(m_setup.recordPath, MakeRunRecord(*u.run, ending, u.run->ImageSha256()), error)) {
      std::fprintf(m_err, "morvak-cli: %s\n", error.c_str());
      m_recordsWritten = false;
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
  ++m_ended;
  Port& p = *m_ports[u.port];
  p.run = kNoRun;
  p.watch->RunEnded();
  if (!o.succeeded && !p.interrupted) Say(p.channel.port, clitexts::kUnplugFailed);
}

void CWatchSession::ActOnStops() {
  const int requests = StopRequests();
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

int CWatchSession::Run() {
  {
    // Start's checks before the first handset is waited for: a bad image or
    // configuration is told at once.
    CConsoleRun probe;
    if (!Prepare(probe, std::string())) return m_refused;
  }
  InstallInterruptHandler();
  Clock::time_point nextLook = Clock::now();
  Clock::time_point nextFind = Clock::now();
  for (;;) {
    ActOnStops();
    if (!Arming() && !Running()) break;
    if (Arming() && Clock::now() >= nextFind) {
      FindNewPorts();
      nextFind = Clock::now() + kFindPortsInterval;
    }
    if (Arming() && Clock::now() >= nextLook) {
      for (size_t i = 0; i < m_ports.size() && Arming(); ++i) Look(i);
      nextLook = Clock::now() + kLookInterval;
    }
    std::deque<RunEvent> events = m_events.Take(kLookInterval);
    for (RunEvent& event : events) Handle(event);
    m_output.Idle();
  }
  m_output.RunsEnded();
  std::vector<HandsetOutcome> outcomes;
  bool allWell = m_refused == 0 && m_recordsWritten;
  for (const auto& u : m_units) {
    outcomes.push_back(u->outcome);
    allWell = allWell && u->outcome.succeeded;
  }
  m_output.Summary(outcomes);
  if (m_refused != 0) return m_refused;
  return allWell ? clitexts::kExitSucceeded : clitexts::kExitFailed;
}

}  // namespace

int RunWatchSession(const FlashOptions& options, WatchSetup setup, IRunOutput& output, std::FILE* err) {
  CWatchSession session(options, std::move(setup), output, err);
  return session.Run();
}

}  // namespace morvak::cli
