#pragma once
// The program's resources by their ids: the icon, the status bitmaps and the
// about entry's text. The pictures are built into the program (Qt resources).
#include <QIcon>
#include <QPixmap>
#include <string>

namespace morvak {

inline constexpr int IDS_ABOUTBOX = 101;
inline constexpr int IDB_SUCCESS = 136;
inline constexpr int IDB_FAILURE = 137;
inline constexpr int IDB_BUSY = 139;
// The about entry's command in the system menu.
inline constexpr unsigned IDM_ABOUTBOX = 0x0010;

// Icon 128 at every size it is built in.
QIcon LoadAppIcon();
// A status bitmap; an empty pixmap for an id that is not one.
QPixmap LoadBitmapResource(int id);
// The resource string; empty for an id that is not one.
std::string LoadStringResource(int id);

}  // namespace morvak
