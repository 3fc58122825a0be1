#include "ProgressDisplay.h"

namespace morvak {
namespace {

int AsControlInt(uintptr_t wParam) { return static_cast<int>(static_cast<uint32_t>(wParam)); }

}  // namespace

void ShowProgressRange(CProgressCtrl& bar, uintptr_t wParam) {
  bar.SetRange32(0, AsControlInt(wParam));
  bar.SetPos(0);
}

void ShowProgressPos(CProgressCtrl& bar, uintptr_t wParam) { bar.SetPos(AsControlInt(wParam)); }

}  // namespace morvak
