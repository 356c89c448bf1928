#pragma once

#include "platform/FontSpec.h"

#include <QFont>
#include <QGlyphRun>
#include <QList>
#include <QPointF>
#include <QRawFont>
#include <QString>
#include <vector>

namespace telmo {

// How the text of a picture becomes glyphs, shared by the painter playback and the PDF
// writer so that both place every glyph alike.

// A font of the report with what playback needs of it. The fonts used last are kept by the
// thread (64 of them); a reference stays valid while fewer other fonts are looked up.
struct CachedFont {
    QFont font;
    qreal ascent;
    QRawFont raw;   // the same face, for drawing glyph runs
    quint64 serial; // never the same for two fonts of a thread, as an address may be
};
const CachedFont& FontFor(const FontSpec& spec);

// Texts that read left to right one character after another (Latin, Greek, Cyrillic and
// common punctuation): for these, glyphs placed side by side by their advances are the text.
// Right-to-left and shaped scripts, and bidi controls, need a text layout.
bool PlacesGlyphBesideGlyph(const QString& text);

// The glyphs of a text that its font draws side by side, one per character; false when the
// text needs a text layout or a glyph the face lacks (a fallback font would draw it).
bool SideBySideGlyphs(const CachedFont& font, const QString& text, QList<quint32>& glyphs);

// The font a text is laid out in: the report's font, or for an Indic script it lacks, a font
// that has the script.
const QFont& FontForScriptOf(const CachedFont& cached, const QString& text);

// The text as drawn: a soft hyphen marks where a word may break, and within a line shows nothing.
QString WithoutSoftHyphens(const QString& text);

// A glyph of a laid-out text with the text it stands for: the first glyph of a cluster
// (a conjunct, a ligature, a letter with its marks) stands for the cluster, the others for none.
struct LaidOutGlyph {
    quint32 glyph;
    QPointF position;
    QString text;
    // On a cluster's first glyph: the number of glyphs, this one on, that read as one text
    // (their texts joined), or 0. Readers that go by position take a glyph that starts
    // within a tenth of an em of the one before for the same glyph drawn twice over (as for
    // a bold face) and set its text apart: a Khmer sign drawn from its base's origin.
    int span = 0;
};
struct LaidOutRun {
    QRawFont font;
    std::vector<LaidOutGlyph> glyphs;
};

// The text laid out on one line as QPainter::drawText draws it from a baseline point, left
// edge at baseline.x(): shaped, right-to-left runs reordered, fallback fonts where needed.
// Runs come cluster by cluster in the text's own (reading) order; positions are absolute,
// on the baseline.
std::vector<LaidOutRun> LaidOutClusters(const CachedFont& cached, const QString& text, QPointF baseline);

} // namespace telmo
