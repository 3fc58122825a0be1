#include "DialogFont.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QRawFont>

#include "AppResources.h"
#include "FlashToolDlgTemplate.h"

namespace morvak {
namespace {

QFont NinePoint(const QString& family) {
  QFont font(family);
  font.setPointSize(9);
  return font;
}

// The family itself is installed: fontconfig does not answer with another.
bool Installed(const QFont& font) {
  return QFontInfo(font).family().compare(font.family(), Qt::CaseInsensitive) == 0;
}

}  // namespace

QString DialogTexts() {
  QString all = QString::fromStdString(LoadStringResource(IDS_ABOUTBOX));
  for (const DialogTemplate& t : {MainDialogTemplate(QFont()), AboutDialogTemplate(QFont())}) {
    all += QString::fromStdString(t.caption);
    for (const ControlSpec& c : t.controls) all += QString::fromStdString(c.text);
  }
  return all;
}

bool HasGlyphsFor(const QFont& font, const QString& text) {
  const QRawFont raw = QRawFont::fromFont(font);
  if (!raw.isValid()) return false;
  for (char32_t ch : text.toUcs4()) {
    if (ch == U'&' || ch == U' ') continue;
    if (!raw.supportsCharacter(static_cast<uint>(ch))) return false;
  }
  return true;
}

QFont DialogFont() {
  const QString texts = DialogTexts();
  QStringList candidates = {QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("NSimSun")};
  candidates += QFontDatabase::families(QFontDatabase::SimplifiedChinese);
  candidates += QFontDatabase::families();
  for (const QString& family : candidates) {
    const QFont font = NinePoint(family);
    if (Installed(font) && HasGlyphsFor(font, texts)) return font;
  }
  return NinePoint(QStringLiteral("宋体"));
}

}  // namespace morvak
