#include "TextOutput.h"

#include "CliTexts.h"
#include "Interrupt.h"
#include "SummaryTable.h"

namespace morvak::cli {

void CTextOutput::ClearBar() {
  if (m_mode.bar != nullptr) m_mode.bar->Clear();
}

void CTextOutput::Line(const std::string& port, const RunEvent& event) {
  ClearBar();
  if (m_mode.severalHandsets)
    std::fprintf(m_out, "[%s] %s\n", port.empty() ? "?" : port.c_str(), event.text.c_str());
  else
    std::fprintf(m_out, "%s\n", event.text.c_str());
  std::fflush(m_out);
}

void CTextOutput::Progress(const std::string&, const RunEvent& event) {
  if (m_mode.bar == nullptr) return;
  if (event.kind == RunEvent::kProgressRange) m_mode.bar->SetRange(event.handset, event.value);
  if (event.kind == RunEvent::kProgressPosition) m_mode.bar->SetPosition(event.handset, event.value);
}

void CTextOutput::Box(const std::string&, const RunEvent& event) {
  // The run posts the box's text as a status line just before. Only an
  // operator at a terminal is asked to confirm, only for a single handset and
  // only while no stop has been asked for: a script never waits for Enter.
  if (!m_mode.waitOnBoxes || m_mode.severalHandsets || StopRequests() != 0) return;
  ClearBar();
  std::fprintf(m_err, "%s\nPress Enter to continue.\n", event.text.c_str());
  WaitForEnter();
}

void CTextOutput::Stopping(bool endingReads) {
  ClearBar();
  if (endingReads)
    std::fputs(clitexts::kEndingReads, m_err);
  else if (m_mode.station)
    std::fputs(clitexts::kStoppingStation, m_err);
  else
    std::fputs(m_mode.severalHandsets ? clitexts::kStoppingAll : clitexts::kStoppingOne, m_err);
}

void CTextOutput::Result(const HandsetOutcome& o) {
  if (!m_mode.station) return;
  ClearBar();
  std::fprintf(m_out, "[%s] %s: ASIC ID %s, %.2f s%s%s\n", o.port.empty() ? "?" : o.port.c_str(),
               o.succeeded ? "passed" : "FAILED", o.asicIdHex.empty() ? "-" : o.asicIdHex.c_str(), o.Seconds(),
               o.succeeded ? "" : ": ", o.succeeded ? "" : o.lastLine.c_str());
  std::fflush(m_out);
}

void CTextOutput::Tally(const RecordTotals& tally) {
  const std::optional<double> rate = tally.UnitsPerHour();
  char perHour[32] = "-";
  if (rate) std::snprintf(perHour, sizeof perHour, "%.1f", *rate);
  std::fprintf(m_out, "tally: %zu passed, %zu failed, %s units per hour\n", tally.passed, tally.failed, perHour);
  std::fflush(m_out);
}

void CTextOutput::Summary(const std::vector<HandsetOutcome>& outcomes) {
  ClearBar();
  if (!m_mode.severalHandsets) return;
  std::fprintf(m_out, "\n%s", FormatSummaryTable(outcomes).c_str());
  std::fflush(m_out);
}

void CTextOutput::Idle() {
  if (m_mode.bar != nullptr) m_mode.bar->Draw();
}

void CTextOutput::HandsetEnded(size_t handset) {
  if (m_mode.bar != nullptr) m_mode.bar->EndHandset(handset);
}

void CTextOutput::RunsEnded() {
  if (m_mode.bar != nullptr) m_mode.bar->Finish();
}

}  // namespace morvak::cli
