#include "SummaryTable.h"

#include <algorithm>
#include <cstdio>

namespace morvak::cli {
namespace {

// Stopped runs are told only when there are any.
std::string Stopped(const size_t (&count)[3]) {
  const size_t stopped = count[static_cast<size_t>(RunOutcome::Stopped)];
  return stopped == 0 ? std::string() : ", " + std::to_string(stopped) + " stopped";
}

}  // namespace

std::string FormatSummaryTable(const std::vector<HandsetOutcome>& outcomes) {
  struct Row {
    std::string port, asic, result, time, line;
  };
  std::vector<Row> rows{{"PORT", "ASIC ID", "RESULT", "TIME", "LAST LINE"}};
  size_t count[3] = {};
  for (const HandsetOutcome& o : outcomes) {
    char time[32];
    std::snprintf(time, sizeof time, "%.2f s", o.Seconds());
    rows.push_back({o.port.empty() ? "?" : o.port, ShortAsicId(o.asicIdHex),
                    o.started || o.Succeeded() ? OutcomeWord(o.outcome) : "not started", time, o.lastLine});
    ++count[static_cast<size_t>(o.outcome)];
  }
  size_t widths[4] = {};
  for (const Row& r : rows) {
    widths[0] = std::max(widths[0], r.port.size());
    widths[1] = std::max(widths[1], r.asic.size());
    widths[2] = std::max(widths[2], r.result.size());
    widths[3] = std::max(widths[3], r.time.size());
  }
  const auto pad = [](const std::string& s, size_t width) { return s + std::string(width - s.size() + 2, ' '); };
  std::string table;
  for (const Row& r : rows)
    table += pad(r.port, widths[0]) + pad(r.asic, widths[1]) + pad(r.result, widths[2]) + pad(r.time, widths[3]) +
             r.line + "\n";
  table += std::to_string(outcomes.size()) + (outcomes.size() == 1 ? " handset: " : " handsets: ") +
           std::to_string(count[static_cast<size_t>(RunOutcome::Succeeded)]) + " succeeded, " +
           std::to_string(count[static_cast<size_t>(RunOutcome::Failed)]) + " failed" + Stopped(count) + "\n";
  return table;
}

}  // namespace morvak::cli
