#include "engine/PageNumber.h"

#include "component/JobState.h"
#include "component/ReportError.h"
#include "platform/print/Printer.h"

namespace telmo {

bool PageNumberPosition(const QString& position, float scaleLeft, float scaleTop, float scaleWidth,
                        float scaleHeight, float& x, float& y) {
    const bool left = position == QLatin1String("Top Left") || position == QLatin1String("Bottom Left");
    const bool right = position == QLatin1String("Top Right") || position == QLatin1String("Bottom Right");
    if (!left && !right)
        return false;
    const bool top = position.startsWith(QLatin1String("Top"));
    // The right-hand corners start a fixed distance from the edge, whatever the text's width.
    x = left ? scaleLeft + 150 : scaleWidth - 1200;
    y = top ? scaleTop + 100 : scaleHeight - 500;
    return true;
}

void PrintPageNo(int16_t& page) {
    try {
        const JobState& s = State();
        if (s.PageNoPosition.isEmpty())
            return;
        Printer& printer = Printers::Current();
        float x = 0, y = 0;
        if (PageNumberPosition(s.PageNoPosition, 0, 0, printer.ScaleWidth(), printer.ScaleHeight(), x, y)) {
            printer.SetCurrentX(x);
            printer.SetCurrentY(y);
        }
        printer.SetFontSize(8);
        printer.SetFontBold(false);
        printer.Print(QStringLiteral("Page %1 of %2").arg(page).arg(s.TotalPages));
    } catch (...) {
        ReportCurrentException(module::kGeneral, ".PrintPageNo");
    }
}

} // namespace telmo
