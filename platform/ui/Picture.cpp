#include "platform/ui/Picture.h"

#include "platform/pdf/PictureText.h"

#include <QGlyphRun>
#include <QPainter>
#include <QRawFont>

namespace telmo {
namespace {

// Consecutive texts in one font drawn as a single glyph run. A page holds hundreds of short
// cell texts; drawn one by one, each pays for its own text layout and, on a PDF printer, for
// its own text object with transform, colour and font. Glyphs are placed by their advances,
// which are the widths the cells were measured with (the fonts do no shaping).
class GlyphBatch {
public:
    // False when the text needs a text layout or more than its font's own glyphs (a
    // fallback font, say).
    bool Add(const CachedFont& font, QPointF baseline, const QString& text) {
        QList<quint32> glyphs;
        if (!SideBySideGlyphs(font, text, glyphs))
            return false;
        font_ = &font; // the caller flushes before a change of font
        const QList<QPointF> advances = font.raw.advancesForGlyphIndexes(glyphs);
        qreal x = baseline.x();
        for (qsizetype i = 0; i < glyphs.size(); ++i) {
            glyphs_.append(glyphs[i]);
            positions_.append(QPointF(x, baseline.y()));
            x += advances[i].x();
        }
        return true;
    }
    const CachedFont* Font() const { return font_; }
    void Flush(QPainter& painter) {
        if (!glyphs_.isEmpty()) {
            QGlyphRun run;
            run.setRawFont(font_->raw);
            run.setGlyphIndexes(glyphs_);
            run.setPositions(positions_);
            painter.drawGlyphRun(QPointF(0, 0), run);
            glyphs_.clear();
            positions_.clear();
        }
        font_ = nullptr;
    }

private:
    const CachedFont* font_ = nullptr;
    QList<quint32> glyphs_;
    QList<QPointF> positions_;
};

} // namespace

Picture::Picture(double widthTwips, double heightTwips) : width_(widthTwips), height_(heightTwips) {}

void Picture::AddLine(QPointF from, QPointF to) {
    ops_.emplace_back(LineOp{from, to});
}

void Picture::AddBox(const QRectF& rect) {
    ops_.emplace_back(BoxOp{rect});
}

void Picture::AddFill(const QRectF& rect, const QColor& color) {
    ops_.emplace_back(FillOp{rect, color});
}

void Picture::AddText(QPointF topLeft, const FontSpec& font, const QString& text) {
    if (!text.isEmpty())
        ops_.emplace_back(TextOp{topLeft, font, text});
}

void Picture::AddPicture(PicturePtr picture, const QRectF& dest, const QRectF& source) {
    if (picture)
        ops_.emplace_back(PictureOp{std::move(picture), dest, source});
}

void Picture::Play(QPainter& painter) const {
    // One cosmetic pen for every line: the width stays one device pixel at any scale.
    QPen pen(Qt::black, 0);
    pen.setCosmetic(true);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const FontSpec* currentFont = nullptr;
    GlyphBatch batch;
    for (const Op& op : ops_) {
        if (const auto* text = std::get_if<TextOp>(&op)) {
            const CachedFont& cached = FontFor(text->font);
            if (batch.Font() != &cached)
                batch.Flush(painter);
            const QPointF baseline(text->topLeft.x(), text->topLeft.y() + cached.ascent);
            if (batch.Add(cached, baseline, text->text))
                continue;
            batch.Flush(painter);
            const QFont& font = FontForScriptOf(cached, text->text);
            if (&font != &cached.font) {
                painter.setFont(font);
                currentFont = nullptr;
            } else if (currentFont == nullptr || !(*currentFont == text->font)) {
                painter.setFont(cached.font);
                currentFont = &text->font;
            }
            painter.drawText(baseline, WithoutSoftHyphens(text->text));
            continue;
        }
        batch.Flush(painter);
        if (const auto* line = std::get_if<LineOp>(&op)) {
            painter.drawLine(line->from, line->to);
        } else if (const auto* box = std::get_if<BoxOp>(&op)) {
            painter.drawRect(box->rect);
        } else if (const auto* fill = std::get_if<FillOp>(&op)) {
            painter.fillRect(fill->rect, fill->color);
        } else if (const auto* nested = std::get_if<PictureOp>(&op)) {
            if (nested->source.width() == 0 || nested->source.height() == 0)
                continue;
            painter.save();
            painter.setClipRect(nested->dest, Qt::IntersectClip);
            painter.translate(nested->dest.topLeft());
            painter.scale(nested->dest.width() / nested->source.width(),
                          nested->dest.height() / nested->source.height());
            painter.translate(-nested->source.topLeft());
            nested->picture->Play(painter);
            painter.restore();
            painter.setPen(pen);
            painter.setBrush(Qt::NoBrush);
            currentFont = nullptr;
        }
    }
    batch.Flush(painter);
}

void Picture::PlayInto(QPainter& painter, const QRectF& dest) const {
    if (width_ <= 0 || height_ <= 0)
        return;
    painter.save();
    painter.setClipRect(dest, Qt::IntersectClip);
    painter.translate(dest.topLeft());
    painter.scale(dest.width() / width_, dest.height() / height_);
    Play(painter);
    painter.restore();
}

} // namespace telmo
