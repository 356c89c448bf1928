#include "platform/pdf/PdfPainter.h"

#include "platform/pdf/PictureText.h"

#include <QPainterPath>
#include <cmath>

namespace telmo {
namespace {

// A glyph number as two bytes of a literal string; the string's delimiters, its escape and a
// carriage return (which a reader would take for a line end) are escaped.
void AppendGlyph(QByteArray& out, unsigned glyph) {
    for (const char byte : {char((glyph >> 8) & 0xff), char(glyph & 0xff)}) {
        if (byte == '(' || byte == ')' || byte == '\\')
            out.append('\\').append(byte);
        else if (byte == '\r')
            out.append("\\r", 2);
        else
            out.append(byte);
    }
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
        if (from == &cached)
            return *font;
    PdfFont& font = writer_.FontFor(cached.raw);
    fonts_.emplace_back(&cached, &font);
    return font;
}

void PdfPainter::Play(const Picture& picture) {
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

void PdfPainter::SelectFont(PdfFont& font, double size) {
    if (textFont_ == &font && textSize_ == size)
        return;
    out().append('/').append(font.ResourceName()).append(' ');
    Num(size);
    Op("Tf\n");
    textFont_ = &font;
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
    SelectFont(font, cached.raw.pixelSize());
    MoveTextTo(baseline);
    QByteArray& content = out();
    content.append('(');
    for (qsizetype i = 0; i < text.text.size(); ++i) {
        font.Use(glyphs_[i], text.text[i].unicode());
        AppendGlyph(content, glyphs_[i]);
    }
    content.append(") Tj\n");
}

void PdfPainter::LaidOutText(const CachedFont& cached, QPointF baseline, const QString& text) {
    for (const QGlyphRun& run : LaidOutGlyphRuns(cached, text, baseline)) {
        PdfFont& font = writer_.FontFor(run.rawFont());
        const QList<quint32> glyphs = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        if (!font.Embeddable()) {
            EndText();
            for (qsizetype i = 0; i < glyphs.size(); ++i)
                GlyphShape(run.rawFont(), glyphs[i], positions[i]);
            continue;
        }
        BeginText();
        SelectFont(font, run.rawFont().pixelSize());
        for (qsizetype i = 0; i < glyphs.size(); ++i) {
            font.UseShaped(glyphs[i]);
            MoveTextTo(positions[i]);
            Op("(");
            AppendGlyph(out(), glyphs[i]);
            Op(") Tj\n");
        }
    }
}

void PdfPainter::GlyphShape(const QRawFont& face, quint32 glyph, QPointF position) {
    // A face whose outlines cannot be embedded (not TrueType) is drawn as filled outlines.
    const QPainterPath path = face.pathForGlyph(glyph).translated(position);
    if (path.isEmpty())
        return;
    for (int e = 0; e < path.elementCount(); ++e) {
        const QPainterPath::Element el = path.elementAt(e);
        Num(el.x), Num(el.y);
        if (el.isMoveTo())
            Op("m ");
        else if (el.isLineTo())
            Op("l ");
        else if (el.type == QPainterPath::CurveToDataElement && e >= 2 &&
                 path.elementAt(e - 2).type == QPainterPath::CurveToElement)
            Op("c ");
    }
    Op(path.fillRule() == Qt::OddEvenFill ? "f*\n" : "f\n");
}

} // namespace telmo
