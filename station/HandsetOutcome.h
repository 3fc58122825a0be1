#pragma once
// How one handset's run fared, as a front end shows it and a station tallies it.
#include <chrono>
#include <string>
#include <vector>

namespace morvak {

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

}  // namespace morvak
