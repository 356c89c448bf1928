#include "platform/ui/PictureBox.h"

#include "platform/Twips.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <utility>
#include <vector>

namespace telmo {
namespace {

// Text is measured far more often than fonts change; building metrics resolves the font.
const QFontMetricsF& MetricsFor(const FontSpec& spec) {
    thread_local std::vector<std::pair<FontSpec, QFontMetricsF>> cache;
    for (const auto& entry : cache)
        if (entry.first == spec)
            return entry.second;
    if (cache.size() >= 32)
        cache.erase(cache.begin());
    cache.emplace_back(spec, QFontMetricsF(ToTwipsFont(spec)));
    return cache.back().second;
}

} // namespace

// AutoRedraw off keeps recording the drawing as well: the box then repaints what was drawn
// instead of losing it, and its Image still holds it. Nothing of the report depends on losing it.
PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {
    // paintEvent covers every pixel, so Qt need not erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    ApplyGeometry();
}

void PictureBox::SetBorder(bool border) {
    if (border_ == border)
        return;
    border_ = border;
    if (autoSize_ && picture_) {
        // The inner size stays that of the picture.
        width_ = static_cast<float>(picture_->Width()) + 2 * BorderTwips();
        height_ = static_cast<float>(picture_->Height()) + 2 * BorderTwips();
        ApplyGeometry();
    }
    update();
}

void PictureBox::SetBackColor(const QColor& color) {
    backColor_ = color;
    update();
}

// A computed size can go below zero in a tiny window; the box then is empty rather than failing.
void PictureBox::SetLeft(float left) {
    left_ = left;
    ApplyGeometry();
}

void PictureBox::SetTop(float top) {
    top_ = top;
    ApplyGeometry();
}

void PictureBox::SetWidth(float width) {
    width_ = std::max(0.0f, width);
    ApplyGeometry();
}

void PictureBox::SetHeight(float height) {
    height_ = std::max(0.0f, height);
    ApplyGeometry();
}

void PictureBox::Move(float left, float top, float width, float height) {
    left_ = left;
    top_ = top;
    width_ = std::max(0.0f, width);
    height_ = std::max(0.0f, height);
    ApplyGeometry();
}

void PictureBox::ApplyGeometry() {
    PlaceInTwips(*this, left_, top_, width_, height_);
}

float PictureBox::ScaleWidth() const {
    return std::max(0.0f, width_ - 2 * BorderTwips());
}

float PictureBox::ScaleHeight() const {
    return std::max(0.0f, height_ - 2 * BorderTwips());
}

void PictureBox::SetPicture(PicturePtr picture) {
    picture_ = std::move(picture);
    drawnSince_.reset();
    if (picture_ && autoSize_) {
        width_ = static_cast<float>(picture_->Width()) + 2 * BorderTwips();
        height_ = static_cast<float>(picture_->Height()) + 2 * BorderTwips();
        ApplyGeometry();
    }
    update();
}

PicturePtr PictureBox::Image() const {
    const QRectF inner(0, 0, ScaleWidth(), ScaleHeight());
    auto image = std::make_shared<telmo::Picture>(inner.width(), inner.height());
    image->AddFill(inner, backColor_);
    if (picture_) {
        const QRectF whole(0, 0, picture_->Width(), picture_->Height());
        image->AddPicture(picture_, whole, whole);
    }
    // Shared, not copied: Drawing() copies the sequence before the next drawing changes it.
    if (drawnSince_ && !drawnSince_->Ops().empty())
        image->AddPicture(drawnSince_, inner, inner);
    return image;
}

telmo::Picture& PictureBox::Drawing() {
    if (!drawnSince_)
        drawnSince_ = std::make_shared<telmo::Picture>(ScaleWidth(), ScaleHeight());
    else if (drawnSince_.use_count() > 1)
        drawnSince_ = std::make_shared<telmo::Picture>(*drawnSince_); // an Image() still shows the old one
    return *drawnSince_;
}

float PictureBox::TextWidth(const QString& text) {
    return static_cast<float>(MetricsFor(Font()).horizontalAdvance(text));
}

float PictureBox::TextHeight(const QString&) {
    return static_cast<float>(MetricsFor(Font()).height());
}

void PictureBox::DrawText(QPointF topLeft, const FontSpec& font, const QString& text) {
    Drawing().AddText(topLeft, font, text);
    update();
}

void PictureBox::DrawLine(QPointF from, QPointF to) {
    Drawing().AddLine(from, to);
    update();
}

void PictureBox::DrawBox(const QRectF& rect) {
    Drawing().AddBox(rect);
    update();
}

void PictureBox::DrawPicture(const PicturePtr& picture, const QRectF& dest, const QRectF& source) {
    Drawing().AddPicture(picture, dest, source);
    update();
}

void PictureBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect outer = rect();
    painter.fillRect(outer, backColor_);
    const int borderPx = border_ ? TwipsToPixels(BorderTwips()) : 0;
    if (border_ && outer.width() > 0 && outer.height() > 0) {
        // Sunken: shadow on the top and left edges, a lighter edge at the bottom and right.
        const int right = outer.right(), bottom = outer.bottom();
        painter.setPen(QColor(64, 64, 64));
        painter.drawLine(0, 0, right, 0);
        painter.drawLine(0, 0, 0, bottom);
        painter.setPen(QColor(128, 128, 128));
        painter.drawLine(1, bottom, right, bottom);
        painter.drawLine(right, 1, right, bottom);
    }
    const QRect inner = outer.adjusted(borderPx, borderPx, -borderPx, -borderPx);
    if (inner.isEmpty())
        return;
    painter.setClipRect(inner, Qt::IntersectClip);
    painter.translate(inner.topLeft());
    const double pixelsPerTwip = 1.0 / ScreenTwipsPerPixel();
    painter.scale(pixelsPerTwip, pixelsPerTwip);
    if (picture_) {
        painter.save();
        painter.setClipRect(QRectF(0, 0, picture_->Width(), picture_->Height()), Qt::IntersectClip);
        picture_->Play(painter);
        painter.restore();
    }
    if (drawnSince_)
        drawnSince_->Play(painter);
}

void PictureBox::mousePressEvent(QMouseEvent* event) {
    int16_t button = 0;
    switch (event->button()) {
    case Qt::LeftButton:
        button = kLeftButton;
        break;
    case Qt::RightButton:
        button = kRightButton;
        break;
    case Qt::MiddleButton:
        button = kMiddleButton;
        break;
    default:
        break;
    }
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    const int16_t shift = static_cast<int16_t>((modifiers & Qt::ShiftModifier ? 1 : 0) +
                                               (modifiers & Qt::ControlModifier ? 2 : 0) +
                                               (modifiers & Qt::AltModifier ? 4 : 0));
    const QPointF at = event->position();
    emit MouseDown(button, shift, static_cast<float>(at.x()) * ScreenTwipsPerPixel(),
                   static_cast<float>(at.y()) * ScreenTwipsPerPixel());
    // Handled here: passed on, a press on a picture box inside another would reach the outer
    // box as well and be acted on twice.
    event->accept();
}

} // namespace telmo
