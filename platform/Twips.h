#pragma once

#include <QRect>

class QWidget;

namespace telmo {

// Screen twips: 15 twips a pixel at the 96 DPI the windows are designed for.
inline constexpr float kScreenTwipsPerPixel = 15.0f;

int TwipsToPixels(float twips);
float PixelsToTwips(int pixels);

// Places a widget within its parent by twips.
void PlaceInTwips(QWidget& widget, float left, float top, float width, float height);
void MoveInTwips(QWidget& widget, float left, float top);

} // namespace telmo
