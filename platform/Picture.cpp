#include "platform/Picture.h"

#include <QFontMetricsF>
#include <QPainter>
#include <unordered_map>

namespace telmo {
namespace {

// Fonts and their ascents are looked up per text op; the few fonts of a report are cached.
struct CachedFont {
    QFont font;
    qreal ascent;
};

const CachedFont& FontFor(const FontSpec& spec) {
    thread_local std::vector<std::pair<FontSpec, CachedFont>> cache;
    for (const auto& entry : cache)
        if (entry.first == spec)
            return entry.second;
    QFont font = ToTwipsFont(spec);
    cache.emplace_back(spec, CachedFont{font, QFontMetricsF(font).ascent()});
    return cache.back().second;
}

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
    for (const Op& op : ops_) {
        if (const auto* text = std::get_if<TextOp>(&op)) {
            const CachedFont& cached = FontFor(text->font);
            if (currentFont == nullptr || !(*currentFont == text->font)) {
                painter.setFont(cached.font);
                currentFont = &text->font;
            }
            painter.drawText(QPointF(text->topLeft.x(), text->topLeft.y() + cached.ascent), text->text);
        } else if (const auto* line = std::get_if<LineOp>(&op)) {
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
