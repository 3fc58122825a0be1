#include "TextOutput.h"

#include "CliTexts.h"
#include "Interrupt.h"
#include "SummaryTable.h"

namespace morvak::cli {
namespace {

const char* ResultWord(const HandsetOutcome& o) {
  switch (o.outcome) {
    case RunOutcome::Succeeded: return "passed";
    case RunOutcome::Stopped: return "stopped";
    case RunOutcome::Failed: break;
  }
  return "FAILED";
}

// After a run that did not pass: its last line, and where it ended and why.
std::string Why(const HandsetOutcome& o) {
  if (o.Succeeded()) return {};
  std::string why = ": " + o.lastLine;
  if (!o.reason.empty()) why += " (" + (o.stage.empty() ? std::string() : o.stage + ": ") + o.reason + ")";
  return why;
}

}  // namespace

void TextOutput::ClearBar() {
  if (m_mode.bar != nullptr) m_mode.bar->Clear();
}

void TextOutput::Line(const UnitRef& unit, const RunEvent& event) { PortLine(unit.port, event); }

void TextOutput::PortLine(const PortRef& port, const RunEvent& event) {
  ClearBar();
  if (m_mode.severalHandsets)
    std::fprintf(m_out, "[%s] %s\n", port.name.empty() ? "?" : port.name.c_str(), event.text.c_str());
  else
    std::fprintf(m_out, "%s\n", event.text.c_str());
  std::fflush(m_out);
}

void TextOutput::Progress(const UnitRef& unit, const RunEvent& event) {
  if (m_mode.bar == nullptr) return;
  if (event.kind == RunEvent::kProgressRange) m_mode.bar->SetRange(unit.port.index, event.value);
  if (event.kind == RunEvent::kProgressPosition) m_mode.bar->SetPosition(unit.port.index, event.value);
}

void TextOutput::Payload(const UnitRef& unit, uint64_t sent, uint64_t total) {
  if (m_mode.bar != nullptr) m_mode.bar->SetPayload(unit.port.index, sent, total);
}

void TextOutput::PortChanged(const PortRef& port, PortState state, const std::string&) {
  if (m_mode.bar == nullptr) return;
  // A fixed set of ports has a line each from the start; a station a line
  // for each port while it flashes.
  if (m_mode.station) {
    if (state == PortState::Flashing) m_mode.bar->ShowHandset(port.index, port.name);
  } else if (state == PortState::Waiting) {
    m_mode.bar->ShowHandset(port.index, m_mode.severalHandsets ? port.name : std::string());
  }
}

void TextOutput::Problem(const std::string& text) {
  ClearBar();
  PrintProblem(m_err, text);
}

void TextOutput::Box(const UnitRef&, const RunEvent& event) {
  // The run posts the box's text as a status line just before. Only an
  // operator at a terminal is asked to confirm, only for a single handset and
  // only while no stop has been asked for: a script never waits for Enter.
  if (!m_mode.waitOnBoxes || m_mode.severalHandsets || StopRequests() != 0) return;
  ClearBar();
  std::fprintf(m_err, "%s\nPress Enter to continue.\n", event.text.c_str());
  WaitForEnter();
}

void TextOutput::Stopping(bool endingReads) {
  ClearBar();
  if (endingReads)
    std::fputs(clitexts::kEndingReads, m_err);
  else if (m_mode.station)
    std::fputs(clitexts::kStoppingStation, m_err);
  else
    std::fputs(m_mode.severalHandsets ? clitexts::kStoppingAll : clitexts::kStoppingOne, m_err);
}

void TextOutput::Result(const UnitRef& unit, const HandsetOutcome& o) {
  if (m_mode.bar != nullptr) {
    if (m_mode.station)
      m_mode.bar->HideHandset(unit.port.index);
    else
      m_mode.bar->EndHandset(unit.port.index);
  }
  if (!m_mode.station) return;
  ClearBar();
  std::fprintf(m_out, "[%s] %s: ASIC ID %s, %.2f s%s\n", o.port.empty() ? "?" : o.port.c_str(), ResultWord(o),
               o.asicIdHex.empty() ? "-" : o.asicIdHex.c_str(), o.Seconds(), Why(o).c_str());
  std::fflush(m_out);
}

// Its line has been said as the run's last.
void TextOutput::TurnedAway(const UnitRef& unit, const std::string& /*line*/) {
  if (m_mode.bar != nullptr) m_mode.bar->HideHandset(unit.port.index);
}

void TextOutput::Tally(const RecordTotals& tally) {
  ClearBar();
  const std::optional<double> rate = tally.UnitsPerHour();
  char perHour[32] = "-";
  if (rate) std::snprintf(perHour, sizeof perHour, "%.1f", *rate);
  std::fprintf(m_out, "tally: %zu passed, %zu failed, %zu stopped, %s units per hour\n", tally.passed, tally.failed,
               tally.stopped, perHour);
  std::fflush(m_out);
}

void TextOutput::Summary(const std::vector<HandsetOutcome>& outcomes) {
  ClearBar();
  if (!m_mode.severalHandsets) return;
  std::fprintf(m_out, "\n%s", FormatSummaryTable(outcomes).c_str());
  std::fflush(m_out);
}

void TextOutput::Idle() {
  if (m_mode.bar != nullptr) m_mode.bar->Draw();
}

void TextOutput::RunsEnded() {
  if (m_mode.bar != nullptr) m_mode.bar->Finish();
}

}  // namespace morvak::cli
