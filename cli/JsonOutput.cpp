#include "JsonOutput.h"

#include "CliTexts.h"
#include "JsonLine.h"

namespace morvak::cli {
namespace {

JsonLine Event(std::chrono::system_clock::time_point time, const std::string& port, const char* kind) {
  JsonLine line;
  line.Add("time", FormatUtcTime(time)).AddOrNull("port", port).Add("event", kind);
  return line;
}

}  // namespace

void JsonOutput::Write(const std::string& line) {
  std::fprintf(m_out, "%s\n", line.c_str());
  std::fflush(m_out);
}

void JsonOutput::Line(const UnitRef& unit, const RunEvent& event) { PortLine(unit.port, event); }

void JsonOutput::PortLine(const PortRef& port, const RunEvent& event) {
  Write(Event(event.time, port.name, "status").Add("text", event.text).Text());
}

void JsonOutput::Problem(const std::string& text) { PrintProblem(m_err, text); }

void JsonOutput::Progress(const UnitRef& unit, const RunEvent& event) {
  const std::string& port = unit.port.name;
  if (event.kind == RunEvent::kProgressRange)
    Write(Event(event.time, port, "progress_range").Add("range", event.value).Text());
  if (event.kind == RunEvent::kProgressPosition)
    Write(Event(event.time, port, "progress").Add("position", event.value).Text());
}

void JsonOutput::Box(const UnitRef& unit, const RunEvent& event) {
  Write(Event(event.time, unit.port.name, "message_box").Add("text", event.text).Text());
}

void JsonOutput::Result(const UnitRef&, const HandsetOutcome& o) {
  Write(Event(o.endedAt, o.port, "result")
            .Add("result", o.succeeded ? "succeeded" : "failed")
            .AddOrNull("asic_id", o.asicIdHex)
            .AddFixed("elapsed_seconds", o.Seconds(), 3)
            .Add("last_line", o.lastLine)
            .Text());
}

void JsonOutput::Tally(const RecordTotals& tally) {
  JsonLine line = Event(std::chrono::system_clock::now(), std::string(), "tally");
  line.Add("passed", static_cast<uint64_t>(tally.passed)).Add("failed", static_cast<uint64_t>(tally.failed));
  if (const std::optional<double> rate = tally.UnitsPerHour()) line.AddFixed("units_per_hour", *rate, 1);
  Write(line.Text());
}

void JsonOutput::Stopping(bool endingReads) {
  Write(Event(std::chrono::system_clock::now(), std::string(), endingReads ? "reads_ended" : "stop_requested").Text());
}

void JsonOutput::Summary(const std::vector<HandsetOutcome>& outcomes) {
  uint64_t succeeded = 0;
  for (const HandsetOutcome& o : outcomes) succeeded += o.succeeded ? 1 : 0;
  Write(Event(std::chrono::system_clock::now(), std::string(), "summary")
            .Add("handsets", static_cast<uint64_t>(outcomes.size()))
            .Add("succeeded", succeeded)
            .Add("failed", static_cast<uint64_t>(outcomes.size()) - succeeded)
            .Text());
}

}  // namespace morvak::cli
