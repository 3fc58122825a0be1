#pragma once
// The program's pictures, drawn here and built into the program as resources:
// the application icon, and the status bitmaps (success, failure, busy).
#include <QImage>

namespace morvak::art {

// Green shield with a white tick, 37 x 46, 24 bits a pixel.
QImage SuccessShield();
// Red shield with a white cross, 37 x 46, 8 bits a pixel.
QImage FailureShield();
// Hourglass, 26 x 32, 8 bits a pixel.
QImage Hourglass();
// A handset receiving a download, `size` pixels square, with transparency.
QImage AppIcon(int size);

}  // namespace morvak::art
