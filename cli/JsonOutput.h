#pragma once
// The console's JSON output (flash --json): one JSON object a line on stdout
// for every status line, progress range and position, message box, result,
// stop request and the closing summary, each with the time it was posted
// (UTC) and the port of its handset (null while the port of the first
// matching USB handset is not known; its result names it).
#include <cstdio>

#include "RunOutput.h"

namespace morvak::cli {

class CJsonOutput : public IRunOutput {
 public:
  explicit CJsonOutput(std::FILE* out) : m_out(out) {}

  void Line(const std::string& port, const RunEvent& event) override;
  void Progress(const std::string& port, const RunEvent& event) override;
  void Box(const std::string& port, const RunEvent& event) override;
  void Result(const HandsetOutcome& outcome) override;
  void Tally(const RecordTotals& tally) override;
  void Stopping(bool endingReads) override;
  void Summary(const std::vector<HandsetOutcome>& outcomes) override;

 private:
  void Write(const std::string& line);

  std::FILE* m_out;
};

}  // namespace morvak::cli
