#pragma once
// The console's text output: status lines on stdout oldest first, one line
// each as they are posted, prefixed with "[PORT] " when several handsets run;
// a summary table at the end of such a command; a progress display on stderr
// (ProgressBar) when stderr is a terminal: a line per port, or for a
// watching station a line per busy port.
#include <cstdio>

#include "ProgressBar.h"
#include "RunReport.h"
#include "StationReport.h"

namespace morvak::cli {

struct TextOutputMode {
  bool severalHandsets = false;  // prefix lines with the port, end with the summary
  ProgressBar* bar = nullptr;   // null: none
  bool waitOnBoxes = false;      // an operator at a terminal confirms message boxes
  // A station (flash --watch): a result line per run with its ASIC ID and a
  // tally after it; the first Ctrl-C only stops new runs.
  bool station = false;
};

class TextOutput : public IRunReport, public IStationReport {
 public:
  TextOutput(std::FILE* out, std::FILE* err, TextOutputMode mode) : m_out(out), m_err(err), m_mode(mode) {}

  void Line(const UnitRef& unit, const RunEvent& event) override;
  void Progress(const UnitRef& unit, const RunEvent& event) override;
  void Box(const UnitRef& unit, const RunEvent& event) override;
  void Payload(const UnitRef& unit, uint64_t sent, uint64_t total) override;
  void Result(const UnitRef& unit, const HandsetOutcome& outcome) override;
  void TurnedAway(const UnitRef& unit, const std::string& line) override;

  void PortChanged(const PortRef& port, PortState state, const std::string& detail) override;
  void PortLine(const PortRef& port, const RunEvent& event) override;
  void Problem(const std::string& text) override;
  void Tally(const RecordTotals& tally) override;
  void Stopping(bool endingReads) override;
  void Summary(const std::vector<HandsetOutcome>& outcomes) override;
  void Idle() override;
  void RunsEnded() override;

 private:
  void ClearBar();

  std::FILE* m_out;
  std::FILE* m_err;
  TextOutputMode m_mode;
};

}  // namespace morvak::cli
