#include "platform/pdf/PdfPainter.h"

#include "platform/pdf/PictureText.h"

#include <QFontDatabase>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <limits>
#include <type_traits>
#include <variant>

namespace telmo {
namespace {

// A byte of a literal string: its delimiters, its escape and a carriage return (which a
// reader would take for a line end) are escaped. Written at `at`, which has room for two;
// returns the end.
char* PutByte(char* at, char byte) {
    if (byte == '(' || byte == ')' || byte == '\\' || byte == '\r')
        *at++ = '\\';
    *at++ = byte == '\r' ? 'r' : byte;
    return at;
}

// A glyph number as the two bytes of a literal string.
char* PutGlyph(char* at, unsigned glyph) {
    return PutByte(PutByte(at, char((glyph >> 8) & 0xff)), char(glyph & 0xff));
}

void AppendByte(QByteArray& out, char byte) {
    char bytes[2];
    out.append(bytes, PutByte(bytes, byte) - bytes);
}

void AppendGlyph(QByteArray& out, unsigned glyph) {
    char bytes[4];
    out.append(bytes, PutGlyph(bytes, glyph) - bytes);
}

// The top edge of what a picture draws, twips.
double TopOf(const Picture& picture) {
    double top = std::numeric_limits<double>::max();
    for (const Picture::Op& op : picture.Ops())
        std::visit(
            [&top](const auto& o) {
                using T = std::decay_t<decltype(o)>;
                if constexpr (std::is_same_v<T, Picture::LineOp>)
                    top = std::min({top, o.from.y(), o.to.y()});
                else if constexpr (std::is_same_v<T, Picture::TextOp>)
                    top = std::min(top, o.topLeft.y());
                else if constexpr (std::is_same_v<T, Picture::PictureOp>)
                    top = std::min(top, o.dest.top());
                else
                    top = std::min(top, o.rect.top());
            },
            op);
    return top;
}

double Rounded(double value) {
    return std::llround(value * 1000.0) / 1000.0;
}

} // namespace

void PdfPainter::Num(double value) {
    AppendPdfNumber(out(), value);
}

PdfFont& PdfPainter::FontOf(const CachedFont& cached) {
    for (const auto& [from, font] : fonts_)
        if (from == cached.serial)
            return *font;
    PdfFont& font = writer_.FontFor(cached.raw);
    fonts_.emplace_back(cached.serial, &font);
    return font;
}

void PdfPainter::Play(const Picture& picture) {
    writer_.BeginBlock(TopOf(picture));
    PlayOps(picture);
    EndText();
}

void PdfPainter::BeginText() {
    if (!inText_) {
        Op("BT\n");
        inText_ = true;
        textFont_ = nullptr;
        lineStart_.reset();
    }
}

void PdfPainter::MoveTextTo(QPointF baseline) {
    // The first text of a text object sets the text matrix (glyphs upright in the page's y-down
    // space); later ones move from the one before, which is shorter.
    const QPointF at(Rounded(baseline.x()), Rounded(baseline.y()));
    if (!lineStart_) {
        Op("1 0 0 -1 "), Num(at.x()), Num(at.y()), Op("Tm ");
    } else {
        Num(at.x() - lineStart_->x()), Num(lineStart_->y() - at.y()), Op("Td ");
    }
    lineStart_ = at;
}

void PdfPainter::EndText() {
    if (inText_) {
        Op("ET\n");
        inText_ = false;
    }
}

void PdfPainter::SelectFont(PdfFont& font, int variant, double size) {
    if (textFont_ != &font || textVariant_ != variant || textSize_ != size)
        SelectResource(&font, variant, size, font.ResourceName(variant));
}

void PdfPainter::SelectFont(Type3Font& font, int part, double size) {
    if (textFont_ != &font || textVariant_ != part || textSize_ != size)
        SelectResource(&font, part, size, font.ResourceName(part));
}

void PdfPainter::SelectResource(const void* font, int variant, double size, const QByteArray& name) {
    out().append('/').append(name).append(' ');
    Num(size);
    Op("Tf\n");
    textFont_ = font;
    textVariant_ = variant;
    textSize_ = size;
}

void PdfPainter::PlayOps(const Picture& picture) {
    for (const Picture::Op& op : picture.Ops()) {
        if (const auto* text = std::get_if<Picture::TextOp>(&op)) {
            Text(*text);
            continue;
        }
        EndText();
        if (const auto* line = std::get_if<Picture::LineOp>(&op)) {
            Num(line->from.x()), Num(line->from.y()), Op("m "), Num(line->to.x()), Num(line->to.y()),
                Op("l S\n");
        } else if (const auto* box = std::get_if<Picture::BoxOp>(&op)) {
            Num(box->rect.x()), Num(box->rect.y()), Num(box->rect.width()), Num(box->rect.height()),
                Op("re S\n");
        } else if (const auto* fill = std::get_if<Picture::FillOp>(&op)) {
            Op("q "), Num(fill->color.redF()), Num(fill->color.greenF()), Num(fill->color.blueF()), Op("rg ");
            Num(fill->rect.x()), Num(fill->rect.y()), Num(fill->rect.width()), Num(fill->rect.height());
            Op("re f Q\n");
        } else if (const auto* nested = std::get_if<Picture::PictureOp>(&op)) {
            const QRectF& source = nested->source;
            const QRectF& dest = nested->dest;
            if (source.width() == 0 || source.height() == 0)
                continue;
            // Clipped to the destination, the source rectangle scaled onto it.
            const double sx = dest.width() / source.width(), sy = dest.height() / source.height();
            Op("q "), Num(dest.x()), Num(dest.y()), Num(dest.width()), Num(dest.height()), Op("re W n ");
            Num(sx), Op("0 0 "), Num(sy), Num(dest.x() - sx * source.x()), Num(dest.y() - sy * source.y());
            Op("cm\n");
            PlayOps(*nested->picture);
            EndText();
            Op("Q\n");
        }
    }
}

void PdfPainter::Text(const Picture::TextOp& text) {
    const CachedFont& cached = FontFor(text.font);
    const QPointF baseline(text.topLeft.x(), text.topLeft.y() + cached.ascent);
    PdfFont& font = FontOf(cached);
    // Looked up before anything is written: one character the face lacks, or that needs a
    // layout, sends the whole text through the layout.
    glyphs_.clear();
    bool sideBySide = font.Embeddable() && PlacesGlyphBesideGlyph(text.text);
    for (qsizetype i = 0; sideBySide && i < text.text.size(); ++i) {
        const quint32 glyph = font.GlyphOf(text.text[i].unicode());
        glyphs_.push_back(glyph);
        sideBySide = glyph != 0;
    }
    if (!sideBySide) {
        LaidOutText(cached, baseline, text.text);
        return;
    }
    BeginText();
    const double size = cached.raw.pixelSize();
    SelectFont(font, 0, size);
    MoveTextTo(baseline);
    // The string is put together apart and appended whole: appended to the content a byte at
    // a time, the glyphs of a plain grid's page took a tenth of the time it took to write.
    static constexpr char kEnd[] = ") Tj\n";
    std::string& string = glyphString_;
    string.resize(size_t(text.text.size()) * 4 + sizeof kEnd + 1);
    char* const start = string.data();
    char* at = start;
    *at++ = '(';
    for (qsizetype i = 0; i < text.text.size(); ++i) {
        // A glyph that stands for another character already continues in a variant of the
        // font, from where the string before it ended.
        const int variant = font.Use(glyphs_[i], text.text[i].unicode());
        if (variant != textVariant_) {
            out().append(start, at - start).append(kEnd);
            SelectFont(font, variant, size);
            at = start;
            *at++ = '(';
        }
        at = PutGlyph(at, glyphs_[i]);
    }
    out().append(start, at - start).append(kEnd);
}

void PdfPainter::LaidOutText(const CachedFont& cached, QPointF baseline, const QString& text) {
    for (const LaidOutRun& run : LaidOutClusters(cached, text, baseline)) {
        PdfFont& font = writer_.FontFor(run.font);
        // The face Qt falls back to when no font has the script (drawing empty boxes) gives no
        // size; it was laid out at the text's.
        const double size = run.font.pixelSize() > 0 ? run.font.pixelSize() : cached.raw.pixelSize();
        if (Type3Font* outlines = font.Type3()) {
            BeginText();
            for (const LaidOutGlyph& glyph : run.glyphs) {
                const Type3Font::Code code = outlines->Use(glyph.glyph, glyph.text);
                SelectFont(*outlines, code.font, size);
                MoveTextTo(glyph.position);
                Op("(");
                AppendByte(out(), char(code.code));
                Op(") Tj\n");
            }
            continue;
        }
        if (!font.Embeddable()) {
            EndText();
            for (const LaidOutGlyph& glyph : run.glyphs) {
                if (!font.BitmapOnly())
                    continue; // a face Qt could not load draws nothing
                GlyphImage(run.font, glyph.glyph, glyph.position);
                if (!glyph.text.isEmpty())
                    InvisibleText(cached, glyph.text, glyph.position,
                                  run.font.advancesForGlyphIndexes({glyph.glyph}).value(0).x());
            }
            continue;
        }
        BeginText();
        int spanLeft = 0; // glyphs left in an actual text span
        for (size_t g = 0; g < run.glyphs.size(); ++g) {
            const LaidOutGlyph& glyph = run.glyphs[g];
            SelectFont(font, font.Use(glyph.glyph, glyph.text), size);
            MoveTextTo(glyph.position);
            if (glyph.span > 1 && spanLeft == 0) {
                QString actual;
                for (size_t k = g; k < g + size_t(glyph.span) && k < run.glyphs.size(); ++k)
                    actual += run.glyphs[k].text;
                Op("/Span << /ActualText ");
                AppendPdfTextString(out(), actual);
                Op(" >> BDC ");
                spanLeft = glyph.span;
            }
            // Readers that go by position put a right-to-left glyph's characters in the
            // order they found them reversed, so one glyph of several such characters (a
            // lam-alef) is read from its actual text, given in that reversed order. Readers
            // that go by the content's order read its map, which has them as written.
            const bool reversed =
                glyph.text.size() > 1 && glyph.text[0].direction() != QChar::DirL &&
                (glyph.text[0].direction() == QChar::DirR || glyph.text[0].direction() == QChar::DirAL);
            if (reversed) {
                QString actual = glyph.text;
                std::reverse(actual.begin(), actual.end());
                Op("/Span << /ActualText ");
                AppendPdfTextString(out(), actual);
                Op(" >> BDC ");
            }
            // A span reaches to the glyph after it, which the layout may place beyond its last
            // glyph's own width (a subscript advances where the face gives it none), so that
            // readers that go by position find no gap in the cluster's text.
            double spacing = 0;
            if (spanLeft == 1 && g + 1 < run.glyphs.size())
                spacing =
                    run.glyphs[g + 1].position.x() - glyph.position.x() -
                    run.font.advancesForGlyphIndexes({glyph.glyph}, QRawFont::UseDesignMetrics).value(0).x();
            if (spacing > 0.5)
                Num(spacing), Op("Tc ");
            Op("(");
            AppendGlyph(out(), glyph.glyph);
            Op(") Tj\n");
            if (spacing > 0.5)
                Op("0 Tc\n");
            if (reversed)
                Op("EMC\n");
            if (spanLeft > 0 && --spanLeft == 0)
                Op("EMC\n");
        }
        if (spanLeft > 0)
            Op("EMC\n");
    }
}

void PdfPainter::InvisibleText(const CachedFont& cached, const QString& text, QPointF position,
                               double advance) {
    // What an image or a shape draws reads back from an unseen glyph at its place, as a
    // scanned page's recognised text does.
    PdfFont* font = &FontOf(cached);
    if (!font->Embeddable()) {
        // The cell's own face has no outlines to embed (it is the colour face itself, say).
        thread_local const QRawFont fallback =
            QRawFont::fromFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
        font = &writer_.FontFor(fallback);
        if (!font->Embeddable())
            return;
    }
    // The face's own glyph for a character it has, else glyph 0, stretched to the drawn
    // glyph's width, so readers find no gap and no overlap; a glyph that stands for its own
    // character needs no variant of the font. (A space's own glyph, stretched, ends the line
    // for MuPDF.)
    const quint32 glyph = text.size() == 1 && !text[0].isSpace() ? font->GlyphOf(text[0].unicode()) : 0;
    const double size = cached.raw.pixelSize();
    const QRawFont& face = font->Face();
    const double width = face.advancesForGlyphIndexes({glyph}).value(0).x() * size / face.pixelSize();
    BeginText();
    SelectFont(*font, font->Use(glyph, text), size);
    MoveTextTo(position);
    if (width > 0)
        Num(100 * advance / width), Op("Tz ");
    Op("3 Tr (");
    AppendGlyph(out(), glyph);
    Op(") Tj 0 Tr 100 Tz\n");
    EndText();
}

void PdfPainter::GlyphImage(const QRawFont& face, quint32 glyph, QPointF position) {
    // Drawn once per glyph at a size fine enough for print, then scaled to each use.
    constexpr double kImageEm = 96;
    QRawFont large(face);
    large.setPixelSize(kImageEm);
    QRectF box = large.boundingRect(glyph);
    if (box.isEmpty()) {
        const double advance = large.advancesForGlyphIndexes({glyph}).value(0).x();
        box = QRectF(0, -large.ascent(), advance, large.ascent() + large.descent());
    }
    if (box.isEmpty())
        return;
    const QSize pixels = box.size().toSize().expandedTo(QSize(1, 1));
    const QByteArray name = writer_.ImageFor(QString::fromLatin1(writer_.FontFor(face).ResourceName()) +
                                                 QLatin1Char('/') + QString::number(glyph),
                                             [&] {
                                                 QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
                                                 image.fill(Qt::transparent);
                                                 QPainter painter(&image);
                                                 QGlyphRun run;
                                                 run.setRawFont(large);
                                                 run.setGlyphIndexes({glyph});
                                                 run.setPositions({-box.topLeft()});
                                                 painter.drawGlyphRun(QPointF(0, 0), run);
                                                 return image;
                                             });
    if (name.isEmpty())
        return;
    const double scale = face.pixelSize() / kImageEm;
    const double width = pixels.width() * scale, height = pixels.height() * scale;
    const QPointF topLeft = position + box.topLeft() * scale;
    // The image's first row at the top: the page's y runs down.
    Op("q "), Num(width), Op("0 0 "), Num(-height), Num(topLeft.x()), Num(topLeft.y() + height);
    Op("cm /"), out().append(name), Op(" Do Q\n");
}

} // namespace telmo
