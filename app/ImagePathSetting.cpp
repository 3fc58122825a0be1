#include "ImagePathSetting.h"

#include <QFile>
#include <QSettings>

namespace morvak {
namespace {

QSettings Profile() { return QSettings(QSettings::IniFormat, QSettings::UserScope, QString::fromLatin1(kProfileName)); }

}  // namespace

std::string ReadImagePathSetting() {
  const QString value = Profile().value(QString::fromLatin1(kImagePathKey)).toString();
  const QByteArray bytes = QFile::encodeName(value);
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

void WriteImagePathSetting(const std::string& path) {
  Profile().setValue(QString::fromLatin1(kImagePathKey),
                   QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size()))));
}

}  // namespace morvak
