#pragma once

#include "platform/FontSpec.h"
#include "platform/ui/Picture.h"

#include <QString>

namespace telmo {

// A surface the report is drawn on: the printer, a picture box, or a recording surface in
// tests. Coordinates are twips from the top-left corner of the drawing area; font sizes are
// points. The print position and the current font are kept here; each binding supplies the
// size of its area, text metrics and four drawing primitives.
class DrawingSurface {
public:
    virtual ~DrawingSurface() = default;

    virtual float ScaleWidth() const = 0;
    virtual float ScaleHeight() const = 0;
    virtual float ScaleLeft() const { return 0.0f; }
    virtual float ScaleTop() const { return 0.0f; }

    float CurrentX() const { return currentX_; }
    float CurrentY() const { return currentY_; }
    virtual void SetCurrentX(float x) { currentX_ = x; }
    virtual void SetCurrentY(float y) { currentY_ = y; }

    const FontSpec& Font() const { return font_; }
    QString FontName() const { return font_.name; }
    float FontSize() const { return font_.sizePt; }
    bool FontBold() const { return font_.bold; }
    virtual void SetFontName(const QString& name) { font_.name = name; }
    virtual void SetFontSize(float points);
    virtual void SetFontBold(bool bold) { font_.bold = bold; }

    // Extent of a text in the current font. TextHeight is the line height, also for an empty text.
    virtual float TextWidth(const QString& text) = 0;
    virtual float TextHeight(const QString& text) = 0;

    // Draws text at the print position, then moves to the start of the next line
    // (CurrentX = ScaleLeft, CurrentY grows by the line height).
    virtual void Print(const QString& text);
    // A black line; the print position moves to its end.
    virtual void Line(float x1, float y1, float x2, float y2);
    // The black outline of the rectangle with these corners; the print position moves to (x2, y2).
    virtual void Box(float x1, float y1, float x2, float y2);
    // The picture at its own size with its top-left corner at (x, y).
    virtual void PaintPicture(const PicturePtr& picture, float x, float y);
    // The source rectangle of the picture scaled into the destination rectangle (source copy).
    virtual void PaintPicture(const PicturePtr& picture, float x, float y, float width, float height,
                              float sourceX, float sourceY, float sourceWidth, float sourceHeight);

protected:
    virtual void DrawText(QPointF topLeft, const FontSpec& font, const QString& text) = 0;
    virtual void DrawLine(QPointF from, QPointF to) = 0;
    virtual void DrawBox(const QRectF& rect) = 0;
    virtual void DrawPicture(const PicturePtr& picture, const QRectF& dest, const QRectF& source) = 0;

    void SetFontSpec(const FontSpec& font) { font_ = font; }

private:
    float currentX_ = 0.0f;
    float currentY_ = 0.0f;
    FontSpec font_;
};

} // namespace telmo
