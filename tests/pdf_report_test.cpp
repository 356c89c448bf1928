// A whole report through the public interface onto the built-in PDF printer, read back.
#include "component/IPrinter.h"
#include "component/JobState.h"
#include "platform/grid/GridControl.h"
#include "platform/print/Printer.h"
#include "support/EngineFixture.h"
#include "support/PdfText.h"

#include <QRegularExpression>
#include <QTemporaryDir>

using namespace telmo;
using namespace telmo::test;

using PdfReportTest = EngineTest;

// Which cells go on which page, and where, is the layout's (engine tests); here the report reaches
// the file whole, each page read in the order written.
TEST_F(PdfReportTest, AThreePageReportReadsBackPageByPage) {
    QTemporaryDir dir;
    const QString pdfPath = dir.filePath("report.pdf");
    UseBuiltInPdf(pdfPath);
    IPrinter printer;
    printer.SourceGrid(MakeSourceGrid(RowsForRowBands(3, Printers::Current().ScaleHeight()), 4, 1500, 600));
    printer.Title1("Inventory");
    printer.Title2("Warehouse", ALIGNLEFT);
    printer.CurrDate("06.12.2026");
    printer.ErrorLogFile(State().ErrorLogFilePath);
    printer.PrintReport(kAutomationFalse);
    // The only message tells the host's user where the file went.
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "The report's 3 pages were saved to " + pdfPath + ".");
    const PdfDoc pdf = ReadPdf(pdfPath);
    ASSERT_EQ(pdf.pages, 3) << pdf.error.toStdString();
    const QStringList muPdf = MuPdfText(pdfPath).split('\f'), raw = RawPdfText(pdfPath).split('\f');
    // Read in the order written too (MuPDF, pdftotext -raw): titles, rows, the page number.
    for (int page = 1; page <= 3; ++page)
        for (const QString& text : {pdf.pageTexts[page - 1], muPdf.value(page - 1), raw.value(page - 1)})
            EXPECT_TRUE(text.trimmed().startsWith("Inventory") &&
                        text.trimmed().endsWith(QString("Page %1 of 3").arg(page)))
                << text.toStdString();
}

// Every script reads back in poppler and MuPDF as its cell holds it (after NFC, without pdftotext's bidi
// marks), with no Qt warning of a font lacking the script.
TEST_F(PdfReportTest, EveryScriptReadsBackAsItsCellHoldsIt) {
    QTemporaryDir dir;
    const QStringList texts = {
        "Crème brûlée",   "bru\u0302le\u0301e", "Καλημέρα κόσμε", "Привет мир", "مرحبا بالعالم",  "שלום עולם",
        "नमस्ते दुनिया",     "இந்தியா வணக்கம்",       "বাংলা ভাষা",     "สวัสดีชาวโลก", "សួស្តីពិភពលោក",      "你好世界",
        "こんにちは世界", "안녕하세요 세계",    "Smile 😀 🎉 ok",   "𝐀𝐁𝐂 𝔸𝔹",     "2024\u00AD2025", "ភាសាខ្មែរ",
    };
    const QString pdfPath = dir.filePath("scripts.pdf");
    UseBuiltInPdf(pdfPath);
    auto grid = MakeSourceGrid(int(texts.size()) + 1, 2, 5000, 400);
    for (qsizetype i = 0; i < texts.size(); ++i)
        grid->SetTextMatrix(int(i) + 1, 1, texts[i]);
    IPrinter printer;
    printer.SourceGrid(grid);
    printer.Title1("2024-2025");
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
    EXPECT_EQ(pdf.title, "2024-2025");
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
    EXPECT_TRUE(poppler.contains("2024-2025"));
    EXPECT_TRUE(mupdf.contains("2024-2025"));
}
