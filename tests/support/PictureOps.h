#pragma once

#include "platform/ui/Picture.h"

#include <vector>

namespace telmo::test {

// The texts and nested pictures of a picture, in the coordinates of the outermost picture
// (nested pictures mapped through their source and destination rectangles).
struct PlacedText {
    QPointF at;
    QString text;
    FontSpec font;
};
struct PlacedPicture {
    QRectF rect;
    const Picture* picture = nullptr;
};
struct PlacedOps {
    std::vector<PlacedText> texts;
    std::vector<PlacedPicture> pictures;
    std::vector<std::pair<QPointF, QPointF>> lines;

    const PlacedText* FindText(const QString& text) const;
};

PlacedOps Flatten(const Picture& picture);

} // namespace telmo::test
