#include "DialogUnits.h"

#include <QFontMetrics>
#include <QString>

namespace morvak {

DialogBaseUnits BaseUnitsOf(const QFont& font) {
  const QFontMetrics metrics(font);
  const int extent = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return {(extent / 26 + 1) / 2, metrics.height()};
}

int MulDiv(int number, int numerator, int denominator) {
  if (denominator == 0) return -1;
  const long long product = static_cast<long long>(number) * numerator;
  const long long magnitude = (product < 0 ? -product : product);
  const long long divisor = denominator < 0 ? -static_cast<long long>(denominator) : denominator;
  long long quotient = (magnitude + divisor / 2) / divisor;
  if ((product < 0) != (denominator < 0)) quotient = -quotient;
  return static_cast<int>(quotient);
}

QRect MapDialogRect(const QRect& dialogUnits, DialogBaseUnits base) {
  return {MulDiv(dialogUnits.x(), base.x, 4), MulDiv(dialogUnits.y(), base.y, 8),
          MulDiv(dialogUnits.width(), base.x, 4), MulDiv(dialogUnits.height(), base.y, 8)};
}

}  // namespace morvak
