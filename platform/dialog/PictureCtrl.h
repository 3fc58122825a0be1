#pragma once
// CPictureCtrl: the static control that shows a bitmap. Bitmaps are opaque:
// they are drawn on a face colour, the colour of their top-left pixel. The
// control leaves that colour out, so that a picture stands on the dialog's own
// background whatever colour the desktop gives it, without a box around it.
// A bitmap with an alpha channel of its own is shown as it is.
#include <QLabel>
#include <QPixmap>

namespace morvak {

class CPictureCtrl : public QLabel {
 public:
  explicit CPictureCtrl(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  // The bitmap as it is drawn: without its face colour. pixmap() stays the
  // bitmap that was set.
  QPixmap Shown() const;

  mutable QPixmap m_shown;
  mutable qint64 m_shownKey = 0;
};

}  // namespace morvak
