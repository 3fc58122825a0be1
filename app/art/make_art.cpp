// morvak-art DIR: writes the program's pictures into DIR as PNG files, to be
// built into the program as resources.
#include <QDir>
#include <QImage>
#include <QString>
#include <cstdio>

#include "ArtPictures.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: morvak-art DIR\n");
    return 2;
  }
  const QString dir = QString::fromLocal8Bit(argv[1]);
  if (!QDir().mkpath(dir)) {
    std::fprintf(stderr, "morvak-art: cannot make %s\n", argv[1]);
    return 1;
  }
  const struct {
    const char* name;
    QImage image;
  } pictures[] = {
      {"bitmap136.png", morvak::art::SuccessShield()}, {"bitmap137.png", morvak::art::FailureShield()},
      {"bitmap139.png", morvak::art::Hourglass()},     {"icon128-16.png", morvak::art::AppIcon(16)},
      {"icon128-32.png", morvak::art::AppIcon(32)},    {"icon128-48.png", morvak::art::AppIcon(48)},
  };
  for (const auto& picture : pictures) {
    const QString path = dir + QLatin1Char('/') + QLatin1String(picture.name);
    if (!picture.image.save(path, "PNG")) {
      std::fprintf(stderr, "morvak-art: cannot write %s\n", path.toLocal8Bit().constData());
      return 1;
    }
  }
  return 0;
}
