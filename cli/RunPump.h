#pragma once
// The main thread of a console command while its runs go on: takes what the
// runs post, in posting order, keeps each handset's outcome and hands
// everything to the output; acts on Ctrl-C as "Stop flashing" for every run.
#include <functional>
#include <string>
#include <vector>

#include "HandsetOutcome.h"
#include "QueuedRun.h"
#include "RunEventQueue.h"
#include "RunOutput.h"

namespace morvak::cli {

class CRunPump {
 public:
  CRunPump(CRunEventQueue& events, IRunOutput& output) : m_events(events), m_output(output) {}

  // A run whose events carry handset number Count() (the next one); `port`
  // tells the handset's port once its run has ended.
  void Add(CQueuedRun& run, HandsetOutcome& outcome, std::function<std::string()> port);
  size_t Count() const { return m_handsets.size(); }

  // Serves the runs whose workers were started (outcome.started) until every
  // one has finished, then joins them and tells the output.
  void Run();

 private:
  struct Handset {
    CQueuedRun* run;
    HandsetOutcome* outcome;
    std::function<std::string()> port;
    bool finished = false;
  };
  void Handle(RunEvent& event);

  CRunEventQueue& m_events;
  IRunOutput& m_output;
  std::vector<Handset> m_handsets;
};

}  // namespace morvak::cli
