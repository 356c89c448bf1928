#pragma once

#include <QFont>
#include <QString>

namespace telmo {

// A font as the drawing surfaces know it: a family name, a size in points and bold.
struct FontSpec {
    QString name = QStringLiteral("Arial");
    float sizePt = 8.25f;
    bool bold = false;

    bool operator==(const FontSpec&) const = default;
};

// The QFont that draws a FontSpec in twips space: one twip is one logical pixel, so a
// size of p points is a pixel size of p * 20. Hinting is off so that widths scale linearly
// from the PDF to a reduced preview.
QFont ToTwipsFont(const FontSpec& spec);

} // namespace telmo
