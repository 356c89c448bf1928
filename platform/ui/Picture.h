#pragma once

#include "platform/FontSpec.h"

#include <QColor>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <memory>
#include <variant>
#include <vector>

class QPainter;

namespace telmo {

class Picture;
using PicturePtr = std::shared_ptr<const Picture>;

// A recorded paint sequence in twips. Pictures stay vector all the way to the device, so
// a page prints sharp at any resolution and a reduced preview scales without blur.
class Picture {
public:
    struct LineOp {
        QPointF from, to;
    };
    struct BoxOp { // outline of a rectangle
        QRectF rect;
    };
    struct FillOp {
        QRectF rect;
        QColor color;
    };
    struct TextOp { // text whose line box starts at topLeft
        QPointF topLeft;
        FontSpec font;
        QString text;
    };
    struct PictureOp { // source rectangle of a picture scaled into dest, clipped to dest
        PicturePtr picture;
        QRectF dest;
        QRectF source;
    };
    using Op = std::variant<LineOp, BoxOp, FillOp, TextOp, PictureOp>;

    Picture(double widthTwips, double heightTwips);

    double Width() const { return width_; }
    double Height() const { return height_; }
    const std::vector<Op>& Ops() const { return ops_; }

    void AddLine(QPointF from, QPointF to);
    void AddBox(const QRectF& rect);
    void AddFill(const QRectF& rect, const QColor& color);
    void AddText(QPointF topLeft, const FontSpec& font, const QString& text);
    void AddPicture(PicturePtr picture, const QRectF& dest, const QRectF& source);

    // Plays the sequence on a painter whose coordinates are already twips.
    void Play(QPainter& painter) const;

    // Plays the sequence into dest (device coordinates of the painter), scaled from the whole picture.
    void PlayInto(QPainter& painter, const QRectF& dest) const;

private:
    double width_;
    double height_;
    std::vector<Op> ops_;
};

} // namespace telmo
