// A whole report through the public interface onto the built-in PDF printer, read back
// with poppler: pages, page numbers at their corner, titles and exactly each block's cells.
#include "component/IPrinter.h"
#include "component/JobState.h"
#include "platform/grid/GridControl.h"
#include "platform/print/Printer.h"
#include "platform/print/QtPrinter.h"
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
    QTemporaryDir dir;
};

} // namespace

TEST_F(PdfReportTest, AThreePageReportReadsBackPageByPage) {
    ASSERT_TRUE(dir.isValid());
    const QString pdfPath = dir.filePath(QStringLiteral("report.pdf"));
    UseBuiltInPdf(pdfPath);
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

    // The only message tells the host's user where the file went.
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "The report's 3 pages were saved to " + pdfPath + ".");
    ASSERT_EQ(State().TotalPages, 3);
    const PdfDoc pdf = ReadPdf(pdfPath);
    ASSERT_EQ(pdf.pages, 3) << pdf.error.toStdString();

    // "Page n of 3" starts 1200 twips (60 pt) left of the printable right edge, 500 (25 pt) above its foot.
    const QRectF printable =
        static_cast<QtPrinter&>(Printers::Current()).Native().pageLayout().paintRectPoints();
    const QRegularExpression cellPattern(QStringLiteral("^r(\\d+)c(\\d+)$"));
    for (int page = 1; page <= 3; ++page) {
        SCOPED_TRACE(page);
        const PdfWord* first = pdf.Find(QStringLiteral("Page"), page);
        ASSERT_NE(first, nullptr);
        EXPECT_NEAR(first->xMin, printable.right() - 60, 2.0);
        EXPECT_NEAR(first->yMin, printable.bottom() - 25, 4.0);
        EXPECT_TRUE(pdf.pageTexts[page - 1].contains(QStringLiteral("Page %1 of 3").arg(page)));
        for (const char* title : {"Inventory", "Warehouse", "06.12.2026"})
            EXPECT_NE(pdf.Find(QString::fromLatin1(title), page), nullptr) << title;

        // The heading row and every column of the block's rows, and no other cell.
        const PageBlock& block = State().PageBlocks[page];
        std::vector<int> rowsOnPage{0};
        for (int r = static_cast<int>(block.StartRow); r <= static_cast<int>(block.EndRow); ++r)
            rowsOnPage.push_back(r);
        QSet<QString> expected, seen;
        for (int r : rowsOnPage)
            for (int c = 0; c < 4; ++c)
                expected.insert(QStringLiteral("r%1c%2").arg(r).arg(c));
        for (const PdfWord& word : pdf.WordsOn(page))
            if (cellPattern.match(word.text).hasMatch())
                seen.insert(word.text);
        EXPECT_EQ(seen, expected);
    }
}
