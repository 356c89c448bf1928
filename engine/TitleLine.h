#pragma once

#include <QString>
#include <cstdint>

namespace telmo {

class DrawingSurface;
struct JobState;

// One line of the title block: its font is set (bold), then its position, then it is
// printed. Alignment 1 left at leftMargin, 2 centred on the surface's width, 3 right at
// rightMargin; any other value keeps the horizontal position the previous output left.
// Nothing is drawn, and the font is not touched, for an empty message. With heightOf, the
// line goes that text's height (measured in this line's font) below top.
void PrintTitleLine(DrawingSurface& surface, const QString& message, const QString& fontName,
                    int16_t fontSize, int16_t alignment, float top, int32_t leftMargin, int32_t rightMargin,
                    const QString* heightOf = nullptr);

// The date shares title line 2's band and is placed at the right by the width of title line
// 2's text measured in the date's font.
void PrintDateLine(DrawingSurface& surface, const QString& date, const QString& fontName, int16_t fontSize,
                   const QString& title2Message, float top, int32_t rightMargin);

// Title lines 1 and 2, the date and title line 3 of the job, as the printed page and the
// preview both draw them.
void PrintTitleBand(DrawingSurface& surface, const JobState& state);

// Moves the print position to the start of the separator under the title band: the left
// margin, below titles 2 and 3 measured in the surface's current font.
void MoveToSeparator(DrawingSurface& surface, const JobState& state);

} // namespace telmo
