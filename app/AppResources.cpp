#include "AppResources.h"

namespace morvak {

QIcon LoadAppIcon() {
  QIcon icon;
  for (int size : {16, 32, 48}) icon.addFile(QStringLiteral(":/morvak/icon128-%1.png").arg(size), QSize(size, size));
  return icon;
}

QPixmap LoadBitmapResource(int id) {
  if (id != IDB_SUCCESS && id != IDB_FAILURE && id != IDB_BUSY) return {};
  return QPixmap(QStringLiteral(":/morvak/bitmap%1.png").arg(id));
}

std::string LoadStringResource(int id) {
  if (id == IDS_ABOUTBOX) return "关于 Morvak(&A)...";
  return {};
}

}  // namespace morvak
