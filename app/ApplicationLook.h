#pragma once
// The application's name and look, set once the QApplication exists.
//
// - The name is "Morvak"; message boxes take it as their caption. No display
//   name is set: the window systems' integrations append a set display name
//   to every caption that does not already end in it ("Morvak - virtual
//   handset — Morvak"), while a window's caption must read exactly as the
//   window sets it.
// - The dialogs' standard buttons carry no icons, whatever the desktop's theme
//   would add (PlainDialogStyle).

namespace morvak {

inline constexpr const char* kApplicationName = "Morvak";

void SetUpApplicationLook();

}  // namespace morvak
