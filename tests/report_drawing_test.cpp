// The printed page on the recording printer: every coordinate, font and the order of drawing.
// Its metrics: TextWidth = characters x points x 10, TextHeight = points x 24.
#include "component/JobState.h"
#include "engine/PageBody.h"
#include "engine/PageNumber.h"
#include "engine/PrintAllPages.h"
#include "engine/ReportHeader.h"
#include "platform/grid/GridControl.h"
#include "platform/ui/PictureBox.h"
#include "support/EngineFixture.h"

using namespace telmo;
using namespace telmo::test;
using Kind = RecordingPrinter::OpKind;

namespace {

using Drawn = std::vector<std::tuple<Kind, QString, QPointF>>;

class ReportHeaderTest : public EngineTest {
protected:
    Drawn Ops() {
        Drawn drawn;
        for (const auto& op : Recorder().Ops())
            drawn.emplace_back(op.kind, op.text, op.from);
        return drawn;
    }
};

} // namespace

TEST_F(ReportHeaderTest, TitlesDateAndSeparatorAtTheirPlacesInDrawingOrder) {
    JobState& s = State();
    s.Title1Message = "Report"; // 16 pt bold, centred by default
    s.Title2Message = "Sub";
    s.Title2Alignment = 1;
    s.Title2FontName = "Arial";
    s.CurrDateMessage = "2026-12-06";
    s.Title3Message = "Third";
    s.Title3Alignment = 3;
    s.TitleSepratorFlag = kAutomationTrue;
    PrintReportHeader();
    // Title 1 centred: 5760 - 6 x 160 / 2. The date, wider (1000) than 11520 - (300 + 100) left by
    // title 2 in 10 pt, ends at the right margin. Title 3 goes below title 2's height in its own 10 pt
    // (240); the separator adds both heights in the last line's font and ends at the right edge.
    EXPECT_EQ(Ops(), (Drawn{{Kind::Text, "Report", {5280, 300}},
                            {Kind::Text, "Sub", {100, 700}},
                            {Kind::Text, "2026-12-06", {11520 - 100 - 1000, 700}},
                            {Kind::Text, "Third", {11520 - (500 + 100), 990}},
                            {Kind::Line, "", {100, 240 + 800 + 240}}}));
    const auto& ops = Recorder().Ops();
    ASSERT_EQ(ops.size(), 5u);
    EXPECT_EQ(std::tuple(ops[0].font, ops[1].font, ops[3].font.sizePt, ops[4].to),
              std::tuple(FontSpec{"Times New Roman", 16, true}, FontSpec{"Arial", 12, true}, 10.f,
                         QPointF(11520, 1280)));
}

TEST_F(ReportHeaderTest, EmptyTitlesDrawNothingButTheSeparatorStillComes) {
    PrintReportHeader();
    EXPECT_TRUE(Recorder().Ops().empty());
    EXPECT_EQ(Recorder().Font(), FontSpec{}) << "font untouched";
    State().TitleSepratorFlag = 1; // only -1 is true
    PrintReportHeader();
    EXPECT_TRUE(Recorder().Ops().empty());
    State().TitleSepratorFlag = kAutomationTrue;
    PrintReportHeader();
    // Heights of the empty texts in the untouched font (8.25 pt: 198 twips each).
    EXPECT_EQ(Ops(), (Drawn{{Kind::Line, "", {100, 198 + 800 + 198}}}));
}

TEST_F(ReportHeaderTest, DateWithoutTitleTwoEndsAtTheRightMarginAndTitleThreeStillMovesDown) {
    JobState& s = State();
    s.CurrDateMessage = "Today";
    s.Title3Message = "T3";
    s.Title3Alignment = 7; // not an alignment: title 3 starts where Print left the position
    PrintReportHeader();
    EXPECT_EQ(Ops(),
              (Drawn{{Kind::Text, "Today", {11520 - 100 - 500, 700}}, {Kind::Text, "T3", {0, 750 + 240}}}));
}

TEST_F(ReportHeaderTest, AFailingPrinterIsReportedAndTheLinesDrawnStay) {
    State().Title1Message = "Report";
    State().Title2Message = "Sub";
    Recorder().FailOn(Kind::Text, 2);
    PrintReportHeader();
    EXPECT_EQ(Ops(), (Drawn{{Kind::Text, "Report", {5280, 300}}}));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(LogText().contains("PrinterComponent.9007.PrintReportHeader\t482\t"))
        << LogText().toStdString();
}

using PageNumberTest = EngineTest;

TEST_F(PageNumberTest, FourCornersInEightPointRegularAndAnUnknownTextAtThePosition) {
    State().TotalPages = 12;
    const std::pair<const char*, QPointF> corners[] = {{"Top Left", {150, 100}},
                                                       {"Top Right", {11520 - 1200, 100}},
                                                       {"Bottom Left", {150, 15120 - 500}},
                                                       {"Bottom Right", {11520 - 1200, 15120 - 500}},
                                                       {"top left", {777, 888}}};
    for (const auto& [position, at] : corners) {
        SCOPED_TRACE(position);
        Recorder().ClearOps();
        Recorder().SetFontBold(true);
        Recorder().SetCurrentX(777);
        Recorder().SetCurrentY(888);
        State().PageNoPosition = QString::fromLatin1(position);
        int16_t page = 3;
        PrintPageNo(page);
        ASSERT_EQ(Recorder().Ops().size(), 1u);
        const auto& op = Recorder().Ops()[0];
        EXPECT_EQ(std::tuple(op.text, op.from, op.font.sizePt, op.font.bold),
                  std::tuple("Page 3 of 12", at, 8.f, false));
    }
    Recorder().ClearOps();
    Recorder().SetFontSize(14);
    State().PageNoPosition.clear();
    int16_t page = 1;
    PrintPageNo(page);
    EXPECT_TRUE(Recorder().Ops().empty());
    EXPECT_EQ(Recorder().FontSize(), 14) << "an empty position prints nothing and keeps the font";
}

namespace {

class PageBodyTest : public EngineTest {
protected:
    PageBodyTest() {
        box.SetBorder(false);
        box.SetAutoSize(true);
    }
    // Sends rows 1 to 3 of a grid whose columns are colWidth wide and returns the paint.
    RecordingPrinter::Op SendBody(int cols, int colWidth) {
        Recorder().ClearOps();
        MakeSourceGrid(4, cols, colWidth, 300);
        float sc = 1, ec = static_cast<float>(cols - 1), sr = 1, er = 3;
        SendDataToPrinter(work, box, sc, ec, sr, er);
        const auto pictures = Recorder().OpsOf(Kind::Picture);
        EXPECT_EQ(pictures.size(), 1u);
        return pictures.empty() ? RecordingPrinter::Op{} : pictures[0];
    }
    GridControl work;
    PictureBox box;
};

} // namespace

// A preview fills no progress bar (a run's, filled by each body, is watched in print_status_test).
TEST_F(PageBodyTest, ANarrowImageIsCentredAt1500AWideOneStartsHalfTheExcessRightAndAPreviewHasNoBar) {
    EXPECT_EQ(SendBody(3, 2000).dest, QRectF((11520 - 6000) / 2, 1500, 6000, 4 * 300));
    EXPECT_EQ(box.ScaleWidth(), 6000);
    EXPECT_EQ(SendBody(7, 2000).dest.left(), (14000 - 11520) / 2);
    EXPECT_TRUE(messages.empty() && !State().frmPrintStatus.IsLoaded());
}

using PrintAllPagesTest = PageBodyTest;

TEST_F(PrintAllPagesTest, ThreePagesThreeSheetsInOrderNoneOnlyEndsAndAMissingBlockEndsTheRun) {
    MakeSourceGrid(7, 3, 1000, 300);
    JobState& s = State();
    s.TotalPages = 3;
    s.PageNoPosition = "Bottom Right";
    s.Title1Message = "Title";
    s.PageBlocks = {{}, {1, 2, 1, 2, 1}, {3, 4, 1, 2, 2}, {5, 6, 1, 2, 3}};
    PrintAllPages(work, box);
    std::vector<std::pair<Kind, QString>> drawn, expected;
    for (const auto& op : Recorder().Ops())
        drawn.emplace_back(op.kind, op.text);
    for (int page = 1; page <= 3; ++page)
        expected.insert(expected.end(), {{Kind::Text, QStringLiteral("Page %1 of 3").arg(page)},
                                         {Kind::Text, "Title"},
                                         {Kind::Picture, ""},
                                         {Kind::NewPage, ""}});
    expected.emplace_back(Kind::EndDoc, "");
    EXPECT_EQ(drawn, expected);
    // Drawing lands on sheets 1 to 3; the last NewPage adds no fourth.
    EXPECT_EQ(Recorder().OpsOf(Kind::Picture).back().page, 3);
    // Later pages print the number in the previous title's font name, as the header left it.
    EXPECT_EQ(Recorder().OpsOf(Kind::Text)[2].font.name, "Times New Roman");
    EXPECT_TRUE(messages.empty());

    Recorder().ClearOps();
    s.TotalPages = 0;
    PrintAllPages(work, box);
    EXPECT_TRUE(Recorder().Ops().size() == 1 && Recorder().Ops().back().kind == Kind::EndDoc);

    Recorder().ClearOps();
    s.TotalPages = 3;
    s.PageBlocks.resize(3); // page 3 has no entry
    PrintAllPages(work, box);
    EXPECT_TRUE(Recorder().OpsOf(Kind::EndDoc).empty());
    EXPECT_EQ(Recorder().OpsOf(Kind::NewPage).size(), 2u);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(LogText().contains("PrinterComponent.9007.PrintAllPages\t9\tSubscript out of range"));

    // The page number is 16-bit: past page 32767 the loop overflows, reported; the document is not ended.
    messages.clear();
    s.TotalPages = INT16_MAX;
    s.PageBlocks.assign(INT16_MAX + 1, PageBlock{1, 1, 1, 1, 1});
    s.PageNoPosition.clear();
    s.Title1Message.clear();
    Recorder().ClearOps();
    PrintAllPages(work, box);
    EXPECT_EQ(Recorder().OpsOf(Kind::NewPage).size(), size_t(INT16_MAX));
    EXPECT_TRUE(Recorder().OpsOf(Kind::EndDoc).empty());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(LogText().contains("PrinterComponent.9007.PrintAllPages\t6\tOverflow"));
    Recorder().ClearOps();
}
