#include "PlainDialogStyle.h"

#include <QApplication>

namespace morvak {

PlainDialogStyle::PlainDialogStyle(QStyle* base) : QProxyStyle(base) {}

int PlainDialogStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                                 QStyleHintReturn* returnData) const {
  if (hint == SH_DialogButtonBox_ButtonsHaveIcons) return 0;
  return QProxyStyle::styleHint(hint, option, widget, returnData);
}

void UsePlainDialogStyle() {
  if (dynamic_cast<PlainDialogStyle*>(QApplication::style()) != nullptr) return;
  // The proxy takes the present style over, so the application, which deletes
  // only a style it owns itself, does not delete it when the proxy replaces it.
  QApplication::setStyle(new PlainDialogStyle(QApplication::style()));
  QApplication::setAttribute(Qt::AA_DontShowIconsInMenus);
}

}  // namespace morvak
