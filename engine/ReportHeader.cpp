#include "engine/ReportHeader.h"

#include "component/JobState.h"
#include "component/ReportError.h"
#include "engine/TitleLine.h"
#include "platform/Printer.h"

namespace telmo {

void PrintReportHeader() {
    try {
        const JobState& s = State();
        Printer& printer = Printers::Current();
        PrintTitleLine(printer, s.Title1Message, s.Title1FontName, s.Title1FontSize, s.Title1Alignment, 300,
                       s.HeaderLeftMargin, s.HeaderRightMargin);
        PrintTitleLine(printer, s.Title2Message, s.Title2FontName, s.Title2FontSize, s.Title2Alignment, 700,
                       s.HeaderLeftMargin, s.HeaderRightMargin);
        PrintDateLine(printer, s.CurrDateMessage, s.CurrDateFontName, s.CurrDateFontSize, s.Title2Message, 700,
                      s.HeaderRightMargin);
        // Title 3 sits below title 2's text, measured in title 3's own font.
        PrintTitleLine(printer, s.Title3Message, s.Title3FontName, s.Title3FontSize, s.Title3Alignment, 750,
                       s.HeaderLeftMargin, s.HeaderRightMargin, &s.Title2Message);
        if (IsAutomationTrue(s.TitleSepratorFlag)) {
            printer.SetCurrentX(static_cast<float>(s.HeaderLeftMargin));
            printer.SetCurrentY(printer.TextHeight(s.Title2Message) + 800 + printer.TextHeight(s.Title3Message));
            printer.Line(printer.CurrentX(), printer.CurrentY(),
                         printer.ScaleWidth() + printer.CurrentX() - static_cast<float>(s.HeaderRightMargin),
                         printer.CurrentY());
        }
    } catch (...) {
        ReportCurrentException(module::kGeneral, ".PrintReportHeader");
    }
}

} // namespace telmo
