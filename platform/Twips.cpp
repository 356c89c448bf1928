#include "platform/Twips.h"

#include <QWidget>
#include <algorithm>
#include <cmath>

namespace telmo {

int TwipsToPixels(float twips) {
    return static_cast<int>(std::lround(twips / kScreenTwipsPerPixel));
}

float PixelsToTwips(int pixels) {
    return static_cast<float>(pixels) * kScreenTwipsPerPixel;
}

void PlaceInTwips(QWidget& widget, float left, float top, float width, float height) {
    // A computed size can go negative in a tiny window; a widget cannot.
    widget.setGeometry(TwipsToPixels(left), TwipsToPixels(top), std::max(0, TwipsToPixels(width)),
                       std::max(0, TwipsToPixels(height)));
}

void MoveInTwips(QWidget& widget, float left, float top) {
    widget.move(TwipsToPixels(left), TwipsToPixels(top));
}

} // namespace telmo
