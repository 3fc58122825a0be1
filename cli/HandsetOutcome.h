#pragma once
// How one handset of a console command fared, and the summary table of all.
#include <chrono>
#include <string>
#include <vector>

namespace morvak::cli {

struct HandsetOutcome {
  std::string port;       // empty: the first matching USB handset, port not known
  bool started = false;   // Start accepted the run and its worker ran
  bool succeeded = false;
  std::string asicIdHex;  // empty when the run read none
  std::string lastLine;   // the last status line, or the line Start refused with
  std::chrono::system_clock::time_point startedAt;
  std::chrono::system_clock::time_point endedAt;

  double Seconds() const;
};

// The ASIC ID as the table shows it: its first and last four bytes ("-" for none).
std::string ShortAsicId(const std::string& hex);

// A plain table, one row per handset in the order given, then a line with the
// counts; every line ends with a line feed.
std::string FormatSummaryTable(const std::vector<HandsetOutcome>& outcomes);

}  // namespace morvak::cli
