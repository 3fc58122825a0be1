#pragma once
// What the run's progress messages do to the progress bar. Their wParam is
// taken as the control takes its 32-bit signed arguments.
#include <cstdint>

#include "ProgressCtrl.h"

namespace morvak {

// The range 0..wParam, then the position 0.
void ShowProgressRange(CProgressCtrl& bar, uintptr_t wParam);
// The position wParam, clamped into the range by the control.
void ShowProgressPos(CProgressCtrl& bar, uintptr_t wParam);

}  // namespace morvak
