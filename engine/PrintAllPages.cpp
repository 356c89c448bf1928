#include "engine/PrintAllPages.h"

#include "component/JobState.h"
#include "component/ReportError.h"
#include "dialogs/PrintStatusWindow.h"
#include "engine/PageBody.h"
#include "engine/PageNumber.h"
#include "engine/ReportDocument.h"
#include "engine/ReportHeader.h"
#include "platform/RuntimeError.h"
#include "platform/print/Printer.h"

#include <QCoreApplication>

namespace telmo {
namespace {

PagePrintedObserver& Observer() {
    static PagePrintedObserver observer;
    return observer;
}

} // namespace

void SetPagePrintedObserver(PagePrintedObserver observer) {
    Observer() = std::move(observer);
}

void PrintAllPages(Grid& grid, PictureBox& pictureBox) {
    try {
        JobState& state = State();
        const int16_t last = state.TotalPages;
        Printers::Current().SetDocumentTitle(state.Title1Message);
        for (int16_t page = 1; page <= last; ++page) {
            if (!state.IsPreviewMode) {
                PrintStatusWindow& status = state.frmPrintStatus.Get();
                status.lblStatus->setText(QStringLiteral("Page %1 of %2").arg(page).arg(state.TotalPages));
                status.ProgBar->setValue(status.ProgBar->minimum());
                status.ProgBar->setValue(status.ProgBar->maximum() / 2);
            }
            PrintPageNo(page);
            PrintReportHeader();
            if (page < 0 || static_cast<size_t>(page) >= state.PageBlocks.size())
                throw RuntimeError(err::kSubscriptOutOfRange);
            // Events run between pages may rebuild the table; a block is read by value.
            PageBlock block = state.PageBlocks[static_cast<size_t>(page)];
            SendDataToPrinter(grid, pictureBox, block.StartCol, block.EndCol, block.StartRow, block.EndRow);
            Printers::Current().NewPage();
            state.PagesPrinted = page;
            if (Observer())
                Observer()(page, last);
            QCoreApplication::processEvents();
            // A cancel asked for while the page went out stops the run here, between pages,
            // and the pages printed so far are ended as a document of their own.
            if (!state.IsPreviewMode) {
                const PrintStatusWindow* status = state.frmPrintStatus.IfLoaded();
                if (status && status->CancelRequested()) {
                    state.PrintCancelled = true;
                    break;
                }
            }
            // The page number is an Integer: a report of the most pages it can count ends
            // in an overflow, reported below, and its document is not ended.
            if (page == INT16_MAX)
                throw RuntimeError(err::kOverflow);
        }
        if (state.PrintCancelled)
            Printers::Current().CancelDoc();
        else
            EndReportDocument();
    } catch (...) {
        ReportCurrentException(module::kGeneral, ".PrintAllPages");
    }
}

} // namespace telmo
