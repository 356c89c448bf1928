#pragma once

#include "platform/pdf/FontProgram.h"
#include "platform/pdf/Type3Font.h"

#include <QByteArray>
#include <QRawFont>
#include <QString>
#include <memory>
#include <unordered_map>
#include <vector>

namespace telmo {

class PdfWriter;

// One face of a PDF document, written as a Type 0 font over a CID font (glyph numbers as
// character codes) when the document ends: a TrueType face as FontFile2, a CFF face as an
// OpenType FontFile3, each a subset of the glyphs the document drew, with a map back to the
// text they stand for, so the text can be searched and copied.
//
// A glyph stands for one text in a map: the first glyph of a shaped cluster for the whole
// cluster (a conjunct, a ligature, a letter with its marks), the others for nothing. Where a
// glyph stands for different texts in different places (a vowel sign before various
// consonants, a hyphen glyph that is also the soft hyphen's), the font has variants: more
// Type 0 fonts over the same CID font, each with its own map, so every glyph reads back as
// the text it was drawn for.
class PdfFont {
public:
    PdfFont(const QRawFont& face, QByteArray resourceName);

    const QRawFont& Face() const { return face_; }
    // False for a face whose outlines cannot be embedded (a colour bitmap face, a Type 1
    // face Qt gives no tables for); its glyphs are drawn as images or Type 3 glyphs.
    bool Embeddable() const { return program_.IsValid(); }
    // True for a face with bitmap glyphs only, such as colour emoji.
    bool BitmapOnly() const { return bitmapOnly_; }
    // For a face Qt draws from outlines that cannot be embedded: its glyphs as Type 3 fonts.
    // Null for any other face.
    Type3Font* Type3() { return type3_.get(); }
    const Type3Font* Type3() const { return type3_.get(); }
    // The resource name of a variant (0 is the font itself).
    QByteArray ResourceName(int variant = 0) const;

    // The glyph that draws a character beside its neighbours; 0 when the face has none.
    // Asked for every character of every cell, so the answer known goes without a call.
    quint32 GlyphOf(char16_t character) {
        return character < glyphOfCharacter_.size() && glyphOfCharacter_[character] != kUnknown
                   ? glyphOfCharacter_[character]
                   : LookUpGlyphOf(character);
    }
    // Marks a glyph as drawn standing for a character, or for a text (empty: for nothing);
    // returns the variant whose map says so. A glyph drawn again for its character is told inline.
    int Use(quint32 glyph, char32_t character) {
        return glyph < characterOfGlyph_.size() && characterOfGlyph_[glyph] == character && character != 0
                   ? 0
                   : UseFirst(glyph, character);
    }
    int Use(quint32 glyph, const QString& text);

    // The font's objects, from the Type 0 font (number first) on, and its variants' after
    // them; adds their entries to a resource dictionary. False on a write error.
    bool Write(PdfWriter& writer, int first, QByteArray& resources) const;
    static constexpr int kObjectCount = 5;

private:
    static constexpr quint32 kUnknown = 0xffffffffu; // a character not looked up yet
    quint32 LookUpGlyphOf(char16_t character);
    int UseFirst(quint32 glyph, char32_t character);
    void MarkUsed(quint32 glyph);
    std::vector<quint32> UsedInOrder() const;
    // Of the glyphs drawn, in order (a CJK face has some 65,000; a document draws a few).
    QByteArray Widths(const std::vector<quint32>& glyphs) const;
    QByteArray ToUnicodeMap(int variant, const std::vector<quint32>& glyphs) const;
    QByteArray SubsetName(const std::vector<quint32>& glyphs) const;

    QRawFont face_;
    FontProgram program_;
    bool bitmapOnly_ = false;
    std::unique_ptr<Type3Font> type3_;
    QByteArray resourceName_;
    std::vector<quint32> glyphOfCharacter_; // by UTF-16 code unit; kUnknown until looked up
    std::vector<bool> used_;                // by glyph
    std::vector<quint32> usedGlyphs_;       // the same, in the order first drawn
    // The font's own map: a character per glyph (0 none yet, kText: see textOfGlyph_).
    std::vector<char32_t> characterOfGlyph_;
    std::unordered_map<quint32, QString> textOfGlyph_;
    std::vector<std::unordered_map<quint32, QString>> variants_; // variant n at n - 1
};

} // namespace telmo
