#include "platform/Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace telmo {

float ScreenTwipsPerPixel() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen != nullptr ? screen->logicalDotsPerInchX() : 96.0;
    return dpi > 0 ? static_cast<float>(1440.0 / dpi) : 15.0f;
}

int TwipsToPixels(float twips) {
    return static_cast<int>(std::lround(twips / ScreenTwipsPerPixel()));
}

float PixelsToTwips(int pixels) {
    return static_cast<float>(pixels) * ScreenTwipsPerPixel();
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
