#pragma once

#include "platform/pdf/PdfWriter.h"
#include "platform/ui/Picture.h"

#include <QByteArray>
#include <QGlyphRun>
#include <optional>
#include <string>
#include <vector>

namespace telmo {

struct CachedFont;

// Plays pictures onto the pages of a PdfWriter as PDF operators, in the writer's twips
// space. Texts that their font draws glyph beside glyph become one string each, positioned
// by the font's own widths, as the painter playback places them; other texts are laid out
// (shaped, bidi, fallback fonts) and written cluster by cluster in reading order, each
// cluster's first glyph standing for its text, so search and copy give the text as written.
// Glyphs of a colour bitmap face are drawn as images, with their text unseen over them; a
// face with outlines but no font program to embed is written in Type 3 fonts.
class PdfPainter {
public:
    explicit PdfPainter(PdfWriter& writer) : writer_(writer) {}

    void Play(const Picture& picture);

private:
    void PlayOps(const Picture& picture);
    void Text(const Picture::TextOp& text);
    void LaidOutText(const CachedFont& cached, QPointF baseline, const QString& text);
    void GlyphImage(const QRawFont& face, quint32 glyph, QPointF position);
    void InvisibleText(const CachedFont& cached, const QString& text, QPointF position, double advance);
    void BeginText();
    void MoveTextTo(QPointF baseline);
    void EndText();
    void SelectFont(PdfFont& font, int variant, double size);
    void SelectFont(Type3Font& font, int part, double size);
    void SelectResource(const void* font, int variant, double size, const QByteArray& name);
    void Num(double value);
    void Op(const char* op) { out().append(op); }
    QByteArray& out() { return writer_.Content(); }
    PdfFont& FontOf(const CachedFont& cached);

    PdfWriter& writer_;
    bool inText_ = false;
    const void* textFont_ = nullptr; // a PdfFont or a Type3Font
    int textVariant_ = 0;
    double textSize_ = 0;
    std::optional<QPointF> lineStart_;                // of the text object's current line, once set
    std::vector<std::pair<quint64, PdfFont*>> fonts_; // by the cached font's serial
    std::vector<quint32> glyphs_;                     // of the text being written
    std::string glyphString_;                         // its string operand, gathered before it is written
};

} // namespace telmo
