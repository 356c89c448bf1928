#include "engine/ReportHeader.h"

#include "component/JobState.h"
#include "component/ReportError.h"
#include "engine/TitleLine.h"
#include "platform/print/Printer.h"

namespace telmo {

void PrintReportHeader() {
    try {
        const JobState& s = State();
        Printer& printer = Printers::Current();
        PrintTitleBand(printer, s);
        if (IsAutomationTrue(s.TitleSepratorFlag)) {
            MoveToSeparator(printer, s);
            // It ends at the right edge of the printable area with the default margins.
            printer.Line(printer.CurrentX(), printer.CurrentY(),
                         printer.ScaleWidth() + printer.CurrentX() - static_cast<float>(s.HeaderRightMargin),
                         printer.CurrentY());
        }
    } catch (...) {
        ReportCurrentException(module::kGeneral, ".PrintReportHeader");
    }
}

} // namespace telmo
