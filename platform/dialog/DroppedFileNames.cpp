#include "DroppedFileNames.h"

#include <QFile>
#include <QUrl>

namespace morvak {

std::vector<std::string> DroppedFileNames(const QMimeData& data) {
  std::vector<std::string> names;
  if (!data.hasUrls()) return names;
  for (const QUrl& url : data.urls()) {
    if (!url.isLocalFile()) continue;
    const QByteArray name = QFile::encodeName(url.toLocalFile());
    if (name.isEmpty()) continue;
    names.emplace_back(name.constData(), static_cast<size_t>(name.size()));
  }
  return names;
}

}  // namespace morvak
