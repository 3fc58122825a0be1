#pragma once
// The two dialog templates: the main window and the about box.
#include "DialogTemplate.h"
#include "FlashRun.h"

namespace morvak {

inline constexpr int IDC_IMAGE_PATH = 1004;
inline constexpr int IDC_BROWSE = 1005;
inline constexpr int IDC_START_FLASHING = 1006;
inline constexpr int IDC_STOP_FLASHING = 1007;
inline constexpr int IDC_CLOSE_WINDOWS = 1008;
inline constexpr int IDC_PROGRESS = 1009;
inline constexpr int IDC_STATUS_LOG = 1010;
inline constexpr int IDC_STATUS_PICTURE = 1014;
inline constexpr int IDC_NAND = 1015;
inline constexpr int IDC_ONENAND = 1016;
inline constexpr int IDC_ERASE_RESERVED = 1017;

inline constexpr const char* kMainCaption = "Morvak";
// What the caption adds when the window runs on the virtual handset.
inline constexpr const char* kVirtualHandsetCaption = " - virtual handset";

// The main window, 390 x 250 dialog units: fixed size, a minimise box, files
// may be dropped on it, shown on the task bar.
DialogTemplate MainDialogTemplate(const QFont& font);
// The about box, 235 x 55 dialog units.
DialogTemplate AboutDialogTemplate(const QFont& font);

}  // namespace morvak
