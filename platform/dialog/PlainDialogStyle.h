#pragma once
// PlainDialogStyle: the style the toolkit chose, without the icons some
// desktop themes put on the standard buttons of dialogs and message boxes
// (OK, Cancel, Yes, No, Open). A program's dialogs then look alike on every
// desktop: the buttons carry their text alone.
#include <QProxyStyle>

namespace morvak {

class PlainDialogStyle : public QProxyStyle {
 public:
  // Over `base`, which it takes over.
  explicit PlainDialogStyle(QStyle* base);

  int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                QStyleHintReturn* returnData = nullptr) const override;
};

// Puts the application's present style under a PlainDialogStyle, and keeps
// theme icons out of menus as well; the application must exist.
void UsePlainDialogStyle();

}  // namespace morvak
