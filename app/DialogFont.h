#pragma once
// The dialogs' font: 9-point "宋体". Where that family is not installed (it is
// not on most Linux systems), the first installed family that has a glyph for
// every character the dialogs show stands in for it, so that no text shows as
// boxes.
#include <QFont>
#include <QString>

namespace morvak {

QFont DialogFont();

// Every text the two dialogs and the about entry show.
QString DialogTexts();

// True when the font itself (not a fallback) has a glyph for each character.
bool HasGlyphsFor(const QFont& font, const QString& text);

}  // namespace morvak
