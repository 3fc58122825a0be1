// morvak-art DIR: writes the program's pictures into DIR as PNG files, to be
// built into the program as resources.
// morvak-art --icons DIR SIZE...: writes the program's icon at each SIZE into
// DIR/SIZExSIZE/apps/morvak.png, the layout of the desktop's icon themes.
#include <QDir>
#include <QImage>
#include <QString>
#include <cstdio>
#include <cstdlib>

#include "ArtPictures.h"

namespace {

// Exit statuses of morvak-art.
constexpr int kExitWritten = 0;
constexpr int kExitCannotWrite = 1;
constexpr int kExitUsage = 2;

bool Save(const QImage& image, const QString& path) {
  if (image.save(path, "PNG")) return true;
  std::fprintf(stderr, "morvak-art: cannot write %s\n", path.toLocal8Bit().constData());
  return false;
}

bool MakeDir(const QString& dir) {
  if (QDir().mkpath(dir)) return true;
  std::fprintf(stderr, "morvak-art: cannot make %s\n", dir.toLocal8Bit().constData());
  return false;
}

int WriteIcons(const QString& dir, int count, char** sizes) {
  for (int i = 0; i < count; ++i) {
    char* end = nullptr;
    const long size = std::strtol(sizes[i], &end, 10);
    if (end == sizes[i] || *end != '\0' || size < 16 || size > 1024) {
      std::fprintf(stderr, "morvak-art: not an icon size from 16 to 1024: %s\n", sizes[i]);
      return kExitUsage;
    }
    const QString folder = dir + QStringLiteral("/%1x%1/apps").arg(size);
    if (!MakeDir(folder) || !Save(morvak::art::AppIcon(static_cast<int>(size)), folder + QStringLiteral("/morvak.png")))
      return kExitCannotWrite;
  }
  return kExitWritten;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 4 && QLatin1String(argv[1]) == QLatin1String("--icons"))
    return WriteIcons(QString::fromLocal8Bit(argv[2]), argc - 3, argv + 3);
  if (argc != 2) {
    std::fprintf(stderr, "usage: morvak-art DIR | morvak-art --icons DIR SIZE...\n");
    return kExitUsage;
  }
  const QString dir = QString::fromLocal8Bit(argv[1]);
  if (!MakeDir(dir)) return kExitCannotWrite;
  const struct {
    const char* name;
    QImage image;
  } pictures[] = {
      {"bitmap136.png", morvak::art::SuccessShield()}, {"bitmap137.png", morvak::art::FailureShield()},
      {"bitmap139.png", morvak::art::Hourglass()},     {"icon128-16.png", morvak::art::AppIcon(16)},
      {"icon128-32.png", morvak::art::AppIcon(32)},    {"icon128-48.png", morvak::art::AppIcon(48)},
  };
  for (const auto& picture : pictures) {
    if (!Save(picture.image, dir + QLatin1Char('/') + QLatin1String(picture.name))) return kExitCannotWrite;
  }
  return kExitWritten;
}
