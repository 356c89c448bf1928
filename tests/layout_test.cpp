// The layout engine against a real grid control, the recording printer and the real
// (hidden) preview window: page block table, navigation state and page composition.
#include "component/JobState.h"
#include "engine/GridSnapshot.h"
#include "engine/PrintDataSettings.h"
#include "platform/GridControl.h"
#include "platform/PictureBox.h"
#include "platform/RuntimeError.h"
#include "preview/PreviewWindow.h"
#include "support/EngineFixture.h"
#include "support/PictureOps.h"

using namespace telmo;
using namespace telmo::test;

namespace {

QStringList Row(const Grid& g, int row) {
    QStringList cells;
    for (int c = 0; c < g.Cols(); ++c)
        cells << g.TextMatrix(row, c);
    return cells;
}

std::vector<bool> MoveButtons() {
    std::vector<bool> enabled;
    for (QPushButton* button : State().frmPreview.IfLoaded()->cmdMove)
        enabled.push_back(button->isEnabled());
    return enabled;
}

} // namespace

using CopyGridTest = EngineTest;

TEST_F(CopyGridTest, ABlockWithItsHeadingRowAndColumn) {
    auto source = MakeSourceGrid(12, 6, 1000, 300);
    source->SetColWidth(3, 1234);
    source->SetRowHeight(7, 456);
    source->SetColAlignment(4, 7);
    source->SetMergeCol(0, true);
    source->SetFontSize(11);
    GridControl work;
    float sc = 3, ec = 4, sr = 5, er = 9;
    CopyGrid(work, sc, ec, sr, er);
    ASSERT_EQ(work.Rows(), 6);
    ASSERT_EQ(work.Cols(), 3);
    EXPECT_EQ(Row(work, 0), (QStringList{"r0c0", "r0c3", "r0c4"}));
    EXPECT_EQ(Row(work, 1), (QStringList{"r5c0", "r5c3", "r5c4"}));
    EXPECT_EQ(Row(work, 5), (QStringList{"r9c0", "r9c3", "r9c4"}));
    EXPECT_EQ(work.ColWidth(1), 1234);
    EXPECT_EQ(work.RowHeight(3), 456);
    EXPECT_EQ(work.ColAlignment(2), 7);
    EXPECT_TRUE(work.MergeCol(0));
    EXPECT_EQ(work.FontSize(), 11);
    EXPECT_EQ(sc, 3);
    EXPECT_EQ(er, 9);
    EXPECT_TRUE(messages.empty());
}

TEST_F(CopyGridTest, SingleColumnAndReversedColumnRanges) {
    MakeSourceGrid(4, 1);
    GridControl work;
    float sc = 1, ec = 0, sr = 1, er = 3;
    CopyGrid(work, sc, ec, sr, er);
    EXPECT_EQ(work.Cols(), 1);
    EXPECT_EQ(work.Rows(), 4);
    EXPECT_EQ(work.TextMatrix(3, 0), "r3c0");

    MakeSourceGrid(4, 8);
    sc = 3, ec = 1;
    CopyGrid(work, sc, ec, sr, er);
    EXPECT_EQ(Row(work, 1), (QStringList{"r1c0", "r1c3", "r1c4", "r1c5"}));
}

TEST_F(CopyGridTest, WithoutFixedRowsNothingIsLostOrRepeated) {
    // A one-page grid without fixed rows has the block 0 .. Rows - 1: row 0 is the heading
    // once, and the last row is on the page.
    auto source = MakeSourceGrid(5, 3);
    source->SetFixedRows(0);
    State().FixedRowCount = 0;
    GridControl work;
    float sc = 1, ec = 2, sr = 0, er = 4;
    CopyGrid(work, sc, ec, sr, er);
    ASSERT_EQ(work.Rows(), 5);
    EXPECT_EQ(work.TextMatrix(0, 1), "r0c1");
    EXPECT_EQ(work.TextMatrix(1, 1), "r1c1");
    EXPECT_EQ(work.TextMatrix(4, 2), "r4c2");
}

TEST_F(CopyGridTest, ABlockPastTheGridsEndStopsAtItsLastRow) {
    MakeSourceGrid(5, 3);
    State().FixedRowCount = 2;
    GridControl work;
    float sc = 1, ec = 2, sr = 3, er = 6;
    CopyGrid(work, sc, ec, sr, er);
    EXPECT_EQ(work.Rows(), 3);
    EXPECT_EQ(work.TextMatrix(2, 0), "r4c0");
    EXPECT_TRUE(messages.empty());
}

TEST_F(CopyGridTest, NoSourceGridIsReported) {
    GridControl work;
    float sc = 1, ec = 2, sr = 1, er = 2;
    CopyGrid(work, sc, ec, sr, er);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(LogText().contains(QStringLiteral("PrinterComponent.9007.CopyGrid\t91\t")));
}

using PrintDataSettingsTest = EngineTest;

TEST_F(PrintDataSettingsTest, OnePageReportDisablesNavigationAndComposesPage1) {
    MakeSourceGrid(5, 3);
    State().StartRowValue = 1; // the host asked for row 2 on
    CalculagePrintDataSettings();
    const JobState& s = State();
    EXPECT_EQ(s.PaginationMode, kOnePage);
    EXPECT_EQ(s.TotalPages, 1);
    EXPECT_EQ(s.CurrentPage, 1);
    ASSERT_EQ(s.PageBlocks.size(), 2u);
    EXPECT_EQ(s.PageBlocks[1], (PageBlock{2, 4, 1, 2, 1}));
    PreviewWindow* preview = s.frmPreview.IfLoaded();
    ASSERT_NE(preview, nullptr) << "the window is created, hidden";
    EXPECT_FALSE(preview->isVisible());
    EXPECT_EQ(preview->lbPageNo->text(), "Page 1 of 1");
    EXPECT_EQ(MoveButtons(), (std::vector<bool>{false, false, false, false}));
    // The window's creation set the defaults a print run relies on.
    EXPECT_EQ(s.DataFontName, "Times New Roman");
    EXPECT_EQ(s.PageNoPosition, "Bottom Right");
    EXPECT_TRUE(messages.empty());
}

TEST_F(PrintDataSettingsTest, WithoutFixedRowsTheOnePageBlockStartsAtRow0) {
    auto grid = MakeSourceGrid(5, 3);
    grid->SetFixedRows(0);
    CalculagePrintDataSettings();
    EXPECT_EQ(State().PageBlocks[1].StartRow, 0);
}

TEST_F(PrintDataSettingsTest, WidthBoundaries) {
    // 8 columns of 1410 + 30 sum to 11520, the printable width exactly: they fit.
    MakeSourceGrid(5, 8, 1410);
    CalculagePrintDataSettings();
    EXPECT_EQ(State().PaginationMode, kOnePage);
    // One twip more and the columns are split.
    State().SourceGridObj.reset();
    auto wider = MakeSourceGrid(5, 8, 1410);
    wider->SetColWidth(7, 1411);
    CalculagePrintDataSettings();
    EXPECT_EQ(State().PaginationMode, kColumnsSplit);
    // Between ScaleWidth - 3000 and ScaleWidth: treated as fitting although column
    // pagination would have split it.
    MakeSourceGrid(5, 10, 1000);
    CalculagePrintDataSettings();
    EXPECT_EQ(State().PaginationMode, kOnePage);
}

TEST_F(PrintDataSettingsTest, RowsSplitAndBothSplitSetPagesAndButtons) {
    MakeSourceGrid(100, 3, 1000, 970);
    CalculagePrintDataSettings();
    const JobState& s = State();
    EXPECT_EQ(s.PaginationMode, kRowsSplit);
    EXPECT_EQ(s.TotalPages, static_cast<int16_t>(s.RowBandCount));
    EXPECT_EQ(s.PageBlocks.size(), static_cast<size_t>(s.TotalPages) + 1);
    EXPECT_EQ(s.PageBlocks[s.TotalPages].EndRow, 99);
    EXPECT_EQ(MoveButtons(), (std::vector<bool>{false, false, true, true}));
    EXPECT_EQ(s.frmPreview.IfLoaded()->lbPageNo->text(), QStringLiteral("Page 1 of %1").arg(s.TotalPages));

    MakeSourceGrid(100, 8, 1970, 970);
    CalculagePrintDataSettings();
    EXPECT_EQ(s.PaginationMode, kRowsAndColumnsSplit);
    EXPECT_EQ(s.ColBandCount, 3);
    EXPECT_EQ(s.TotalPages, static_cast<int16_t>(s.ColBandCount * s.RowBandCount));
    EXPECT_EQ(s.PageBlocks[2].StartCol, 4);
    EXPECT_EQ(s.PageBlocks[4].StartRow, s.PageBlocks[1].EndRow + 1);
}

TEST_F(PrintDataSettingsTest, AMultiPageLayoutOfOnePageStillEnablesNext) {
    // Wider than the page, one column band: mode 3 with a single page.
    MakeSourceGrid(3, 2, 11000);
    CalculagePrintDataSettings();
    EXPECT_EQ(State().PaginationMode, kColumnsSplit);
    EXPECT_EQ(State().TotalPages, 1);
    EXPECT_EQ(MoveButtons(), (std::vector<bool>{false, false, true, true}));
}

TEST_F(PrintDataSettingsTest, APageTallerThanSixteenBitsIsReportedAndTheRunGoesOn) {
    UsePrinter(11520, 40000);
    MakeSourceGrid(400, 3, 1000, 970);
    CalculagePrintDataSettings();
    EXPECT_TRUE(
        LogText().contains(QStringLiteral("PrinterComponent.9007.CalculageDataInfoForPage\t6\tOverflow")))
        << LogText().toStdString();
    EXPECT_EQ(State().PaginationMode, kRowsSplit);
    EXPECT_EQ(State().CurrentPage, 1);
}

using PreviewCompositionTest = EngineTest;

TEST_F(PreviewCompositionTest, PageNumberTitlesAndTheFramedGridImageOnTheFullSizePage) {
    JobState& s = State();
    s.Title1Message = QStringLiteral("Quarterly");
    MakeSourceGrid(5, 3, 1000, 300);
    CalculagePrintDataSettings();
    PreviewWindow* preview = s.frmPreview.IfLoaded();
    ASSERT_NE(preview, nullptr);
    ASSERT_TRUE(preview->pbTempData->Picture());
    EXPECT_EQ(preview->pbTempData->Width(), 12240);
    EXPECT_EQ(preview->pbTempData->Height(), 15840);
    const PlacedOps page = Flatten(*preview->pbTempData->Picture());
    // The page number is placed on the full page's scale area, 1200 from its right edge.
    const PlacedText* number = page.FindText(QStringLiteral("Page 1 of 1"));
    ASSERT_NE(number, nullptr);
    EXPECT_EQ(number->at, QPointF(12240 - 1200, 15840 - 500));
    EXPECT_EQ(number->font.sizePt, 8);
    EXPECT_EQ(number->font.name, "Times New Roman");
    ASSERT_NE(page.FindText(QStringLiteral("Quarterly")), nullptr);
    EXPECT_EQ(page.FindText(QStringLiteral("Quarterly"))->at.y(), 300);
    // The grid image (3 columns of 1000, 5 rows of 300) centred on the printer's width, at 1500.
    bool found = false;
    for (const PlacedPicture& placed : page.pictures)
        if (placed.rect == QRectF((11520 - 3000) / 2, 1500, 3000, 1500))
            found = true;
    EXPECT_TRUE(found);
    EXPECT_NE(page.FindText(QStringLiteral("r4c2")), nullptr);
    EXPECT_EQ(page.FindText(QStringLiteral("r0c0"))->depth, page.FindText(QStringLiteral("r4c2"))->depth);
    // The fit view: the page scaled into pbData from (500, 100), reaching its right edge.
    ASSERT_TRUE(preview->FitToWindow);
    const PlacedOps shown = Flatten(*preview->pbData->Image());
    bool scaledPage = false;
    for (const PlacedPicture& placed : shown.pictures)
        if (placed.picture == preview->pbTempData->Picture().get())
            scaledPage = placed.rect == QRectF(500, 100, preview->pbData->ScaleWidth() - 500,
                                               preview->pbData->ScaleHeight() - 500);
    // The call that created the window composed page 1 last, with the composition's own rectangle.
    EXPECT_TRUE(scaledPage);
}

TEST_F(PreviewCompositionTest, DisplayHeaderDrawsTitleFourNearTheFootAndItsOwnSeparator) {
    JobState& s = State();
    s.Title3Message = QStringLiteral("Three");
    s.Title4Message = QStringLiteral("Footer");
    s.Title4Alignment = 1;
    s.TitleSepratorFlag = kAutomationTrue;
    MakeSourceGrid(3, 2);
    CalculagePrintDataSettings();
    Recorder().ClearOps();
    State().frmPreview.IfLoaded()->DisplayHeader(Recorder());
    const auto& ops = Recorder().Ops();
    ASSERT_EQ(ops.size(), 3u);
    EXPECT_EQ(ops[0].from.y(), 750 + 240); // title 3 (12 pt by default) below title 2's empty text
    EXPECT_EQ(ops[1].text, "Footer");
    EXPECT_EQ(ops[1].from, QPointF(100, 15000 + 240)); // height of title 3's text in title 4's 10 pt
    // The preview's separator ends twice the left margin short of the right edge.
    EXPECT_EQ(ops[2].from, QPointF(100, 800 + 240 + 240));
    EXPECT_EQ(ops[2].to, QPointF(11520 - 200, 1280));
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
    // The load reported its error and unloaded the window; the layout still completed.
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(LogText().contains(QStringLiteral("PrinterComponent.9003.Load\t482\t")));
    EXPECT_FALSE(State().frmPreview.IsLoaded());
    EXPECT_EQ(State().PaginationMode, kRowsSplit);
    EXPECT_EQ(State().CurrentPage, 1);
    EXPECT_GT(State().TotalPages, 1);
}
