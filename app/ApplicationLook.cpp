#include "ApplicationLook.h"

#include <QApplication>

#include "PlainDialogStyle.h"

namespace morvak {

void SetUpApplicationLook() {
  QApplication::setApplicationName(QString::fromLatin1(kApplicationName));
  UsePlainDialogStyle();
}

}  // namespace morvak
