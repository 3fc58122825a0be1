#pragma once
// The console's JSON output (flash --json): one JSON object a line on stdout
// for every status line, progress range and position, message box, result,
// stop request, tally and the closing summary, each with the time it was
// posted (UTC) and the port of its handset (null while the port of the first
// matching USB handset is not known; its result names it). Problems outside
// the runs go to stderr as text.
#include <cstdio>

#include "RunReport.h"
#include "StationReport.h"

namespace morvak::cli {

class JsonOutput : public IRunReport, public IStationReport {
 public:
  JsonOutput(std::FILE* out, std::FILE* err) : m_out(out), m_err(err) {}

  void Line(const UnitRef& unit, const RunEvent& event) override;
  void Progress(const UnitRef& unit, const RunEvent& event) override;
  void Box(const UnitRef& unit, const RunEvent& event) override;
  void Result(const UnitRef& unit, const HandsetOutcome& outcome) override;
  void TurnedAway(const UnitRef& unit, const std::string& line) override;

  void PortLine(const PortRef& port, const RunEvent& event) override;
  void Problem(const std::string& text) override;
  void Tally(const RecordTotals& tally) override;
  void Stopping(bool endingReads) override;
  void Summary(const std::vector<HandsetOutcome>& outcomes) override;

 private:
  void Write(const std::string& line);

  std::FILE* m_out;
  std::FILE* m_err;
};

}  // namespace morvak::cli
