#include "platform/ui/DrawingSurface.h"

#include "platform/RuntimeError.h"

#include <cmath>

namespace telmo {

void DrawingSurface::SetFontSize(float points) {
    if (!(points > 0.0f) || points > 2048.0f)
        throw RuntimeError(err::kInvalidPropertyValue);
    font_.sizePt = points;
}

void DrawingSurface::Print(const QString& text) {
    DrawText(QPointF(currentX_, currentY_), font_, text);
    const float lineHeight = TextHeight(text);
    currentX_ = ScaleLeft();
    currentY_ += lineHeight;
}

void DrawingSurface::Line(float x1, float y1, float x2, float y2) {
    DrawLine(QPointF(x1, y1), QPointF(x2, y2));
    currentX_ = x2;
    currentY_ = y2;
}

void DrawingSurface::Box(float x1, float y1, float x2, float y2) {
    DrawBox(QRectF(QPointF(x1, y1), QPointF(x2, y2)).normalized());
    currentX_ = x2;
    currentY_ = y2;
}

void DrawingSurface::PaintPicture(const PicturePtr& picture, float x, float y) {
    if (!picture)
        throw RuntimeError(err::kInvalidPropertyValue, QStringLiteral("Invalid picture"));
    const QRectF whole(0, 0, picture->Width(), picture->Height());
    DrawPicture(picture, QRectF(x, y, whole.width(), whole.height()), whole);
}

void DrawingSurface::PaintPicture(const PicturePtr& picture, float x, float y, float width, float height,
                                  float sourceX, float sourceY, float sourceWidth, float sourceHeight) {
    if (!picture)
        throw RuntimeError(err::kInvalidPropertyValue, QStringLiteral("Invalid picture"));
    DrawPicture(picture, QRectF(x, y, width, height), QRectF(sourceX, sourceY, sourceWidth, sourceHeight));
}

} // namespace telmo
