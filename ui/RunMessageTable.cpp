#include "RunMessageTable.h"

#include "WindowMessages.h"

namespace morvak {

RunMessageAction RunMessageActionOf(uint32_t message) {
  // Unsigned: a message below the first wraps to a large offset.
  if (message - WM_SYNC_FIELDS > WM_RUN_MESSAGE_SPAN) return RunMessageAction::None;
  switch (message) {
    case WM_SYNC_FIELDS: return RunMessageAction::SyncFields;
    case WM_STATUS_LINE: return RunMessageAction::StatusLine;
    case WM_PROGRESS_POS: return RunMessageAction::ProgressPos;
    case WM_PROGRESS_RANGE: return RunMessageAction::ProgressRange;
    case WM_RUN_SUCCEEDED: return RunMessageAction::RunSucceeded;
    case WM_RUN_FAILED: return RunMessageAction::RunFailed;
    case WM_DISABLE_STOP: return RunMessageAction::DisableStop;
    case WM_ENABLE_STOP: return RunMessageAction::EnableStop;
    default: return RunMessageAction::None;
  }
}

}  // namespace morvak
