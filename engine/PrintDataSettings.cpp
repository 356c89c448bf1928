#include "engine/PrintDataSettings.h"

#include "component/JobState.h"
#include "component/ReportError.h"
#include "engine/GridSizes.h"
#include "engine/Pagination.h"
#include "engine/SourceGrid.h"
#include "platform/RuntimeError.h"
#include "platform/grid/Grid.h"
#include "platform/print/Printer.h"
#include "preview/PreviewWindow.h"

#include <QPointer>

namespace telmo {
namespace {

// The preview window as the layout steps use it: loaded (hidden) by the first step that
// needs it, then the same window for the rest of the call. Once an error handler has
// unloaded it, the steps that would draw into it are skipped.
class PreviewAccess {
public:
    PreviewWindow* Get() {
        if (!asked_) {
            asked_ = true;
            window_ = &State().frmPreview.Get();
        }
        if (!window_ || window_->IsUnloaded())
            return nullptr;
        return window_.data();
    }

private:
    bool asked_ = false;
    QPointer<PreviewWindow> window_;
};

void SetMoveButtons(PreviewWindow& preview, bool firstAndPrevious, bool nextAndLast) {
    preview.cmdMove[0]->setEnabled(firstAndPrevious);
    preview.cmdMove[1]->setEnabled(firstAndPrevious);
    preview.cmdMove[2]->setEnabled(nextAndLast);
    preview.cmdMove[3]->setEnabled(nextAndLast);
}

} // namespace

int32_t TotalColWidth() {
    return pagination::TotalColWidth(GridSizes::Of(SourceGrid()));
}

int32_t TotalRowHeight() {
    try {
        return pagination::TotalRowHeight(GridSizes::Of(SourceGrid()), State().StartRowValue,
                                          Printers::Current().ScaleHeight());
    } catch (...) {
        return 0;
    }
}

void EstimateRowPages() {
    try {
        const int32_t height = TotalRowHeight();
        State().RowPageEstimate = pagination::EstimateRowPages(height, Printers::Current().ScaleHeight());
    } catch (...) {
        // The estimate keeps its previous value.
    }
}

void CalculageDataInfoForPage() {
    try {
        JobState& s = State();
        pagination::PaginateRows(GridSizes::Of(SourceGrid()), Printers::Current().ScaleHeight(),
                                 s.PaginationMode, s.ColBandCount, s.ColBandStart, s.ColBandEnd, s.PageBlocks,
                                 s.RowBandCount);
    } catch (...) {
        ReportCurrentException(module::kGeneral, ".CalculageDataInfoForPage");
    }
}

void CalculageDataInfoForWidth() {
    try {
        JobState& s = State();
        pagination::PaginateColumns(GridSizes::Of(SourceGrid()), Printers::Current().ScaleWidth(),
                                    s.PaginationMode, s.PageBlocks, s.ColBandStart, s.ColBandEnd,
                                    s.ColBandCount);
    } catch (...) {
        ReportCurrentException(module::kGeneral, ".CalculageDataInfoForWidth");
    }
}

void UpdatePageLabel(int16_t& /*currentPage*/) {
    if (PreviewWindow* preview = State().frmPreview.IfLoaded()) {
        preview->lbPageNo->update();
        preview->lbPageNo->setText(
            QStringLiteral("Page %1 of %2").arg(State().CurrentPage).arg(State().TotalPages));
    }
}

void CalculagePrintDataSettings() {
    PreviewAccess preview;
    try {
        JobState& s = State();
        EstimateRowPages();
        const int32_t width = TotalColWidth();
        Printer& printer = Printers::Current();
        if (static_cast<float>(width) <= printer.ScaleWidth()) {
            if (s.RowPageEstimate > 1) {
                s.PaginationMode = kRowsSplit;
                CalculageDataInfoForPage();
                s.TotalPages = ToInteger(s.RowBandCount);
            } else {
                s.PaginationMode = kOnePage;
                if (PreviewWindow* window = preview.Get())
                    SetMoveButtons(*window, false, false);
                Grid& grid = SourceGrid();
                s.PageBlocks.assign(2, PageBlock{});
                PageBlock& block = s.PageBlocks[1];
                block.PageNo = 1;
                block.StartCol = 1;
                block.EndCol = static_cast<float>(grid.Cols() - 1);
                block.StartRow = grid.FixedRows() == 0 ? 0.0f : s.StartRowValue + 1;
                block.EndRow = static_cast<float>(grid.Rows() - 1);
                s.TotalPages = 1;
            }
        } else if (s.RowPageEstimate == 1) {
            s.PaginationMode = kColumnsSplit;
            CalculageDataInfoForWidth();
            s.TotalPages = ToInteger(s.ColBandCount);
        } else {
            s.PaginationMode = kRowsAndColumnsSplit;
            CalculageDataInfoForWidth();
            CalculageDataInfoForPage();
            s.TotalPages =
                ToInteger(static_cast<double>(s.ColBandCount) * static_cast<double>(s.RowBandCount));
        }
        s.CurrentPage = 1;
        PreviewWindow* window = preview.Get();
        if (window != nullptr && s.PaginationMode != kOnePage)
            SetMoveButtons(*window, false, true);
        if (window != nullptr && !window->IsUnloaded())
            UpdatePageLabel(s.CurrentPage);
        if (window != nullptr && !window->IsUnloaded()) {
            if (static_cast<size_t>(s.CurrentPage) >= s.PageBlocks.size()) {
                window->ShowNoPage(); // never the page of an earlier layout
                throw RuntimeError(err::kSubscriptOutOfRange);
            }
            PageBlock& block = s.PageBlocks[static_cast<size_t>(s.CurrentPage)];
            window->CopyMorePagesA(block.StartCol, block.EndCol, block.StartRow, block.EndRow);
        }
    } catch (...) {
        ReportCurrentException(module::kGeneral, ".CalculagePrintDataSettings");
    }
}

} // namespace telmo
