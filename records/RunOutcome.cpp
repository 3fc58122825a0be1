#include "RunOutcome.h"

namespace morvak {

const char* OutcomeWord(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::Succeeded: return "succeeded";
    case RunOutcome::Stopped: return "stopped";
    case RunOutcome::Failed: break;
  }
  return "failed";
}

std::optional<RunOutcome> ParseOutcomeWord(std::string_view word) {
  for (RunOutcome o : {RunOutcome::Succeeded, RunOutcome::Failed, RunOutcome::Stopped})
    if (word == OutcomeWord(o)) return o;
  return std::nullopt;
}

}  // namespace morvak
