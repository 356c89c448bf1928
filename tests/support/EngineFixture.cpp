#include "support/EngineFixture.h"
#include "support/CommandRun.h"

#include "component/JobState.h"
#include "dialogs/PageSelectionDialog.h"
#include "dialogs/PageSettingsDialog.h"
#include "dialogs/PrintStatusWindow.h"
#include "engine/GridSizes.h"
#include "engine/Pagination.h"
#include "platform/grid/GridControl.h"
#include "platform/print/PrintDialogModule.h"
#include "platform/print/Printer.h"
#include "platform/ui/MessageBox.h"
#include "preview/PreviewWindow.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>

namespace telmo::test {

void UnloadAllForms() {
    JobState& s = State();
    s.frmPreview.Unload();
    s.frmPrintStatus.Unload();
    s.frmPageSelection.Unload();
    s.frmPageSettings.Unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

int RowsForRowBands(int bands, float scaleHeight) {
    for (int rows = 2; rows < 2000; ++rows) {
        const GridSizes sizes{rows, 4, [](int32_t) { return 600; }, [](int32_t) { return 1500; }};
        std::vector<PageBlock> blocks(1);
        float found = 0;
        pagination::PaginateRows(sizes, scaleHeight, kRowsSplit, 0, {0}, {0}, blocks, found);
        if (found == bands)
            return rows;
    }
    return -1;
}

void EngineTest::SetUp() {
    UnloadAllForms();
    messages.clear();
    MessageBox::SetSink([this](const QString& text, const QString& title, int) {
        messages.push_back({text, title});
    });
    UsePrinter(11520, 15120);
    JobState& s = State();
    s.ResetOnCreate();
    s.Title1Message = s.Title2Message = s.Title3Message = s.Title4Message = s.CurrDateMessage = QString();
    s.PageNoPosition = s.DataFontName = QString();
    s.CurrDateFontName = QStringLiteral("Times New Roman");
    s.CurrDateFontSize = 10;
    s.SourceGridObj.reset();
    s.StartRowValue = s.RowBandCount = s.ColBandCount = 0;
    s.IsPreviewMode = true;
    s.ErrorLogFilePath = logDir_.filePath(QStringLiteral("errors.log"));
    QFile::remove(s.ErrorLogFilePath);
    s.RefreshPending = false;
    s.PaginationMode = s.TotalPages = s.CurrentPage = s.RowPageEstimate = 0;
    s.ColBandStart.assign(1, 0.0f);
    s.ColBandEnd.assign(1, 0.0f);
    s.PageBlocks.assign(1, PageBlock{});
}

void EngineTest::TearDown() {
    UnloadAllForms();
    MessageBox::SetSink(nullptr);
    State().SourceGridObj.reset();
    Printers::SetCurrent(std::make_unique<RecordingPrinter>());
    SetPrintDialogRunner(nullptr); // a stand-in for the print dialog ends with its test
    recorder_ = nullptr;
}

Printer& EngineTest::UseBuiltInPdf(const QString& pdfPath) {
    Printers::SetPdfOutputFile(pdfPath);
    Printers::SelectByName(Printers::BuiltInPdfName());
    return Printers::Current();
}

QString EngineTest::LogText() const {
    return QString::fromLocal8Bit(ReadFile(State().ErrorLogFilePath));
}

RecordingPrinter& EngineTest::UsePrinter(float scaleWidth, float scaleHeight, float width, float height) {
    auto printer = std::make_unique<RecordingPrinter>(scaleWidth, scaleHeight, width, height);
    recorder_ = printer.get();
    Printers::SetCurrent(std::move(printer));
    return *recorder_;
}

std::shared_ptr<GridControl> EngineTest::MakeSourceGrid(int rows, int cols, int colWidth, int rowHeight) {
    auto grid = std::make_shared<GridControl>();
    grid->SetRows(rows);
    grid->SetCols(cols);
    for (int c = 0; c < cols; ++c)
        grid->SetColWidth(c, colWidth);
    for (int r = 0; r < rows; ++r) {
        grid->SetRowHeight(r, rowHeight);
        for (int c = 0; c < cols; ++c)
            grid->SetTextMatrix(r, c, QStringLiteral("r%1c%2").arg(r).arg(c));
    }
    State().SourceGridObj = grid;
    return grid;
}

} // namespace telmo::test
