#include "engine/TitleLine.h"

#include "component/JobState.h"
#include "platform/ui/DrawingSurface.h"

#include <algorithm>

namespace telmo {
namespace {
void SetLineFont(DrawingSurface& surface, const QString& fontName, int16_t fontSize) {
    surface.SetFontName(fontName);
    surface.SetFontSize(fontSize);
    surface.SetFontBold(true);
}
} // namespace

void PrintTitleLine(DrawingSurface& surface, const QString& message, const QString& fontName,
                    int16_t fontSize, int16_t alignment, float top, int32_t leftMargin, int32_t rightMargin,
                    const QString* heightOf) {
    if (message.isEmpty())
        return;
    SetLineFont(surface, fontName, fontSize);
    surface.SetCurrentY(heightOf != nullptr ? top + surface.TextHeight(*heightOf) : top);
    switch (alignment) {
    case 1:
        surface.SetCurrentX(static_cast<float>(leftMargin));
        break;
    case 2:
        surface.SetCurrentX(surface.ScaleWidth() / 2 - surface.TextWidth(message) / 2);
        break;
    case 3:
        surface.SetCurrentX(surface.ScaleWidth() -
                            (surface.TextWidth(message) + static_cast<float>(rightMargin)));
        break;
    default:
        break;
    }
    surface.Print(message);
}

void PrintDateLine(DrawingSurface& surface, const QString& date, const QString& fontName, int16_t fontSize,
                   const QString& title2Message, float top, int32_t rightMargin) {
    if (date.isEmpty())
        return;
    SetLineFont(surface, fontName, fontSize);
    surface.SetCurrentY(top);
    // The date starts where a right-aligned title 2 would; a date wider than title 2 (or with
    // none) moves left so that it still ends at the right margin, not past the paper's edge.
    const float right = surface.ScaleWidth() - static_cast<float>(rightMargin);
    surface.SetCurrentX(std::min(right - surface.TextWidth(title2Message), right - surface.TextWidth(date)));
    surface.Print(date);
}

void PrintTitleBand(DrawingSurface& surface, const JobState& s) {
    PrintTitleLine(surface, s.Title1Message, s.Title1FontName, s.Title1FontSize, s.Title1Alignment, 300,
                   s.HeaderLeftMargin, s.HeaderRightMargin);
    PrintTitleLine(surface, s.Title2Message, s.Title2FontName, s.Title2FontSize, s.Title2Alignment, 700,
                   s.HeaderLeftMargin, s.HeaderRightMargin);
    PrintDateLine(surface, s.CurrDateMessage, s.CurrDateFontName, s.CurrDateFontSize, s.Title2Message, 700,
                  s.HeaderRightMargin);
    // Title 3 sits below title 2's text, measured in title 3's own font.
    PrintTitleLine(surface, s.Title3Message, s.Title3FontName, s.Title3FontSize, s.Title3Alignment, 750,
                   s.HeaderLeftMargin, s.HeaderRightMargin, &s.Title2Message);
}

void MoveToSeparator(DrawingSurface& surface, const JobState& s) {
    surface.SetCurrentX(static_cast<float>(s.HeaderLeftMargin));
    surface.SetCurrentY(surface.TextHeight(s.Title2Message) + 800 + surface.TextHeight(s.Title3Message));
}

} // namespace telmo
