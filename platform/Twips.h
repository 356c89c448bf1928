#pragma once

#include <QRect>

class QWidget;

namespace telmo {

// Screen twips per pixel from the primary screen's logical DPI: 15 at the 96 DPI the
// windows are designed for (and without a screen).
float ScreenTwipsPerPixel();

int TwipsToPixels(float twips);
float PixelsToTwips(int pixels);

// Places a widget within its parent by twips.
void PlaceInTwips(QWidget& widget, float left, float top, float width, float height);
void MoveInTwips(QWidget& widget, float left, float top);

} // namespace telmo
