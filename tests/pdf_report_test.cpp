// A whole report through the public interface onto the built-in PDF printer, read back
// with poppler: pages, page numbers at their corner, titles and exactly each block's cells.
#include "component/IPrinter.h"
#include "component/JobState.h"
#include "platform/GridControl.h"
#include "platform/MessageBox.h"
#include "platform/Printer.h"
#include "platform/QtPrinter.h"
#include "support/EngineFixture.h"
#include "support/PdfText.h"

#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

using namespace telmo;
using namespace telmo::test;

namespace {

class PdfReportTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        pdfPath = dir.filePath(QStringLiteral("report.pdf"));
        Printers::SetPdfOutputFile(pdfPath);
        Printers::SelectByName(Printers::BuiltInPdfName());
    }
    void TearDown() override {
        Printers::SetCurrent(std::make_unique<RecordingPrinter>());
        EngineTest::TearDown();
    }

    QTemporaryDir dir;
    QString pdfPath;
};

} // namespace

TEST_F(PdfReportTest, AThreePageReportReadsBackPageByPage) {
    const int rows = RowsForRowBands(3, Printers::Current().ScaleHeight());
    ASSERT_GT(rows, 0);
    auto grid = MakeSourceGrid(rows, 4, 1500, 600);
    State().SourceGridObj.reset();

    IPrinter printer;
    printer.SourceGrid(grid);
    printer.Title1(QStringLiteral("Inventory"));
    printer.Title2(QStringLiteral("Warehouse"), ALIGNLEFT);
    printer.CurrDate(QStringLiteral("06.12.2026"));
    printer.ErrorLogFile(State().ErrorLogFilePath);
    printer.PrintReport(kAutomationFalse);

    EXPECT_TRUE(messages.empty()) << (messages.empty() ? "" : messages[0].text.toStdString());
    ASSERT_EQ(State().TotalPages, 3);
    const PdfDoc pdf = ReadPdf(pdfPath);
    ASSERT_EQ(pdf.pages, 3) << pdf.error.toStdString();

    // The printable area on the PDF page, in points.
    auto& native = static_cast<QtPrinter&>(Printers::Current()).Native();
    const QRectF printable = native.pageLayout().paintRectPoints();
    const QRegularExpression cellPattern(QStringLiteral("^r(\\d+)c(\\d+)$"));
    for (int page = 1; page <= 3; ++page) {
        const PageBlock& block = State().PageBlocks[page];
        // "Page n of 3" starts 1200 twips (60 pt) left of the printable right edge, 500 twips above its
        // bottom.
        const std::vector<PdfWord> words = pdf.WordsOn(page);
        const PdfWord* first = pdf.Find(QStringLiteral("Page"), page);
        ASSERT_NE(first, nullptr) << "page " << page;
        EXPECT_NEAR(first->xMin, printable.left() + printable.width() - 60, 2.0);
        EXPECT_NEAR(first->yMin, printable.top() + printable.height() - 25, 4.0);
        EXPECT_TRUE(pdf.pageTexts[page - 1].contains(QStringLiteral("Page %1 of 3").arg(page)));
        EXPECT_NE(pdf.Find(QStringLiteral("Inventory"), page), nullptr);
        EXPECT_NE(pdf.Find(QStringLiteral("Warehouse"), page), nullptr);
        EXPECT_NE(pdf.Find(QStringLiteral("06.12.2026"), page), nullptr);

        QSet<QString> expected, seen;
        for (int c = 0; c < 4; ++c)
            expected.insert(QStringLiteral("r0c%1").arg(c));
        for (int r = static_cast<int>(block.StartRow); r <= static_cast<int>(block.EndRow); ++r)
            for (int c = 0; c < 4; ++c)
                expected.insert(QStringLiteral("r%1c%2").arg(r).arg(c));
        for (const PdfWord& word : words)
            if (cellPattern.match(word.text).hasMatch())
                seen.insert(word.text);
        EXPECT_EQ(seen, expected) << "page " << page;
    }
}

TEST_F(PdfReportTest, AOnePageReportIsOneSheet) {
    auto grid = MakeSourceGrid(6, 3, 1500, 300);
    IPrinter printer;
    printer.SourceGrid(grid);
    printer.PrintReport(kAutomationFalse);
    EXPECT_TRUE(messages.empty());
    const PdfDoc pdf = ReadPdf(pdfPath);
    ASSERT_EQ(pdf.pages, 1) << pdf.error.toStdString();
    EXPECT_TRUE(pdf.pageTexts[0].contains(QStringLiteral("Page 1 of 1")));
    EXPECT_NE(pdf.Find(QStringLiteral("r5c2")), nullptr);
}
