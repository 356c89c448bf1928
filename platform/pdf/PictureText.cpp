#include "platform/pdf/PictureText.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QTextLayout>
#include <deque>
#include <tuple>
#include <vector>

namespace telmo {

const CachedFont& FontFor(const FontSpec& spec) {
    // A deque, because callers hold on to a font while they look up the next one.
    thread_local std::deque<std::pair<FontSpec, CachedFont>> cache;
    for (const auto& entry : cache)
        if (entry.first == spec)
            return entry.second;
    QFont font = ToTwipsFont(spec);
    cache.emplace_back(spec, CachedFont{font, QFontMetricsF(font).ascent(), QRawFont::fromFont(font)});
    return cache.back().second;
}

bool PlacesGlyphBesideGlyph(const QString& text) {
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        const bool simple = u < 0x0590 || (u >= 0x2010 && u < 0x2028) || (u >= 0x2030 && u < 0x2060) ||
                            (u >= 0x20A0 && u < 0x2190);
        if (!simple)
            return false;
    }
    return true;
}

bool SideBySideGlyphs(const CachedFont& font, const QString& text, QList<quint32>& glyphs) {
    if (!font.raw.isValid() || !PlacesGlyphBesideGlyph(text))
        return false;
    glyphs = font.raw.glyphIndexesForString(text);
    for (const quint32 glyph : glyphs)
        if (glyph == 0)
            return false;
    return true;
}

// The Indic scripts (Devanagari up to Sinhala) only show right when shaped by a font that has
// them. A text in one of them whose font lacks it is drawn in a font that has it, chosen
// here rather than by Qt's fallback, which first tries the font without the script and warns
// on standard error for every such text. The font for each script is looked up once.
const QFont& FontForScriptOf(const CachedFont& cached, const QString& text) {
    int writingSystem = -1;
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u >= 0x0900 && u < 0x0E00) {
            writingSystem = QFontDatabase::Devanagari + (u - 0x0900) / 0x80;
            break;
        }
    }
    if (writingSystem < 0)
        return cached.font;
    thread_local std::deque<std::tuple<QString, int, QFont>> chosen;
    const QString family = cached.font.family();
    for (const auto& [f, ws, font] : chosen)
        if (ws == writingSystem && f == family && font.pixelSize() == cached.font.pixelSize() &&
            font.bold() == cached.font.bold())
            return font;
    const auto system = QFontDatabase::WritingSystem(writingSystem);
    QFont font = cached.font;
    if (!QFontDatabase::writingSystems(QFontInfo(font).family()).contains(system)) {
        const QStringList families = QFontDatabase::families(system);
        if (!families.isEmpty())
            font.setFamilies({families.first(), family}); // the text's Latin letters may fall back
    }
    chosen.emplace_back(family, writingSystem, font);
    return std::get<2>(chosen.back());
}

QList<QGlyphRun> LaidOutGlyphRuns(const CachedFont& cached, const QString& text, QPointF baseline) {
    QTextLayout layout(text, FontForScriptOf(cached, text));
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTextDirection(Qt::LeftToRight); // as QPainter::drawText: bidi runs inside a left-to-right line
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (!line.isValid()) {
        layout.endLayout();
        return {};
    }
    line.setPosition(QPointF(0, 0));
    layout.endLayout();
    // Runs come positioned in the layout, baseline at the line's ascent, from its left edge.
    const QPointF offset(baseline.x() - line.naturalTextRect().left(), baseline.y() - line.ascent());
    QList<QGlyphRun> runs = layout.glyphRuns();
    for (QGlyphRun& run : runs) {
        QList<QPointF> positions = run.positions();
        for (QPointF& p : positions)
            p += offset;
        run.setPositions(positions);
    }
    return runs;
}

} // namespace telmo
