#pragma once
// How a run ended: it passed, it failed, or the operator (Stop, Ctrl-C, a
// signal) ended it. A stopped run says nothing about the unit or the station
// and is never counted as a failure.
#include <optional>
#include <string_view>

namespace morvak {

enum class RunOutcome { Succeeded, Failed, Stopped };

// "succeeded", "failed", "stopped": the word records, JSON output and result
// lines use.
const char* OutcomeWord(RunOutcome outcome);
std::optional<RunOutcome> ParseOutcomeWord(std::string_view word);

}  // namespace morvak
