// The two run members of IPrinter: a preview or a print run, each behind its modal window.
#include "component/IPrinter.h"

#include "component/JobState.h"
#include "component/ReportError.h"
#include "dialogs/PrintStatusWindow.h"
#include "engine/SourceGrid.h"
#include "platform/grid/Grid.h"
#include "platform/print/PrintDialogModule.h"
#include "platform/print/Printer.h"
#include "platform/ui/MessageBox.h"
#include "preview/PreviewWindow.h"

namespace telmo {

void IPrinter::ShowPreview() {
    try {
        JobState& s = State();
        s.CurrentAction = QStringLiteral("show preview");
        if (!s.SourceGridObj) {
            MessageBox::Show(QStringLiteral("Please Assign the Source Grid to print or preview"),
                             QStringLiteral("TELMO Preview"), MessageBox::kInformation);
            return;
        }
        s.IsPreviewMode = true;
        s.FixedRowCount = telmo::SourceGrid().FixedRows();
        PreviewWindow& preview = s.frmPreview.Get();
        preview.ShowModal();
    } catch (...) {
        ReportCurrentException(module::kIPrinter, ".ShowPreview");
    }
}

void IPrinter::PrintReport(AutomationBool PrintDialog) {
    try {
        JobState& s = State();
        s.CurrentAction = QStringLiteral("print");
        if (IsAutomationTrue(PrintDialog)) {
            s.PrintDialogAccepted = false;
            PreviewWindow& owner = s.frmPreview.Get();
            int16_t flags = kPrintSetupFlag;
            ShowPrinterDlg(owner.IsUnloaded() ? nullptr : &owner, flags);
            if (!s.PrintDialogAccepted)
                return;
        }
        // Before the progress window: a queue that has gone or refuses jobs is this request's
        // error, said once, and nothing is laid out for a job that cannot be sent.
        Printers::Current().CheckReady();
        s.IsPreviewMode = false;
        s.FixedRowCount = telmo::SourceGrid().FixedRows();
        PrintStatusWindow& status = s.frmPrintStatus.Get();
        status.ShowModal();
    } catch (...) {
        ReportCurrentException(module::kIPrinter, ".PrintReport");
    }
}

} // namespace telmo
