// The printed page on the recording printer: every coordinate, font and the order of drawing.
// Its metrics: TextWidth = characters x points x 10, TextHeight = points x 24.
#include "component/JobState.h"
#include "dialogs/PrintStatusWindow.h"
#include "engine/PageBody.h"
#include "engine/PageNumber.h"
#include "engine/PrintAllPages.h"
#include "engine/ReportHeader.h"
#include "platform/GridControl.h"
#include "platform/PictureBox.h"
#include "support/EngineFixture.h"

using namespace telmo;
using namespace telmo::test;
using Kind = RecordingPrinter::OpKind;

namespace {

class ReportHeaderTest : public EngineTest {
protected:
    void SetTitles() {
        JobState& s = State();
        s.Title1Message = QStringLiteral("Report"); // 16 pt, centred by default
        s.Title2Message = QStringLiteral("Sub");
        s.Title2Alignment = 1;
        s.Title2FontName = QStringLiteral("Arial");
        s.CurrDateMessage = QStringLiteral("2026-12-06");
        s.CurrDateFontSize = 10;
        s.Title3Message = QStringLiteral("Third");
        s.Title3Alignment = 3;
    }
};

} // namespace

TEST_F(ReportHeaderTest, TitlesDateAndSeparatorAtTheirPlacesInDrawingOrder) {
    SetTitles();
    State().TitleSepratorFlag = kAutomationTrue;
    PrintReportHeader();
    const auto& ops = Recorder().Ops();
    ASSERT_EQ(ops.size(), 5u);
    // Title 1: 16 pt bold, centred on 11520: 5760 - 6 * 160 / 2.
    EXPECT_EQ(ops[0].text, "Report");
    EXPECT_EQ(ops[0].from, QPointF(5280, 300));
    EXPECT_EQ(ops[0].font, (FontSpec{QStringLiteral("Times New Roman"), 16, true}));
    // Title 2 left at the left margin, 12 pt.
    EXPECT_EQ(ops[1].text, "Sub");
    EXPECT_EQ(ops[1].from, QPointF(100, 700));
    EXPECT_EQ(ops[1].font, (FontSpec{QStringLiteral("Arial"), 12, true}));
    // The date is placed by title 2's width in the date's 10-point font: 11520 - (300 + 100).
    EXPECT_EQ(ops[2].text, "2026-12-06");
    EXPECT_EQ(ops[2].from, QPointF(11120, 700));
    // Title 3 below title 2's height in title 3's 10-point font (240), right-aligned at 10 pt.
    EXPECT_EQ(ops[3].text, "Third");
    EXPECT_EQ(ops[3].from, QPointF(11520 - (500 + 100), 990));
    EXPECT_EQ(ops[3].font.sizePt, 10);
    // Separator: both heights in the font of the last line drawn; it ends at the right edge.
    EXPECT_EQ(ops[4].kind, Kind::Line);
    EXPECT_EQ(ops[4].from, QPointF(100, 240 + 800 + 240));
    EXPECT_EQ(ops[4].to, QPointF(11520, 1280));
    // The font is not restored.
    EXPECT_EQ(Recorder().FontSize(), 10);
    EXPECT_TRUE(Recorder().FontBold());
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
    ASSERT_EQ(Recorder().Ops().size(), 1u);
    // Heights of the empty texts in the untouched font (8.25 pt: 198 twips each).
    EXPECT_EQ(Recorder().Ops()[0].from, QPointF(100, 198 + 800 + 198));
}

TEST_F(ReportHeaderTest, DateWithoutTitleTwoStartsAtTheRightMarginAndTitleThreeStillMovesDown) {
    JobState& s = State();
    s.CurrDateMessage = QStringLiteral("Today");
    s.Title3Message = QStringLiteral("T3");
    s.Title3Alignment = 7; // not an alignment: stays where the date left the position
    PrintReportHeader();
    const auto& ops = Recorder().Ops();
    ASSERT_EQ(ops.size(), 2u);
    EXPECT_EQ(ops[0].from, QPointF(11520 - 100, 700));
    // After Print the position is back at the left edge of the next line.
    EXPECT_EQ(ops[1].from, QPointF(0, 750 + 240));
}

TEST_F(ReportHeaderTest, AFailingPrinterIsReportedAndTheLinesDrawnStay) {
    SetTitles();
    Recorder().FailOn(Kind::Text, 2);
    PrintReportHeader();
    ASSERT_EQ(Recorder().Ops().size(), 1u);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(LogText().contains(QStringLiteral("PrinterComponent.9007.PrintReportHeader\t482\t")))
        << LogText().toStdString();
}

using PageNumberTest = EngineTest;

TEST_F(PageNumberTest, FourCornersInEightPointRegular) {
    State().TotalPages = 12;
    const struct {
        const char* position;
        QPointF at;
    } corners[] = {{"Top Left", {150, 100}},
                   {"Top Right", {11520 - 1200, 100}},
                   {"Bottom Left", {150, 15120 - 500}},
                   {"Bottom Right", {11520 - 1200, 15120 - 500}}};
    for (const auto& corner : corners) {
        Recorder().ClearOps();
        Recorder().SetFontBold(true);
        State().PageNoPosition = QString::fromLatin1(corner.position);
        int16_t page = 3;
        PrintPageNo(page);
        ASSERT_EQ(Recorder().Ops().size(), 1u) << corner.position;
        EXPECT_EQ(Recorder().Ops()[0].text, "Page 3 of 12");
        EXPECT_EQ(Recorder().Ops()[0].from, corner.at) << corner.position;
        EXPECT_EQ(Recorder().Ops()[0].font.sizePt, 8);
        EXPECT_FALSE(Recorder().Ops()[0].font.bold);
        EXPECT_EQ(page, 3);
    }
}

TEST_F(PageNumberTest, UnknownTextPrintsAtThePositionAndEmptyPrintsNothing) {
    State().TotalPages = 2;
    Recorder().SetCurrentX(777);
    Recorder().SetCurrentY(888);
    State().PageNoPosition = QStringLiteral("top left");
    int16_t page = 1;
    PrintPageNo(page);
    ASSERT_EQ(Recorder().Ops().size(), 1u);
    EXPECT_EQ(Recorder().Ops()[0].from, QPointF(777, 888));

    Recorder().ClearOps();
    Recorder().SetFontSize(14);
    State().PageNoPosition.clear();
    PrintPageNo(page);
    EXPECT_TRUE(Recorder().Ops().empty());
    EXPECT_EQ(Recorder().FontSize(), 14);
}

namespace {

class PageBodyTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        box = std::make_unique<PictureBox>();
        box->SetBorder(false);
        box->SetAutoSize(true);
    }
    void TearDown() override {
        box.reset();
        EngineTest::TearDown();
    }
    // Sends the block of a grid whose columns are colWidth wide and returns the paint.
    RecordingPrinter::Op SendBody(int cols, int colWidth) {
        MakeSourceGrid(4, cols, colWidth, 300);
        float sc = 1, ec = static_cast<float>(cols - 1), sr = 1, er = 3;
        SendDataToPrinter(work, *box, sc, ec, sr, er);
        const auto pictures = Recorder().OpsOf(Kind::Picture);
        EXPECT_EQ(pictures.size(), 1u);
        return pictures.empty() ? RecordingPrinter::Op{} : pictures[0];
    }
    GridControl work;
    std::unique_ptr<PictureBox> box;
};

} // namespace

TEST_F(PageBodyTest, ANarrowImageIsCentredAt1500) {
    const auto paint = SendBody(3, 2000); // 6000 wide
    EXPECT_EQ(box->ScaleWidth(), 6000);
    EXPECT_EQ(paint.dest.topLeft(), QPointF((11520 - 6000) / 2, 1500));
    EXPECT_EQ(paint.dest.size(), QSizeF(6000, 4 * 300));
    EXPECT_TRUE(messages.empty());
}

TEST_F(PageBodyTest, AWideImageStartsHalfTheExcessToTheRight) {
    const auto paint = SendBody(7, 2000); // 14000 wide on 11520
    EXPECT_EQ(paint.dest.left(), (14000 - 11520) / 2);
}

TEST_F(PageBodyTest, OutsideAPreviewTheProgressBarIsFilled) {
    State().IsPreviewMode = false;
    SendBody(3, 1000);
    ASSERT_NE(State().frmPrintStatus.IfLoaded(), nullptr);
    QProgressBar* bar = State().frmPrintStatus.IfLoaded()->ProgBar;
    EXPECT_EQ(bar->value(), bar->maximum());
}

TEST_F(PageBodyTest, InAPreviewTheProgressWindowIsNotTouched) {
    SendBody(3, 1000);
    EXPECT_FALSE(State().frmPrintStatus.IsLoaded());
}

namespace {

class PrintAllPagesTest : public PageBodyTest {
protected:
    void ThreePages() {
        MakeSourceGrid(7, 3, 1000, 300);
        JobState& s = State();
        s.TotalPages = 3;
        s.PageNoPosition = QStringLiteral("Bottom Right");
        s.Title1Message = QStringLiteral("Title");
        s.PageBlocks = {{}, {1, 2, 1, 2, 1}, {3, 4, 1, 2, 2}, {5, 6, 1, 2, 3}};
    }
};

} // namespace

TEST_F(PrintAllPagesTest, ThreePagesThreeSheetsInOrder) {
    ThreePages();
    PrintAllPages(work, *box);
    std::vector<Kind> kinds;
    std::vector<QString> texts;
    for (const auto& op : Recorder().Ops()) {
        kinds.push_back(op.kind);
        if (op.kind == Kind::Text)
            texts.push_back(op.text);
    }
    const std::vector<Kind> page{Kind::Text, Kind::Text, Kind::Picture, Kind::NewPage};
    std::vector<Kind> expected;
    for (int i = 0; i < 3; ++i)
        expected.insert(expected.end(), page.begin(), page.end());
    expected.push_back(Kind::EndDoc);
    EXPECT_EQ(kinds, expected);
    EXPECT_EQ(texts,
              (std::vector<QString>{"Page 1 of 3", "Title", "Page 2 of 3", "Title", "Page 3 of 3", "Title"}));
    // Drawing lands on sheets 1 to 3; the last NewPage adds no fourth.
    int lastDrawnPage = 0;
    for (const auto& op : Recorder().Ops())
        if (op.kind == Kind::Picture)
            lastDrawnPage = op.page;
    EXPECT_EQ(lastDrawnPage, 3);
    // Later pages print the number in the previous title's font name, as the header left it.
    EXPECT_EQ(Recorder().OpsOf(Kind::Text)[2].font.name, "Times New Roman");
    EXPECT_TRUE(messages.empty());
}

TEST_F(PrintAllPagesTest, TheProgressWindowNamesEachPageOutsideAPreview) {
    ThreePages();
    State().IsPreviewMode = false;
    PrintAllPages(work, *box);
    auto* status = State().frmPrintStatus.IfLoaded();
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->lblStatus->text(), "Page 3 of 3");
    EXPECT_EQ(status->ProgBar->value(), status->ProgBar->maximum());
}

TEST_F(PrintAllPagesTest, NoPagesOnlyEndsTheDocument) {
    MakeSourceGrid(3, 3);
    State().TotalPages = 0;
    PrintAllPages(work, *box);
    ASSERT_EQ(Recorder().Ops().size(), 1u);
    EXPECT_EQ(Recorder().Ops()[0].kind, Kind::EndDoc);
}

TEST_F(PrintAllPagesTest, APageWithoutABlockEndsTheRunWithoutEndingTheDocument) {
    ThreePages();
    State().PageBlocks.resize(3); // page 3 has no entry
    PrintAllPages(work, *box);
    EXPECT_TRUE(Recorder().OpsOf(Kind::EndDoc).empty());
    EXPECT_EQ(Recorder().OpsOf(Kind::NewPage).size(), 2u);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.contains(QStringLiteral("Subscript out of range")));
    EXPECT_TRUE(LogText().contains(QStringLiteral("PrinterComponent.9007.PrintAllPages\t9\t")));
}
