#include "PictureCtrl.h"

#include <QBitmap>
#include <QImage>
#include <QPainter>
#include <QStyle>

namespace morvak {

CPictureCtrl::CPictureCtrl(QWidget* parent) : QLabel(parent) {}

QPixmap CPictureCtrl::Shown() const {
  const QPixmap bitmap = pixmap();
  if (bitmap.isNull() || bitmap.hasAlphaChannel()) return bitmap;
  // The same bitmap is shown again and again (every run ends in one of three).
  if (bitmap.cacheKey() != m_shownKey) {
    const QColor face = bitmap.toImage().pixelColor(0, 0);
    m_shown = bitmap;
    m_shown.setMask(bitmap.createMaskFromColor(face, Qt::MaskInColor));
    m_shownKey = bitmap.cacheKey();
  }
  return m_shown;
}

void CPictureCtrl::paintEvent(QPaintEvent* e) {
  const QPixmap shown = Shown();
  if (shown.isNull()) {
    QLabel::paintEvent(e);
    return;
  }
  QPainter painter(this);
  drawFrame(&painter);
  const QRect at = QStyle::alignedRect(layoutDirection(), QStyle::visualAlignment(layoutDirection(), alignment()),
                                       shown.deviceIndependentSize().toSize(), contentsRect());
  painter.drawPixmap(at, shown);
}

}  // namespace morvak
