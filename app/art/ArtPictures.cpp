#include "ArtPictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <array>
#include <map>
#include <vector>

namespace morvak::art {
namespace {

// The dialog face the bitmaps stand on: they are opaque, as bitmaps are, and
// the window leaves their face out.
const QColor kFace(240, 240, 240);

QPainterPath ShieldPath() {
  QPainterPath path;
  path.moveTo(18.5, 1.5);
  path.lineTo(34.0, 6.5);
  path.lineTo(34.0, 21.0);
  path.cubicTo(34.0, 33.0, 26.5, 40.0, 18.5, 44.5);
  path.cubicTo(10.5, 40.0, 3.0, 33.0, 3.0, 21.0);
  path.lineTo(3.0, 6.5);
  path.closeSubpath();
  return path;
}

QImage Shield(const QColor& light, const QColor& dark, const QColor& rim, bool tick) {
  QImage image(37, 46, QImage::Format_RGB32);
  image.fill(kFace);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient fill(0, 0, 37, 46);
  fill.setColorAt(0, light);
  fill.setColorAt(1, dark);
  p.setPen(QPen(rim, 1.5));
  p.setBrush(fill);
  p.drawPath(ShieldPath());
  p.setPen(QPen(Qt::white, 4.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  if (tick) {
    const QPointF points[] = {{10.5, 23.0}, {16.5, 29.5}, {27.0, 15.0}};
    p.drawPolyline(points, 3);
  } else {
    p.drawLine(QPointF(12.0, 14.5), QPointF(25.0, 30.5));
    p.drawLine(QPointF(25.0, 14.5), QPointF(12.0, 30.5));
  }
  return image;
}

// Eight bits a pixel, with the face kept exactly: the window leaves a
// bitmap's face colour out, and a face that a palette of the toolkit's making
// turned white would take the white marks with it. The face is entry 0; the
// other colours are averaged within the cells of a colour grid, made coarser
// until the cells fit the rest of the table.
QImage Indexed(const QImage& source) {
  const QImage image = source.convertToFormat(QImage::Format_RGB32);
  const QRgb face = kFace.rgb();
  for (int shift = 0;; ++shift) {
    std::map<QRgb, int> cellOf;
    std::vector<std::array<long, 4>> sums;  // red, green, blue, pixels
    bool fits = true;
    for (int y = 0; y < image.height() && fits; ++y)
      for (int x = 0; x < image.width(); ++x) {
        const QRgb c = image.pixel(x, y);
        if (c == face) continue;
        const QRgb cell = qRgb(qRed(c) >> shift, qGreen(c) >> shift, qBlue(c) >> shift);
        const auto [at, added] = cellOf.emplace(cell, static_cast<int>(sums.size()));
        if (added) {
          if (sums.size() == 255) {
            fits = false;
            break;
          }
          sums.push_back({0, 0, 0, 0});
        }
        auto& sum = sums[static_cast<size_t>(at->second)];
        sum[0] += qRed(c);
        sum[1] += qGreen(c);
        sum[2] += qBlue(c);
        ++sum[3];
      }
    if (!fits) continue;
    QList<QRgb> table{face};
    for (const auto& sum : sums)
      table.push_back(qRgb(static_cast<int>(sum[0] / sum[3]), static_cast<int>(sum[1] / sum[3]),
                           static_cast<int>(sum[2] / sum[3])));
    QImage indexed(image.size(), QImage::Format_Indexed8);
    indexed.setColorTable(table);
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) {
        const QRgb c = image.pixel(x, y);
        indexed.setPixel(x, y,
                         c == face ? 0u
                                   : static_cast<uint>(
                                         1 + cellOf.at(qRgb(qRed(c) >> shift, qGreen(c) >> shift, qBlue(c) >> shift))));
      }
    return indexed;
  }
}

}  // namespace

QImage SuccessShield() {
  return Shield(QColor(70, 190, 90), QColor(20, 120, 45), QColor(10, 80, 30), true)
      .convertToFormat(QImage::Format_RGB888);
}

QImage FailureShield() { return Indexed(Shield(QColor(235, 80, 70), QColor(160, 20, 20), QColor(110, 10, 10), false)); }

QImage Hourglass() {
  QImage image(26, 32, QImage::Format_RGB32);
  image.fill(kFace);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  // The glass: two bulbs meeting at a narrow neck.
  QPainterPath glass;
  glass.moveTo(5.5, 4.5);
  glass.lineTo(20.5, 4.5);
  glass.cubicTo(20.5, 11.0, 14.5, 13.5, 14.0, 16.0);
  glass.cubicTo(14.5, 18.5, 20.5, 21.0, 20.5, 27.5);
  glass.lineTo(5.5, 27.5);
  glass.cubicTo(5.5, 21.0, 11.5, 18.5, 12.0, 16.0);
  glass.cubicTo(11.5, 13.5, 5.5, 11.0, 5.5, 4.5);
  glass.closeSubpath();
  p.setPen(QPen(QColor(60, 70, 90), 1.2));
  p.setBrush(QColor(215, 235, 250));
  p.drawPath(glass);
  // Sand: what is left above, the heap below and the thread between.
  const QColor sand(220, 170, 60);
  p.setPen(Qt::NoPen);
  p.setBrush(sand);
  QPainterPath top;
  top.moveTo(8.5, 9.5);
  top.lineTo(17.5, 9.5);
  top.cubicTo(16.5, 12.0, 14.0, 13.5, 13.0, 15.5);
  top.cubicTo(12.0, 13.5, 9.5, 12.0, 8.5, 9.5);
  p.drawPath(top);
  QPainterPath heap;
  heap.moveTo(6.5, 27.0);
  heap.cubicTo(8.0, 22.5, 11.0, 21.5, 13.0, 21.0);
  heap.cubicTo(15.0, 21.5, 18.0, 22.5, 19.5, 27.0);
  heap.closeSubpath();
  p.drawPath(heap);
  p.drawRect(QRectF(12.5, 15.5, 1.0, 6.0));
  // The two wooden ends.
  p.setPen(QPen(QColor(80, 45, 20), 1.0));
  p.setBrush(QColor(150, 90, 40));
  p.drawRoundedRect(QRectF(2.5, 1.5, 21.0, 3.5), 1.0, 1.0);
  p.drawRoundedRect(QRectF(2.5, 27.0, 21.0, 3.5), 1.0, 1.0);
  p.end();
  return Indexed(image);
}

QImage AppIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 32.0, size / 32.0);
  // The handset.
  p.setPen(QPen(QColor(25, 30, 40), 1.0));
  p.setBrush(QColor(55, 65, 85));
  p.drawRoundedRect(QRectF(5.5, 1.5, 15.0, 29.0), 2.5, 2.5);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(150, 205, 240));
  p.drawRect(QRectF(7.5, 5.0, 11.0, 16.0));
  p.setBrush(QColor(200, 205, 215));
  p.drawEllipse(QRectF(11.5, 23.5, 3.0, 3.0));
  // The download arrow.
  p.setPen(QPen(QColor(10, 90, 30), 1.0));
  p.setBrush(QColor(45, 175, 75));
  const QPointF arrow[] = {{23.0, 3.0}, {28.0, 3.0}, {28.0, 14.0}, {31.0, 14.0},
                           {25.5, 21.0}, {20.0, 14.0}, {23.0, 14.0}};
  p.drawPolygon(arrow, 7);
  return image;
}

}  // namespace morvak::art
