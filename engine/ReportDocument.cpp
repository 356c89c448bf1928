#include "engine/ReportDocument.h"

#include "component/JobState.h"
#include "platform/print/Printer.h"
#include "platform/ui/MessageBox.h"

#include <QFileInfo>

namespace telmo {
namespace {

bool ErrorReportedInRun() {
    const JobState& s = State();
    return s.RunInProgress && s.ErrorsReported != s.ErrorsBeforeRun;
}

void TellNotSaved() {
    const QString target = Printers::PdfOutputFile();
    QString text = QStringLiteral("The report was not saved to %1: an error was reported while it was "
                                  "being made, so the file would not hold the report asked for.")
                       .arg(target);
    if (QFileInfo::exists(target))
        text += QStringLiteral(" The file already there keeps what it held.");
    MessageBox::Show(text, QStringLiteral("TELMO Preview"), MessageBox::kInformation);
}

} // namespace

void EndReportDocument() {
    Printer& printer = Printers::Current();
    if (!ErrorReportedInRun()) {
        printer.EndDoc();
        return;
    }
    // Cancelling sends a spooler printer's pages as ending would; a file printer drops them.
    const bool dropsFile = printer.HoldsPages() && printer.DeviceName() == Printers::BuiltInPdfName();
    printer.CancelDoc();
    if (dropsFile)
        TellNotSaved();
}

void EndOpenReportDocument() {
    try {
        if (Printers::Current().InDocument())
            EndReportDocument();
    } catch (...) {
    }
}

} // namespace telmo
