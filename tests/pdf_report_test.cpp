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
    const QStringList muPdf = MuPdfText(pdfPath).split(QLatin1Char('\f')),
                      raw = RawPdfText(pdfPath).split(QLatin1Char('\f'));
    const QRegularExpression cellPattern(QStringLiteral("^r(\\d+)c(\\d+)$"));
    for (int page = 1; page <= 3; ++page) {
        SCOPED_TRACE(page);
        const PdfWord* first = pdf.Find(QStringLiteral("Page"), page);
        ASSERT_NE(first, nullptr);
        EXPECT_NEAR(first->xMin, printable.right() - 60, 2.0);
        EXPECT_NEAR(first->yMin, printable.bottom() - 25, 4.0);
        // Read in the order written too (MuPDF, pdftotext -raw): titles, rows, the page number.
        for (const QString& text : {pdf.pageTexts[page - 1], muPdf.value(page - 1), raw.value(page - 1)}) {
            EXPECT_TRUE(text.trimmed().startsWith(QStringLiteral("Inventory"))) << text.toStdString();
            EXPECT_TRUE(text.trimmed().endsWith(QStringLiteral("Page %1 of 3").arg(page)))
                << text.toStdString();
        }
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

// Each script as its cell holds it, read back by poppler and by MuPDF: shaped clusters,
// right-to-left words, characters beyond the first plane, combining marks (decomposed),
// a soft hyphen beside a title with a real hyphen; with no warning from Qt about fonts
// without the script. Compared after NFC, without the bidi marks pdftotext wraps
// right-to-left lines in. The title is the document's title.
TEST_F(PdfReportTest, EveryScriptReadsBackAsItsCellHoldsIt) {
    const QStringList texts = {
        QString::fromUtf8("Crème brûlée"),   QString::fromUtf8("bru\u0302le\u0301e"),
        QString::fromUtf8("Καλημέρα κόσμε"), QString::fromUtf8("Привет мир"),
        QString::fromUtf8("مرحبا بالعالم"),  QString::fromUtf8("שלום עולם"),
        QString::fromUtf8("नमस्ते दुनिया"),     QString::fromUtf8("இந்தியா வணக்கம்"),
        QString::fromUtf8("বাংলা ভাষা"),     QString::fromUtf8("สวัสดีชาวโลก"),
        QString::fromUtf8("សួស្តីពិភពលោក"),      QString::fromUtf8("你好世界"),
        QString::fromUtf8("こんにちは世界"), QString::fromUtf8("안녕하세요 세계"),
        QString::fromUtf8("Smile 😀 🎉 ok"),   QString::fromUtf8("𝐀𝐁𝐂 𝔸𝔹"),
        QString::fromUtf8("2024\u00AD2025"), QString::fromUtf8("ភាសាខ្មែរ"),
    };
    const QString pdfPath = dir.filePath(QStringLiteral("scripts.pdf"));
    UseBuiltInPdf(pdfPath);
    auto grid = MakeSourceGrid(int(texts.size()) + 1, 2, 5000, 400);
    for (qsizetype i = 0; i < texts.size(); ++i)
        grid->SetTextMatrix(int(i) + 1, 1, texts[i]);
    State().SourceGridObj.reset();
    IPrinter printer;
    printer.SourceGrid(grid);
    printer.Title1(QStringLiteral("2024-2025"));
    printer.ErrorLogFile(State().ErrorLogFilePath);
    static QStringList warnings;
    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& message) { warnings << message; });
    printer.PrintReport(kAutomationFalse);
    qInstallMessageHandler(previous);
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join('\n').toStdString();

    const PdfDoc pdf = ReadPdf(pdfPath);
    ASSERT_EQ(pdf.pages, 1) << pdf.error.toStdString();
    EXPECT_EQ(pdf.title, QStringLiteral("2024-2025"));
    const auto lines = [](QString text) {
        text.remove(QRegularExpression(QString::fromUtf8("[\u200e\u200f\u202a-\u202e\u2066-\u2069]")));
        return text.normalized(QString::NormalizationForm_C).split(QLatin1Char('\n'));
    };
    const QStringList poppler = lines(pdf.pageTexts[0]), mupdf = lines(MuPdfText(pdfPath));
    for (const QString& text : texts) {
        const QString expected = text.normalized(QString::NormalizationForm_C);
        EXPECT_TRUE(poppler.contains(expected)) << "pdftotext: " << text.toStdString();
        EXPECT_TRUE(std::ranges::any_of(mupdf, [&](const QString& line) { return line.endsWith(expected); }))
            << "mutool: " << text.toStdString();
    }
    EXPECT_TRUE(poppler.contains(QStringLiteral("2024-2025")));
    EXPECT_TRUE(mupdf.contains(QStringLiteral("2024-2025")));
}
