#include "RunPump.h"

#include <chrono>

#include "Interrupt.h"
#include "RecordOfRun.h"

namespace morvak::cli {

void CRunPump::Add(CQueuedRun& run, HandsetOutcome& outcome, std::function<std::string()> port) {
  m_handsets.push_back({&run, &outcome, std::move(port)});
}

void CRunPump::Handle(RunEvent& event) {
  if (event.handset >= m_handsets.size()) return;
  Handset& h = m_handsets[event.handset];
  HandsetOutcome& o = *h.outcome;
  if (!ApplyRunEvent(event, o, m_output)) return;
  // The worker's last act: everything it wrote is ours to read now.
  h.finished = true;
  o.asicIdHex = AsicIdHex(*h.run);
  if (h.port) o.port = h.port();
  m_output.HandsetEnded(event.handset);
  m_output.Result(o);
}

void CRunPump::Run() {
  int stopsSeen = 0;
  const auto running = [this] {
    for (const Handset& h : m_handsets)
      if (h.outcome->started && !h.finished) return true;
    return false;
  };
  while (running()) {
    std::deque<RunEvent> events = m_events.Take(std::chrono::milliseconds(100));
    for (RunEvent& event : events) Handle(event);
    if (const int requests = StopRequests(); requests > stopsSeen) {
      if (stopsSeen == 0) {
        for (Handset& h : m_handsets) h.run->RequestStop();
        m_output.Stopping(false);
      }
      if (requests >= 2) {
        // A read waiting for a handset that never answers would hold its run
        // for ever: end every one, so that each run still ends with its
        // lines and its record.
        for (Handset& h : m_handsets) {
          h.run->RequestStop();
          if (ITransport* transport = h.run->m_link.m_device.GetTransport()) transport->Interrupt();
        }
        m_output.Stopping(true);
      }
      stopsSeen = requests;
    }
    m_output.Idle();
  }
  for (Handset& h : m_handsets) h.run->JoinWorker();
  m_output.RunsEnded();
}

}  // namespace morvak::cli
