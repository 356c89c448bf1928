#pragma once

#include <QByteArray>
#include <QRawFont>
#include <QRectF>
#include <QString>
#include <map>
#include <utility>
#include <vector>

namespace telmo {

class PdfWriter;

// A face Qt draws but whose font program a PDF cannot take (a Type 1 face Qt loads from a
// .t1 or .pfb file gives no tables to embed), written as Type 3 fonts: each glyph drawn is
// its outline, written once in a 1000-unit glyph space, and each code stands for one glyph
// with one text, so the text reads back through the font's character map. Codes are single
// bytes, so every 255 codes (a glyph with a text) begin another font over the same face.
class Type3Font {
public:
    Type3Font(const QRawFont& face, QByteArray resourceName);

    // Where a glyph drawn standing for a text (empty: for nothing) is found: which of the
    // fonts, and its code there.
    struct Code {
        int font;
        unsigned char code;
    };
    Code Use(quint32 glyph, const QString& text);
    QByteArray ResourceName(int font) const;

    // Writes the fonts and the glyphs they draw, adding their entries to a resource
    // dictionary. False on a write error.
    bool Write(PdfWriter& writer, QByteArray& resources) const;

private:
    struct Glyph {
        QByteArray procedure; // its outline as content operators, in glyph space
        int width;            // its advance in glyph space
        QRectF box;           // y up
    };
    const Glyph& GlyphData(quint32 glyph);

    QRawFont face_; // at 1000 pixels per em: the glyph space
    QByteArray resourceName_;
    std::map<quint32, Glyph> glyphs_;
    std::map<std::pair<quint32, QString>, Code> codes_;
    std::vector<std::vector<std::pair<quint32, QString>>> fonts_; // by font, by code - 1
};

} // namespace telmo
