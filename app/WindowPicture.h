#pragma once
// A picture of the window's own contents after a run, without any window
// manager (the process tests look at it): when the environment names a PNG file in
// MORVAK_WINDOW_PICTURE, the window starts a run with the image in its path
// field as soon as it shows, saves its picture into that file once the run
// has ended and the window has shown all of it, and closes. Nothing else
// reads the variable.

namespace morvak {

class CFlashToolDlg;

inline constexpr const char* kWindowPictureVariable = "MORVAK_WINDOW_PICTURE";

// Arranges the above for `dialog` when the variable is set, before DoModal.
void ArrangeWindowPicture(CFlashToolDlg& dialog);

}  // namespace morvak
