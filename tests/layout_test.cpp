// The layout engine with a real grid, the recording printer and the real (hidden) preview window.
#include "component/JobState.h"
#include "engine/GridSnapshot.h"
#include "engine/PrintDataSettings.h"
#include "platform/RuntimeError.h"
#include "platform/grid/GridControl.h"
#include "platform/ui/PictureBox.h"
#include "preview/PreviewWindow.h"
#include "support/EngineFixture.h"
#include "support/PictureOps.h"

using namespace telmo;
using namespace telmo::test;

using CopyGridTest = EngineTest;

TEST_F(CopyGridTest, TheBlockWithItsHeadingRowAndColumn) {
    const struct {
        const char* why;
        int rows, cols, fixedRows;
        float sc, ec, sr, er;
        std::vector<int> srcRows, srcCols;
    } cases[] = {
        {"a block", 12, 6, 1, 3, 4, 5, 9, {0, 5, 6, 7, 8, 9}, {0, 3, 4}},
        {"single column", 4, 1, 1, 1, 0, 1, 3, {0, 1, 2, 3}, {0}},
        {"end column before start", 4, 8, 1, 3, 1, 1, 3, {0, 1, 2, 3}, {0, 3, 4, 5}},
        {"no fixed rows: row 0 once", 5, 3, 0, 1, 2, 0, 4, {0, 1, 2, 3, 4}, {0, 1, 2}},
        {"block past the last row", 5, 3, 1, 1, 2, 3, 6, {0, 3, 4}, {0, 1, 2}},
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.why);
        const auto source = MakeSourceGrid(c.rows, c.cols);
        source->SetFixedRows(c.fixedRows);
        GridControl work;
        CopyGrid(work, c.sc, c.ec, c.sr, c.er);
        // Each cell is the source's at that row and column (whose texts all differ).
        ASSERT_EQ(QSize(work.Cols(), work.Rows()), QSize(c.srcCols.size(), c.srcRows.size()));
        for (int r = 0; r < work.Rows(); ++r)
            for (int k = 0; k < work.Cols(); ++k)
                EXPECT_EQ(work.TextMatrix(r, k), source->TextMatrix(c.srcRows[r], c.srcCols[k]));
    }
    EXPECT_TRUE(messages.empty());
}

TEST_F(CopyGridTest, SizesAlignmentMergeAndFontAreCopied) {
    auto source = MakeSourceGrid(12, 6);
    source->SetColWidth(3, 1234);
    source->SetRowHeight(7, 456);
    source->SetColAlignment(4, 7);
    source->SetMergeCol(0, true);
    source->SetFontSize(11);
    GridControl work;
    float sc = 3, ec = 4, sr = 5, er = 9;
    CopyGrid(work, sc, ec, sr, er);
    EXPECT_EQ(std::tuple(work.ColWidth(1), work.RowHeight(3), work.ColAlignment(2), work.MergeCol(0)),
              std::tuple(1234, 456, 7, true));
    EXPECT_EQ(std::tuple(work.FontSize(), sc, ec, sr, er), std::tuple(11.f, 3.f, 4.f, 5.f, 9.f));

    // Grid-wide settings and the heading column's fields are copied; row merges and other columns' not.
    source->SetGridLines(Grid::kGridInset);
    source->SetMergeCells(Grid::kMergeFree);
    source->SetFontName("Liberation Mono");
    source->SetWidth(7777);
    source->SetColWidth(0, 2345);
    source->SetRowHeight(0, 567);
    source->SetColAlignment(0, 4);
    source->SetMergeRow(6, true);
    source->SetMergeCol(3, true);
    source->SetTextMatrix(0, 0, "corner");
    CopyGrid(work, sc, ec, sr, er);
    EXPECT_EQ(std::tuple(work.GridLines(), work.MergeCells(), work.FontName(), work.Width()),
              std::tuple(int16_t(Grid::kGridInset), int16_t(Grid::kMergeFree), "Liberation Mono", 7777));
    EXPECT_EQ(std::tuple(work.ColWidth(0), work.RowHeight(0), work.ColAlignment(0), work.TextMatrix(0, 0)),
              std::tuple(2345, 567, 4, "corner"));
    EXPECT_EQ(std::tuple(work.MergeRow(2), work.MergeCol(1)), std::tuple(false, false));
    EXPECT_TRUE(messages.empty());
}

TEST_F(CopyGridTest, NoSourceGridIsReported) {
    GridControl work;
    float sc = 1, ec = 2, sr = 1, er = 2;
    CopyGrid(work, sc, ec, sr, er);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(LogText().contains("PrinterComponent.9007.CopyGrid\t91\t"));
}

using PrintDataSettingsTest = EngineTest;

TEST_F(PrintDataSettingsTest, OnePageReportHasOneBlockFromTheStartRowAfterTheFixedRows) {
    MakeSourceGrid(5, 3);
    State().StartRowValue = 1; // the host asked for row 2 on
    CalculagePrintDataSettings();
    const JobState& s = State();
    EXPECT_EQ(std::tuple(s.PaginationMode, s.TotalPages, s.CurrentPage), std::tuple(kOnePage, 1, 1));
    ASSERT_EQ(s.PageBlocks.size(), 2u);
    EXPECT_EQ(s.PageBlocks[1], (PageBlock{2, 4, 1, 2, 1}));
    EXPECT_TRUE(messages.empty());
    // Without fixed rows the block starts at row 0 whatever the start row.
    MakeSourceGrid(5, 3)->SetFixedRows(0);
    CalculagePrintDataSettings();
    EXPECT_EQ(s.PageBlocks[1].StartRow, 0);
}

TEST_F(PrintDataSettingsTest, WidthBoundaries) {
    // Printable width 11520; each column costs its width + 30.
    auto modeFor = [this](int cols, int width, int lastWidth) {
        MakeSourceGrid(5, cols, width)->SetColWidth(cols - 1, lastWidth);
        CalculagePrintDataSettings();
        return State().PaginationMode;
    };
    // The last: within 3000 of the width it fits, though columns would split.
    EXPECT_EQ((std::vector{modeFor(8, 1410, 1410), modeFor(8, 1410, 1411), modeFor(10, 1000, 1000)}),
              (std::vector<int16_t>{kOnePage, kColumnsSplit, kOnePage}));
}

TEST_F(PrintDataSettingsTest, RowsSplitAndBothSplitSetPagesAndBlocks) {
    MakeSourceGrid(100, 3, 1000, 970);
    CalculagePrintDataSettings();
    const JobState& s = State();
    EXPECT_EQ(std::tuple(s.PaginationMode, s.TotalPages, s.PageBlocks.size(), s.PageBlocks.back().EndRow),
              std::tuple(kRowsSplit, int16_t(s.RowBandCount), size_t(s.TotalPages) + 1, 99.f));

    MakeSourceGrid(100, 8, 1970, 970);
    CalculagePrintDataSettings();
    EXPECT_EQ(std::tuple(s.PaginationMode, s.ColBandCount, s.TotalPages, s.PageBlocks[2].StartCol),
              std::tuple(kRowsAndColumnsSplit, 3.f, int16_t(s.ColBandCount * s.RowBandCount), 4.f));
    EXPECT_EQ(s.PageBlocks[4].StartRow, s.PageBlocks[1].EndRow + 1);
}

TEST_F(PrintDataSettingsTest, APageTallerThanSixteenBitsIsReportedAndTheRunGoesOn) {
    UsePrinter(11520, 40000);
    MakeSourceGrid(400, 3, 1000, 970);
    CalculagePrintDataSettings();
    EXPECT_TRUE(LogText().contains("PrinterComponent.9007.CalculageDataInfoForPage\t6\tOverflow"))
        << LogText().toStdString();
    EXPECT_EQ(std::tuple(State().PaginationMode, State().CurrentPage), std::tuple(kRowsSplit, 1));
}

using PreviewCompositionTest = EngineTest;

TEST_F(PreviewCompositionTest, PageNumberTitlesAndTheFramedGridImageOnTheFullSizePage) {
    State().Title1Message = "Quarterly";
    MakeSourceGrid(5, 3, 1000, 300);
    CalculagePrintDataSettings();
    PreviewWindow* preview = State().frmPreview.IfLoaded();
    ASSERT_NE(preview, nullptr);
    ASSERT_TRUE(preview->pbTempData->Picture());
    EXPECT_EQ(QSizeF(preview->pbTempData->Width(), preview->pbTempData->Height()), QSizeF(12240, 15840));
    const PlacedOps page = Flatten(*preview->pbTempData->Picture());
    // The page number sits on the full page's scale area, 1200 from its right edge.
    const PlacedText* number = page.FindText("Page 1 of 1");
    ASSERT_NE(number, nullptr);
    EXPECT_EQ(number->at, QPointF(12240 - 1200, 15840 - 500));
    EXPECT_EQ(number->font, (FontSpec{"Times New Roman", 8, false}));
    ASSERT_TRUE(page.FindText("Quarterly") && page.FindText("r4c2"));
    EXPECT_EQ(page.FindText("Quarterly")->at.y(), 300);
    // The grid image (3 columns of 1000, 5 rows of 300) centred on the printer's width, at 1500.
    EXPECT_TRUE(std::ranges::any_of(page.pictures, [](const PlacedPicture& placed) {
        return placed.rect == QRectF((11520 - 3000) / 2, 1500, 3000, 1500);
    }));
    // The fit view: the composed page scaled into pbData from (500, 100), reaching its right edge.
    ASSERT_TRUE(preview->FitToWindow);
    const QRectF fit(500, 100, preview->pbData->ScaleWidth() - 500, preview->pbData->ScaleHeight() - 500);
    EXPECT_TRUE(std::ranges::any_of(Flatten(*preview->pbData->Image()).pictures, [&](const PlacedPicture& p) {
        return p.picture == preview->pbTempData->Picture().get() && p.rect == fit;
    }));
}

TEST_F(PreviewCompositionTest, DisplayHeaderDrawsTitleFourNearTheFootAndItsOwnSeparator) {
    JobState& s = State();
    s.Title3Message = "Three";
    s.Title4Message = "Footer";
    s.Title4Alignment = 1;
    s.TitleSepratorFlag = kAutomationTrue;
    MakeSourceGrid(3, 2);
    CalculagePrintDataSettings();
    Recorder().ClearOps();
    State().frmPreview.IfLoaded()->DisplayHeader(Recorder());
    const auto& ops = Recorder().Ops();
    ASSERT_EQ(ops.size(), 3u);
    // Title 3 (12 pt by default) below title 2's empty text; title 4 by the height of title 3's text
    // in its own 10 pt; the preview's separator ends twice the left margin short of the right edge.
    EXPECT_EQ(std::tuple(ops[0].from.y(), ops[1].text, ops[1].from, ops[2].from, ops[2].to),
              std::tuple(750 + 240, "Footer", QPointF(100, 15000 + 240), QPointF(100, 800 + 240 + 240),
                         QPointF(11520 - 200, 1280)));
}

namespace {
// A printer that cannot tell its paper size, which the preview's load needs.
class NoPaperSizePrinter : public RecordingPrinter {
public:
    float Width() const override { throw RuntimeError(err::kPrinterError); }
};
} // namespace

TEST_F(PreviewCompositionTest, AWindowThatFailedToLoadIsNotDrawnIntoAgain) {
    Printers::SetCurrent(std::make_unique<NoPaperSizePrinter>());
    MakeSourceGrid(30, 3, 1000, 970);
    CalculagePrintDataSettings();
    // The load reported its error once and unloaded the window; the layout still completed.
    EXPECT_EQ(std::tuple(messages.size(), State().frmPreview.IsLoaded(), State().PaginationMode,
                         State().CurrentPage, State().TotalPages > 1),
              std::tuple(1u, false, kRowsSplit, 1, true));
    EXPECT_TRUE(LogText().contains("PrinterComponent.9003.Load\t482\t"));
}
