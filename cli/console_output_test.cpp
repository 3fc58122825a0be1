// What the console prints of a run, in process: a handset's text frames with
// control characters and bytes that are no UTF-8 go through the link, the
// event queue and the JSON output as valid JSON; the text output's port
// prefix; the summary table.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "CapturedStream.h"
#include "CliTexts.h"
#include "Frame.h"
#include "JsonOutput.h"
#include "FlashRun.h"
#include "QueuedRunEvents.h"
#include "ScriptedTransport.h"
#include "SummaryTable.h"
#include "TextOutput.h"

namespace morvak::cli {
namespace {

using morvak::testing::ScriptedTransport;

using clitest::Captured;

// A text frame as the programmer sends one, then its payload.
void QueueText(ScriptedTransport& t, const std::string& payload) {
  t.ReplyFrame(Frame{DATA_MAGIC, DATA_TEXT, 0, static_cast<uint32_t>(payload.size())});
  t.Reply(std::vector<uint8_t>(payload.begin(), payload.end()));
}

// The events a link's report wait posts for this script, taken from the queue.
std::deque<RunEvent> ReportEvents(RunEventQueue& events, const std::vector<std::string>& texts) {
  auto transport = std::make_unique<ScriptedTransport>();
  for (const std::string& text : texts) QueueText(*transport, text);
  transport->ReplyFrame(Frame{COMMAND_MAGIC, REPORT_RANGE, 9, 0});
  transport->ReplyFrame(Frame{COMMAND_MAGIC, REPORT_PROGRESS, 3, 0});
  transport->ReplyFrame(Frame{COMMAND_MAGIC, REPORT_ACK, 0, 0});
  QueuedRunEvents told(events, 0);
  FlashRun run(told);
  run.m_link.m_device.SetTransport(std::move(transport));
  EXPECT_EQ(run.m_link.m_device.Open(), OPEN_CONNECTED);
  EXPECT_EQ(run.m_link.WaitReport(), 1);
  return events.Take(std::chrono::milliseconds(0));
}

// The line without its "time" member, which differs from run to run.
std::string WithoutTime(const std::string& line) {
  const std::string prefix = "{\"time\":\"";
  if (line.rfind(prefix, 0) != 0 || line.size() < prefix.size() + 26) return "no time: " + line;
  const std::string time = line.substr(prefix.size(), 24);
  // 2024-05-01T12:00:00.123Z
  for (size_t i : {4u, 7u}) EXPECT_EQ(time[i], '-') << line;
  EXPECT_EQ(time[10], 'T') << line;
  EXPECT_EQ(time[23], 'Z') << line;
  // Appended, not `"{" + std::string`: GCC 12 at -O3 warns falsely (-Wrestrict) of that insert.
  return std::string("{").append(line, prefix.size() + 26);
}

TEST(ConsoleOutputTest, HandsetTextsBecomeValidJsonLines) {
  const std::vector<std::string> texts = {
      std::string("T=25\tC\r\n\x1b[31mred\x7f"),
      std::string("caf\xC3\xA9 \xE2\x82\xAC ok, then \xFF\xFE and \xC3"),
      std::string("\"quoted\" C:\\dir"),
      std::string("shown\0hidden", 12),  // the host shows what comes before the NUL
  };
  RunEventQueue events;
  std::deque<RunEvent> posted = ReportEvents(events, texts);
  Captured out;
  JsonOutput json(out.File(), out.File());
  const UnitRef unit{{0, "1-2.3"}, 0};
  for (const RunEvent& e : posted) {
    if (e.kind == RunEvent::kLine) json.Line(unit, e);
    if (e.kind == RunEvent::kProgressRange || e.kind == RunEvent::kProgressPosition) json.Progress(unit, e);
  }
  std::vector<std::string> lines;
  const std::string text = out.Text();
  for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
    lines.push_back(WithoutTime(text.substr(at, end - at)));
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "{\"port\":\"1-2.3\",\"event\":\"status\",\"text\":\"T=25\\tC\\r\\n\\u001b[31mred\\u007f\"}",
                       "{\"port\":\"1-2.3\",\"event\":\"status\",\"text\":\"caf\xC3\xA9 \xE2\x82\xAC ok, then "
                       "\\ufffd\\ufffd and \\ufffd\"}",
                       "{\"port\":\"1-2.3\",\"event\":\"status\",\"text\":\"\\\"quoted\\\" C:\\\\dir\"}",
                       "{\"port\":\"1-2.3\",\"event\":\"status\",\"text\":\"shown\"}",
                       "{\"port\":\"1-2.3\",\"event\":\"progress_range\",\"range\":9}",
                       "{\"port\":\"1-2.3\",\"event\":\"progress\",\"position\":3}",
                   }));
  // Nothing but printable ASCII and the UTF-8 the handset sent.
  for (char c : text) EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << static_cast<int>(c);
}

TEST(ConsoleOutputTest, TextLinesOfSeveralHandsetsCarryTheirPort) {
  RunEventQueue events;
  std::deque<RunEvent> posted = ReportEvents(events, {"first", "second"});
  Captured out, err;
  TextOutput several(out.File(), err.File(), TextOutputMode{true, nullptr, false});
  TextOutput single(out.File(), err.File(), TextOutputMode{false, nullptr, false});
  const UnitRef unit{{1, "virtual-2"}, 0};
  for (const RunEvent& e : posted)
    if (e.kind == RunEvent::kLine) {
      several.Line(unit, e);
      single.Line(unit, e);
    }
  EXPECT_EQ(out.Text(), "[virtual-2] first\nfirst\n[virtual-2] second\nsecond\n");
  several.Stopping(false);
  EXPECT_EQ(err.Text(), clitexts::kStoppingAll);
}

TEST(SummaryTableTest, OneAlignedRowPerHandsetAndTheCounts) {
  using namespace std::chrono;
  const system_clock::time_point t0{seconds(1000)};
  const auto outcome = [](const char* port, bool started, RunOutcome result, std::string asic, const char* line,
                          system_clock::time_point start, system_clock::time_point end) {
    HandsetOutcome o;
    o.port = port;
    o.started = started;
    o.outcome = result;
    o.asicIdHex = std::move(asic);
    o.lastLine = line;
    o.startedAt = start;
    o.endedAt = end;
    return o;
  };
  const std::vector<HandsetOutcome> outcomes = {
      outcome("1-2.3", true, RunOutcome::Succeeded, "56484e44" + std::string(122, '0') + "e4e78202",
              "Download the img successfully!00 Minutes, 05 Seconds", t0, t0 + milliseconds(5250)),
      outcome("1-10", true, RunOutcome::Failed, "", "Init the DDR failed", t0, t0 + milliseconds(40)),
      outcome("1-7", true, RunOutcome::Stopped, "", "Message handler failed", t0, t0 + milliseconds(70)),
      outcome("1-4", false, RunOutcome::Failed, "", "cannot be opened: in use by another program", {}, {})};
  EXPECT_EQ(FormatSummaryTable(outcomes),
            "PORT   ASIC ID              RESULT       TIME    LAST LINE\n"
            "1-2.3  56484e44...e4e78202  succeeded    5.25 s  Download the img successfully!00 Minutes, 05 Seconds\n"
            "1-10   -                    failed       0.04 s  Init the DDR failed\n"
            "1-7    -                    stopped      0.07 s  Message handler failed\n"
            "1-4    -                    not started  0.00 s  cannot be opened: in use by another program\n"
            "4 handsets: 1 succeeded, 2 failed, 1 stopped\n");
}

TEST(SummaryTableTest, ShortAsicIdKeepsBothEnds) {
  EXPECT_EQ(ShortAsicId(""), "-");
  EXPECT_EQ(ShortAsicId("0a0b"), "0a0b");
  EXPECT_EQ(ShortAsicId("00112233445566778899"), "00112233...66778899");
}

}  // namespace
}  // namespace morvak::cli
