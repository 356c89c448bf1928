#include "engine/TitleLine.h"

#include "platform/DrawingSurface.h"

namespace telmo {
namespace {
void SetLineFont(DrawingSurface& surface, const QString& fontName, int16_t fontSize) {
    surface.SetFontName(fontName);
    surface.SetFontSize(fontSize);
    surface.SetFontBold(true);
}
} // namespace

void PrintTitleLine(DrawingSurface& surface, const QString& message, const QString& fontName, int16_t fontSize,
                    int16_t alignment, float top, int32_t leftMargin, int32_t rightMargin, const QString* heightOf) {
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
        surface.SetCurrentX(surface.ScaleWidth() - (surface.TextWidth(message) + static_cast<float>(rightMargin)));
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
    surface.SetCurrentX(surface.ScaleWidth() - (surface.TextWidth(title2Message) + static_cast<float>(rightMargin)));
    surface.Print(date);
}

} // namespace telmo
