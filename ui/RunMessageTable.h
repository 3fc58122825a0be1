#pragma once
// Which of the run's window messages a message number is. Only the eight
// catalogued values act; the values between them, and every other message,
// have no action and go to the default processing alone.
#include <cstdint>

namespace morvak {

enum class RunMessageAction {
  None,
  SyncFields,     // wParam nonzero: controls into fields; zero: fields into controls
  StatusLine,     // the pending line to the top of the log
  ProgressPos,    // wParam: the position
  ProgressRange,  // wParam: the upper bound; the position back to 0
  RunSucceeded,   // the success picture
  RunFailed,      // the failure picture
  DisableStop,
  EnableStop,
};

RunMessageAction RunMessageActionOf(uint32_t message);

}  // namespace morvak
