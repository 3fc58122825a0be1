#pragma once
// Dialog units: a dialog's geometry is written in units of its font, so that
// the layout keeps its proportions whatever font it is shown in. A horizontal
// unit is a quarter of the font's average character width, a vertical unit an
// eighth of its height, both measured the way the Windows dialog manager does.
#include <QFont>
#include <QRect>

namespace morvak {

struct DialogBaseUnits {
  int x = 0;  // average character width in pixels
  int y = 0;  // character height in pixels
  friend bool operator==(const DialogBaseUnits&, const DialogBaseUnits&) = default;
};

// x = (advance of "A".."Z" "a".."z" / 26 + 1) / 2, y = the font's height.
DialogBaseUnits BaseUnitsOf(const QFont& font);

// number * numerator / denominator with a 64-bit intermediate, rounded half
// away from zero; -1 for a zero denominator (as the Windows call it stands for).
int MulDiv(int number, int numerator, int denominator);

// A rectangle in dialog units (x, y, width, height) in pixels.
QRect MapDialogRect(const QRect& dialogUnits, DialogBaseUnits base);

}  // namespace morvak
