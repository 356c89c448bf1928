#include "platform/pdf/PictureText.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QTextBoundaryFinder>
#include <QTextLayout>
#include <cmath>
#include <list>
#include <tuple>
#include <vector>

namespace telmo {

namespace {

// How many fonts, and fonts for a script, a thread keeps. Each holds Qt's font engines and
// their fallback lists (megabytes for a face with many fallbacks), and a grid may give every
// cell a size of its own.
constexpr size_t kKeptFonts = 64;

// The entry for the key, found from the most recent, moved to the back, or made there
// (dropping the least recent past the bound). A list, because callers hold on to an entry
// while they look up the next one: moving or dropping another leaves it where it is.
template <typename Key, typename Value, typename Make>
const Value& Recent(std::list<std::pair<Key, Value>>& kept, const Key& key, Make make) {
    for (auto it = kept.end(); it != kept.begin();) {
        if ((--it)->first == key) {
            kept.splice(kept.end(), kept, it);
            return it->second;
        }
    }
    if (kept.size() >= kKeptFonts)
        kept.pop_front();
    kept.emplace_back(key, make());
    return kept.back().second;
}

} // namespace

const CachedFont& FontFor(const FontSpec& spec) {
    thread_local std::list<std::pair<FontSpec, CachedFont>> kept;
    thread_local quint64 made = 0;
    return Recent(kept, spec, [&] {
        QFont font = ToTwipsFont(spec);
        return CachedFont{font, QFontMetricsF(font).ascent(), QRawFont::fromFont(font), ++made};
    });
}

bool PlacesGlyphBesideGlyph(const QString& text) {
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        // Combining marks sit on their letter, and a soft hyphen is not drawn within a line:
        // only shaping places them.
        const bool simple =
            (u < 0x0590 && u != 0x00AD && !(u >= 0x0300 && u < 0x0370) && !(u >= 0x0483 && u < 0x048A)) ||
            (u >= 0x2010 && u < 0x2028) || (u >= 0x2030 && u < 0x2060) || (u >= 0x20A0 && u < 0x2190);
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

// The Indic scripts (Devanagari up to Sinhala), and Thai, Lao, Tibetan, Myanmar and Khmer, only show right
// when shaped by a font that has them. A text in one of them whose font lacks it is drawn in a font that has
// it, chosen here rather than by Qt's fallback, which first tries the font without the script and warns on
// standard error for every such text. The font for each script is looked up once.
const QFont& FontForScriptOf(const CachedFont& cached, const QString& text) {
    // The blocks of the complex scripts of South and South-East Asia, each a writing system.
    static constexpr struct {
        char16_t first, last;
        QFontDatabase::WritingSystem system;
    } kScripts[] = {
        {0x0900, 0x097F, QFontDatabase::Devanagari}, {0x0980, 0x09FF, QFontDatabase::Bengali},
        {0x0A00, 0x0A7F, QFontDatabase::Gurmukhi},   {0x0A80, 0x0AFF, QFontDatabase::Gujarati},
        {0x0B00, 0x0B7F, QFontDatabase::Oriya},      {0x0B80, 0x0BFF, QFontDatabase::Tamil},
        {0x0C00, 0x0C7F, QFontDatabase::Telugu},     {0x0C80, 0x0CFF, QFontDatabase::Kannada},
        {0x0D00, 0x0D7F, QFontDatabase::Malayalam},  {0x0D80, 0x0DFF, QFontDatabase::Sinhala},
        {0x0E00, 0x0E7F, QFontDatabase::Thai},       {0x0E80, 0x0EFF, QFontDatabase::Lao},
        {0x0F00, 0x0FFF, QFontDatabase::Tibetan},    {0x1000, 0x109F, QFontDatabase::Myanmar},
        {0x1780, 0x17FF, QFontDatabase::Khmer},
    };
    int writingSystem = -1;
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x0900 || u > 0x17FF)
            continue;
        for (const auto& script : kScripts)
            if (u >= script.first && u <= script.last)
                writingSystem = script.system;
        if (writingSystem >= 0)
            break;
    }
    if (writingSystem < 0)
        return cached.font;
    thread_local std::list<std::pair<std::tuple<QString, int, int, bool>, QFont>> kept;
    const QString family = cached.font.family();
    const auto key = std::tuple(family, writingSystem, cached.font.pixelSize(), cached.font.bold());
    return Recent(kept, key, [&] {
        const auto system = QFontDatabase::WritingSystem(writingSystem);
        QFont font = cached.font;
        if (!QFontDatabase::writingSystems(QFontInfo(font).family()).contains(system)) {
            // A plain sans face where there is one: decorated ones (looped, slanted, serif) come
            // first in the list by name alone, and some give marks widths readers take for gaps.
            const QStringList families = QFontDatabase::families(system);
            QString chosen = families.value(0);
            for (const QString& f : families)
                if (f.contains(QLatin1String("Sans")) && !f.contains(QLatin1String("Looped")) &&
                    !f.contains(QLatin1String("UI"))) {
                    chosen = f;
                    break;
                }
            if (!chosen.isEmpty())
                font.setFamilies({chosen, family}); // the text's Latin letters may fall back
        }
        return font;
    });
}

namespace {

// Format characters (soft hyphen, joiners, bidi controls) are not drawn within a line.
bool DrawsNothing(QStringView grapheme) {
    for (const char32_t u : grapheme.toUcs4())
        if (QChar::category(u) != QChar::Other_Format)
            return false;
    return true;
}

// The same glyph at the same place among the glyphs of the graphemes before (runs up to end).
LaidOutGlyph* SameGlyphBefore(std::vector<LaidOutRun>& runs, size_t end, const QRawFont& font,
                              const LaidOutGlyph& glyph) {
    for (size_t r = end; r-- > 0 && end - r <= 2;) {
        if (runs[r].font != font)
            continue;
        for (LaidOutGlyph& g : runs[r].glyphs)
            if (g.glyph == glyph.glyph && g.position == glyph.position)
                return &g;
    }
    return nullptr;
}

} // namespace

QString WithoutSoftHyphens(const QString& text) {
    if (!text.contains(QChar(0x00AD)))
        return text;
    QString shown = text;
    shown.remove(QChar(0x00AD));
    return shown;
}

std::vector<LaidOutRun> LaidOutClusters(const CachedFont& cached, const QString& text, QPointF baseline) {
    // Soft hyphens are left out of the layout, which would give them a hyphen's width; they
    // read back with the glyphs after them. sourceAt maps the laid-out text into the text.
    const QString shown = WithoutSoftHyphens(text);
    std::vector<qsizetype> sourceAt;
    sourceAt.reserve(size_t(shown.size()) + 1);
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i] != QChar(0x00AD))
            sourceAt.push_back(i);
    sourceAt.push_back(text.size());
    QTextLayout layout(shown, FontForScriptOf(cached, shown));
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

    // Grapheme by grapheme: the glyphs of each, and the text they stand for. A grapheme whose
    // glyphs shaping drew with the next one's (the first half of a conjunct), or that draws
    // nothing (a soft hyphen, a joiner), has none of its own; its text goes with the next
    // glyphs drawn.
    std::vector<LaidOutRun> runs;
    QString pending = text.left(sourceAt[0]);
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, shown);
    qsizetype from = 0;
    for (qsizetype to = graphemes.toNextBoundary(); to > from; from = to, to = graphemes.toNextBoundary()) {
        pending +=
            QStringView(text).mid(sourceAt[size_t(from)], sourceAt[size_t(to)] - sourceAt[size_t(from)]);
        if (DrawsNothing(QStringView(shown).mid(from, to - from)))
            continue;
        const size_t firstRun = runs.size();
        size_t glyphCount = 0;
        LaidOutGlyph* shared = nullptr;
        for (const QGlyphRun& run : line.glyphRuns(int(from), int(to - from))) {
            const QList<quint32> glyphs = run.glyphIndexes();
            const QList<QPointF> positions = run.positions();
            if (glyphs.isEmpty())
                continue;
            runs.push_back({run.rawFont(), {}});
            for (qsizetype i = 0; i < glyphs.size(); ++i) {
                // A ligature of this grapheme and the one before (lam-alef) comes with both;
                // it is drawn once, standing for both.
                const LaidOutGlyph glyph{glyphs[i], positions[i] + offset, QString()};
                if (LaidOutGlyph* before = SameGlyphBefore(runs, firstRun, run.rawFont(), glyph)) {
                    shared = before;
                    continue;
                }
                runs.back().glyphs.push_back(glyph);
                ++glyphCount;
            }
            if (runs.back().glyphs.empty())
                runs.pop_back();
        }
        if (glyphCount == 0) {
            if (shared) {
                shared->text += pending;
                pending.clear();
            }
            continue;
        }
        // The text spread over the glyphs in the order they are written, a character each and
        // the rest on the last, so that read in that order they give the text: a vowel sign
        // drawn before its consonant stands for the consonant, the consonant for the sign. A
        // cluster of more glyphs than characters is spread decomposed (a split vowel's parts).
        QList<uint> characters = pending.toUcs4();
        if (size_t(characters.size()) < glyphCount)
            characters = pending.normalized(QString::NormalizationForm_D).toUcs4();
        size_t at = 0, glyph = 0;
        for (size_t r = firstRun; r < runs.size(); ++r)
            for (LaidOutGlyph& g : runs[r].glyphs) {
                const size_t take = ++glyph == glyphCount
                                        ? size_t(characters.size()) - std::min(at, size_t(characters.size()))
                                        : 1;
                for (size_t k = 0; k < take && at < size_t(characters.size()); ++k, ++at)
                    g.text +=
                        QString::fromUcs4(reinterpret_cast<const char32_t*>(&characters[qsizetype(at)]), 1);
            }
        if (firstRun + 1 == runs.size() && glyphCount > 1) {
            std::vector<LaidOutGlyph>& glyphs = runs.back().glyphs;
            const size_t first = glyphs.size() - glyphCount;
            const QChar::Direction direction = pending[0].direction();
            bool close = false;
            for (size_t g = first + 1; g < glyphs.size(); ++g)
                close |= std::abs(glyphs[g].position.x() - glyphs[g - 1].position.x()) <
                         0.1 * runs.back().font.pixelSize();
            // Right-to-left text has its own actual texts (PdfPainter).
            if (close && direction != QChar::DirR && direction != QChar::DirAL)
                glyphs[first].span = int(glyphCount);
        }
        pending.clear();
    }
    // What follows the last glyph (a format character, say) reads with it.
    if (!pending.isEmpty() && !runs.empty())
        runs.back().glyphs.back().text += pending;
    // Consecutive runs in one face are one.
    std::vector<LaidOutRun> merged;
    for (LaidOutRun& run : runs) {
        if (!merged.empty() && merged.back().font == run.font)
            merged.back().glyphs.insert(merged.back().glyphs.end(), run.glyphs.begin(), run.glyphs.end());
        else
            merged.push_back(std::move(run));
    }
    return merged;
}

} // namespace telmo
