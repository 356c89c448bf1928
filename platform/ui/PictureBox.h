#pragma once

#include "platform/AutomationObject.h"
#include "platform/ui/DrawingSurface.h"

#include <QColor>
#include <QWidget>

namespace telmo {

// A picture box: a widget that is also a drawing surface. It keeps a persistent Picture;
// with AutoRedraw on, everything drawn on it stays in its Image (the picture plus what was
// drawn since) until the picture is replaced. Sizes are twips (15 twips a pixel at 96 DPI).
class PictureBox : public QWidget, public DrawingSurface, public AutomationObject {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);

    // The border takes 15 twips on each side of the outer size.
    void SetBorder(bool border);
    bool HasBorder() const { return border_; }
    // With AutoSize on, assigning a picture makes the box exactly as large as the picture.
    void SetAutoSize(bool autoSize) { autoSize_ = autoSize; }
    bool AutoSize() const { return autoSize_; }
    void SetAutoRedraw(bool autoRedraw) { autoRedraw_ = autoRedraw; }
    bool AutoRedraw() const { return autoRedraw_; }
    void SetBackColor(const QColor& color);
    QColor BackColor() const { return backColor_; }

    // Outer placement and size in twips, within the parent.
    float Left() const { return left_; }
    float Top() const { return top_; }
    float Width() const { return width_; }
    float Height() const { return height_; }
    void SetLeft(float left);
    void SetTop(float top);
    void SetWidth(float width);
    void SetHeight(float height);
    void Move(float left, float top, float width, float height);

    // The persistent picture; nullptr clears it (and everything drawn since).
    PicturePtr Picture() const { return picture_; }
    void SetPicture(PicturePtr picture);
    // The background, the picture and everything drawn since, as one picture of the inner size.
    PicturePtr Image() const;

    float ScaleWidth() const override;
    float ScaleHeight() const override;
    float TextWidth(const QString& text) override;
    float TextHeight(const QString& text) override;

    // Mouse buttons as MouseDown reports them.
    enum MouseButtonCode : int16_t { kLeftButton = 1, kRightButton = 2, kMiddleButton = 4 };

signals:
    // A mouse button went down over the box: the button code, the Shift/Ctrl/Alt state
    // (1, 2, 4 added) and the position in twips.
    void MouseDown(int16_t button, int16_t shift, float x, float y);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void DrawText(QPointF topLeft, const FontSpec& font, const QString& text) override;
    void DrawLine(QPointF from, QPointF to) override;
    void DrawBox(const QRectF& rect) override;
    void DrawPicture(const PicturePtr& picture, const QRectF& dest, const QRectF& source) override;
    void paintEvent(QPaintEvent* event) override;

private:
    float BorderTwips() const { return border_ ? 15.0f : 0.0f; }
    void ApplyGeometry();
    class telmo::Picture& Drawing();

    bool border_ = true;
    bool autoSize_ = false;
    bool autoRedraw_ = true;
    QColor backColor_ = Qt::white;
    float left_ = 0, top_ = 0, width_ = 1500, height_ = 1500;
    PicturePtr picture_;
    std::shared_ptr<class telmo::Picture> drawnSince_;
};

} // namespace telmo
