#pragma once
// The messages the window posts to itself for a run's events (and accepts
// from any other sender). Values are WM_USER+100 and on in steps of 5; lParam
// is 0 in every message a run's event becomes.
#include <cstdint>

namespace morvak {

inline constexpr uint32_t WM_USER = 1024;
inline constexpr uint32_t WM_SYNC_FIELDS = WM_USER + 100;     // wParam: 1 controls->fields, 0 fields->controls
inline constexpr uint32_t WM_STATUS_LINE = WM_USER + 105;     // carries one status line
inline constexpr uint32_t WM_PROGRESS_POS = WM_USER + 110;    // wParam: position
inline constexpr uint32_t WM_PROGRESS_RANGE = WM_USER + 115;  // wParam: upper bound; position back to 0
inline constexpr uint32_t WM_RUN_SUCCEEDED = WM_USER + 120;
inline constexpr uint32_t WM_RUN_FAILED = WM_USER + 125;
inline constexpr uint32_t WM_DISABLE_STOP = WM_USER + 130;    // posted by other senders only
inline constexpr uint32_t WM_ENABLE_STOP = WM_USER + 135;     // posted by other senders only

// The span DefWindowProc looks at: message - WM_SYNC_FIELDS, unsigned, at most 35.
inline constexpr uint32_t WM_RUN_MESSAGE_SPAN = WM_ENABLE_STOP - WM_SYNC_FIELDS;

}  // namespace morvak
