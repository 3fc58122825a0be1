#include "ImagePathSetting.h"

#include <QFile>
#include <QSettings>

namespace morvak {
namespace {

QSettings Profile() { return QSettings(QSettings::IniFormat, QSettings::UserScope, QString::fromLatin1(kProfileName)); }

}  // namespace

std::string ReadImagePathSetting(const char* key) {
  const QString value = Profile().value(QString::fromLatin1(key)).toString();
  const QByteArray bytes = QFile::encodeName(value);
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

void WriteImagePathSetting(const std::string& path, const char* key) {
  Profile().setValue(QString::fromLatin1(key),
                   QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size()))));
}

}  // namespace morvak
