#pragma once
// How one handset's run fared, as a front end shows it and a station tallies it.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "RunOutcome.h"

namespace morvak {

struct HandsetOutcome {
  std::string port;       // empty: the first matching USB handset, port not known
  bool started = false;   // Start accepted the run and its worker ran
  RunOutcome outcome = RunOutcome::Failed;
  // Where a run that did not succeed ended, and why, with what to do.
  std::string stage;
  std::optional<uint32_t> errorCode;
  std::string reason;
  std::optional<bool> recorded;  // whether its record was written; none when none is kept
  std::string asicIdHex;  // empty when the run read none
  std::string lastLine;   // the last status line, or the line Start refused with
  std::chrono::system_clock::time_point startedAt;
  std::chrono::system_clock::time_point endedAt;

  double Seconds() const;
  bool Succeeded() const { return outcome == RunOutcome::Succeeded; }
};

// The ASIC ID as the table shows it: its first and last four bytes ("-" for none).
std::string ShortAsicId(const std::string& hex);

}  // namespace morvak
