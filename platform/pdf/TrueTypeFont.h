#pragma once

#include <QByteArray>
#include <QRawFont>
#include <QRect>
#include <QString>
#include <vector>

namespace telmo {

// A face with TrueType outlines, read from its own tables, as a PDF embeds it: metrics in
// font units and a subset that carries only the glyphs a document drew. The subset keeps
// every glyph's number (unused ones are empty), so text written in the face's glyph
// indexes needs no table to map it.
class TrueTypeFont {
public:
    explicit TrueTypeFont(const QRawFont& font);

    // False for faces without TrueType outlines (CFF, bitmaps only) or with tables that do not add up.
    bool IsValid() const { return valid_; }
    int UnitsPerEm() const { return unitsPerEm_; }
    int GlyphCount() const { return glyphCount_; }
    int Advance(quint32 glyph) const;          // font units
    QRect BoundingBox() const { return box_; } // y up, font units
    int Ascent() const { return ascent_; }
    int Descent() const { return descent_; } // negative below the baseline
    QString PostScriptName() const { return postScriptName_; }

    // A font file holding the glyphs marked in used (indexed by glyph) and the parts of
    // composite glyphs among them; glyph 0 is always kept, as renderers draw it for gaps.
    QByteArray Subset(std::vector<bool> used) const;

private:
    QByteArray GlyphData(quint32 glyph) const;
    QString ReadPostScriptName(const QRawFont& font) const;

    bool valid_ = false;
    QByteArray head_, hhea_, maxp_, hmtx_, loca_, glyf_, cvt_, fpgm_, prep_;
    int unitsPerEm_ = 1000;
    int glyphCount_ = 0;
    int longMetrics_ = 0; // hmtx entries with their own advance
    bool longOffsets_ = false;
    QRect box_;
    int ascent_ = 0, descent_ = 0;
    QString postScriptName_;
};

} // namespace telmo
