#include "JsonOutput.h"

#include "CliTexts.h"
#include "JsonLine.h"
#include "RunRecord.h"

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
  JsonLine line = Event(o.endedAt, o.port, "result");
  line.Add("result", OutcomeWord(o.outcome))
            .AddOrNull("stage", o.stage)
            .AddOrNull("error_code", o.errorCode ? FormatErrorCode(*o.errorCode) : std::string())
            .AddOrNull("reason", o.reason)
            .AddOrNull("asic_id", o.asicIdHex)
            .AddFixed("elapsed_seconds", o.Seconds(), 3)
            .Add("last_line", o.lastLine);
  if (o.recorded) line.Add("record_written", *o.recorded);
  Write(line.Text());
}

void JsonOutput::TurnedAway(const UnitRef& unit, const std::string& text) {
  Write(Event(std::chrono::system_clock::now(), unit.port.name, "not_flashed").Add("text", text).Text());
}

void JsonOutput::Tally(const RecordTotals& tally) {
  JsonLine line = Event(std::chrono::system_clock::now(), std::string(), "tally");
  line.Add("passed", static_cast<uint64_t>(tally.passed))
      .Add("failed", static_cast<uint64_t>(tally.failed))
      .Add("stopped", static_cast<uint64_t>(tally.stopped));
  if (const std::optional<double> rate = tally.UnitsPerHour()) line.AddFixed("units_per_hour", *rate, 1);
  Write(line.Text());
}

void JsonOutput::Stopping(bool endingReads) {
  Write(Event(std::chrono::system_clock::now(), std::string(), endingReads ? "reads_ended" : "stop_requested").Text());
}

void JsonOutput::Summary(const std::vector<HandsetOutcome>& outcomes) {
  uint64_t count[3] = {};
  for (const HandsetOutcome& o : outcomes) ++count[static_cast<size_t>(o.outcome)];
  Write(Event(std::chrono::system_clock::now(), std::string(), "summary")
            .Add("handsets", static_cast<uint64_t>(outcomes.size()))
            .Add("succeeded", count[static_cast<size_t>(RunOutcome::Succeeded)])
            .Add("failed", count[static_cast<size_t>(RunOutcome::Failed)])
            .Add("stopped", count[static_cast<size_t>(RunOutcome::Stopped)])
            .Text());
}

}  // namespace morvak::cli
