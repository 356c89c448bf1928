#pragma once

#include "platform/pdf/FaceTables.h"

#include <QByteArray>
#include <QRawFont>
#include <QRect>
#include <QString>
#include <memory>
#include <utility>
#include <vector>

namespace telmo {

// The outlines of a face as a PDF embeds them, read from the face's own tables through
// HarfBuzz: metrics in font units, and a subset that holds only the glyphs a document drew
// (with the parts of composite glyphs) under their own numbers, so text written in the
// face's glyph numbers needs no table to map it. TrueType and CFF outlines alike.
// A subset font file, and where the glyphs drawn went in it. The subsetter packs the glyphs
// it keeps into the first numbers (a CJK face's subset would otherwise hold 65,535 empty
// metrics and outlines), while the pages were written in the face's own numbers: a
// TrueType font gets a /CIDToGIDMap from them; a CID-keyed CFF face goes in as a bare CFF
// table, whose charset keeps each glyph's CID, and is drawn by CID. A name-keyed CFF face
// keeps its numbers, as a PDF reads its codes as glyph numbers there.
struct FontSubset {
    QByteArray program;
    // (face's glyph, the number a reader draws it by in the subset), sorted.
    std::vector<std::pair<quint32, quint32>> numbers;

    quint32 GlyphOf(quint32 faceGlyph) const; // 0 for a glyph not kept
    // Two bytes big-endian for each of the face's glyph numbers up to the last one drawn.
    QByteArray CidToGidMap() const;
};

class FontProgram {
public:
    enum class Outlines { None, TrueType, Cff };

    explicit FontProgram(const QRawFont& font);

    // None for a face a PDF cannot embed as outlines: bitmap-only (colour emoji), variable
    // CFF2, or tables that do not add up.
    Outlines Kind() const { return kind_; }
    bool IsValid() const { return kind_ != Outlines::None; }
    // True for a CID-keyed CFF face, whose subset is a bare CFF table.
    bool IsCidKeyed() const { return cidKeyed_; }
    // True when the face has bitmap glyphs (colour emoji and the like).
    bool HasBitmaps() const { return tables_->HasBitmaps(); }
    int UnitsPerEm() const { return unitsPerEm_; }
    int GlyphCount() const { return glyphCount_; }
    int Advance(quint32 glyph) const;          // font units
    QRect BoundingBox() const { return box_; } // y up, font units
    int Ascent() const { return ascent_; }
    int Descent() const { return descent_; } // negative below the baseline
    QString PostScriptName() const { return postScriptName_; }

    // A font file holding the glyphs given (sorted) and the parts of composite glyphs among
    // them; glyph 0 is always kept, as renderers draw it for gaps. An OpenType file: glyf
    // outlines for TrueType, a CFF table for CFF. Its program is empty on failure.
    FontSubset Subset(const std::vector<quint32>& glyphs) const;

private:
    std::shared_ptr<const FaceTables> tables_;
    Outlines kind_ = Outlines::None;
    int unitsPerEm_ = 1000;
    int glyphCount_ = 0;
    QRect box_;
    int ascent_ = 0, descent_ = 0;
    QString postScriptName_;
    bool cidKeyed_ = false;
};

} // namespace telmo
