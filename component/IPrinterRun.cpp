// The two run members of IPrinter: a preview or a print run, each behind its modal window.
#include "component/IPrinter.h"

#include "component/JobState.h"
#include "component/ReportError.h"
#include "component/RunObjects.h"
#include "dialogs/PrintStatusWindow.h"
#include "engine/SourceGrid.h"
#include "platform/RuntimeError.h"
#include "platform/grid/Grid.h"
#include "platform/print/PrintDialogModule.h"
#include "platform/print/Printer.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/UnseenWindows.h"
#include "preview/PreviewWindow.h"

namespace telmo {
namespace {

// One run at a time: while a preview or print is in progress (its modal window open) the job
// state belongs to it. A second request from a timer or a grid callback of the first would
// rebuild the page table under it or write its document under another name; it is refused,
// reported as the request it was (without counting as an error of the run in progress, which
// goes on and is saved as usual), and changes nothing else.
bool RefusedDuringRun(const QString& action, const char* procedure) {
    JobState& s = State();
    if (!s.RunInProgress)
        return false;
    const QString runAction = s.CurrentAction;
    s.CurrentAction = action;
    ReportError(QString::number(err::kFormAlreadyDisplayed),
                StandardErrorText(err::kFormAlreadyDisplayed) +
                    QStringLiteral(": a preview or print is already in progress; this request was ignored"),
                QString::fromLatin1(module::kIPrinter) + QLatin1String(procedure));
    s.CurrentAction = runAction;
    ++s.ErrorsBeforeRun;
    Printers::SetPdfOutputFile(s.RunPdfOutputFile);
    return true;
}

// The span of one run: the errors reported in it are counted from here, and the grid it
// started with is held until it ends, whatever a host callback assigns meanwhile.
class RunScope {
public:
    RunScope() : state_(State()) {
        state_.RunInProgress = true;
        state_.ErrorsBeforeRun = state_.ErrorsReported;
        state_.RunGrid = state_.SourceGridObj;
        state_.RunPdfOutputFile = Printers::PdfOutputFile();
    }
    ~RunScope() {
        state_.RunInProgress = false;
        state_.RunGrid.reset();
        ReleaseRunObjects();
    }
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;

private:
    JobState& state_;
};

} // namespace

void IPrinter::ShowPreview() {
    if (RefusedDuringRun(QStringLiteral("show preview"), ".ShowPreview"))
        return;
    const RunScope run;
    try {
        JobState& s = State();
        s.CurrentAction = QStringLiteral("show preview");
        if (!s.SourceGridObj) {
            MessageBox::Show(QStringLiteral("Please Assign the Source Grid to print or preview"),
                             QStringLiteral("TELMO Preview"), MessageBox::kInformation);
            return;
        }
        // Before the pages are laid out for a window that nobody could look at or close.
        UnseenWindows::CheckCanBeAnswered(err::kInvalidProcedureCall, QStringLiteral("preview"));
        s.IsPreviewMode = true;
        s.FixedRowCount = telmo::SourceGrid().FixedRows();
        PreviewWindow& preview = s.frmPreview.Get();
        preview.ShowModal();
    } catch (...) {
        ReportCurrentException(module::kIPrinter, ".ShowPreview");
    }
}

void IPrinter::PrintReport(AutomationBool PrintDialog) {
    if (RefusedDuringRun(QStringLiteral("print"), ".PrintReport"))
        return;
    const RunScope run;
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
