#pragma once

#include <QString>
#include <cstdint>

namespace telmo {

class DrawingSurface;

// Where "Page n of m" starts for a corner name, on a surface with this scale area; false
// for a text that names no corner (the print position then stays where it is).
bool PageNumberPosition(const QString& position, float scaleLeft, float scaleTop, float scaleWidth,
                        float scaleHeight, float& x, float& y);

// "Page n of m" in 8-point regular type at PageNoPosition on the current printer page, in the
// printer's current font name. Nothing when PageNoPosition is empty. Errors are reported.
void PrintPageNo(int16_t& page);

} // namespace telmo
