#pragma once

#include "platform/pdf/TrueTypeFont.h"

#include <QByteArray>
#include <QRawFont>
#include <vector>

namespace telmo {

class PdfWriter;

// One face of a PDF document, written as a Type 0 font over a TrueType CID font (glyph
// numbers as character codes) when the document ends, with a subset of the glyphs the
// document drew and a map back to the characters they stand for, so the text can be
// searched and copied.
class PdfFont {
public:
    PdfFont(const QRawFont& face, QByteArray resourceName);

    const QRawFont& Face() const { return face_; }
    // False for a face whose outlines cannot be embedded; its glyphs are drawn as shapes.
    bool Embeddable() const { return ttf_.IsValid(); }
    const QByteArray& ResourceName() const { return resourceName_; }

    // The glyph that draws a character beside its neighbours; 0 when the face has none.
    quint32 GlyphOf(char16_t character);
    // Marks a glyph as drawn, standing for the character given.
    void Use(quint32 glyph, char16_t character);
    // Marks a glyph that shaping chose as drawn. It stands for the character the face's own
    // character map gives it, if any: the letter, or a presentation form of it (Arabic joining
    // forms, lam-alef), as readers know them. Glyphs only shaping reaches stand for none.
    void UseShaped(quint32 glyph);

    // The font's objects, from the Type 0 font (number first) on; returns false on a write error.
    bool Write(PdfWriter& writer, int first) const;
    static constexpr int kObjectCount = 5;

private:
    QByteArray Widths() const;
    QByteArray ToUnicodeMap() const;
    QByteArray SubsetName() const;

    QRawFont face_;
    TrueTypeFont ttf_;
    QByteArray resourceName_;
    std::vector<quint32> glyphOfCharacter_; // by UTF-16 code unit; kUnknown until looked up
    std::vector<bool> used_;
    std::vector<char16_t> characterOfGlyph_;
    std::vector<char16_t> mappedCharacterOfGlyph_; // the character map reversed, made on first need
};

} // namespace telmo
