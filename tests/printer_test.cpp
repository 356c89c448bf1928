#include "platform/QtPrinter.h"
#include "platform/RuntimeError.h"
#include "support/PdfText.h"

#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QImage>
#include <QPageLayout>
#include <QPrinterInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace telmo {
namespace {

using test::PdfDoc;
using test::ReadPdf;

// Positions read back from the PDF are compared in points; text boxes from pdftotext start
// at the glyph origin and the font's ascent, so they match the drawn position closely.
constexpr double kPositionTolerancePt = 2.0;

template <typename F> int32_t ErrorNumberOf(F&& f) {
    try {
        f();
    } catch (const RuntimeError& e) {
        return e.Number();
    }
    return 0;
}

class PdfPrinterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        Printers::SetPdfOutputFile(OutputPath());
    }
    void TearDown() override { Printers::SetPdfOutputFile(QString()); }

    QString OutputPath(const QString& name = QStringLiteral("out.pdf")) const { return dir_.filePath(name); }

    // The printable area in points on the PDF page: where twips coordinates start.
    static QPointF AreaOrigin(QtPrinter& printer) {
        return printer.Native().pageLayout().paintRect(QPageLayout::Point).topLeft();
    }

    // One page of the PDF rasterised at 72 dpi (one pixel a point), without anti-aliasing.
    QImage Raster(const QString& pdf, int page) const {
        const QString base = dir_.filePath(QStringLiteral("raster%1").arg(page));
        QProcess process;
        process.start(QStringLiteral("pdftoppm"),
                      {QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-gray"),
                       QStringLiteral("-png"), QStringLiteral("-aa"), QStringLiteral("no"),
                       QStringLiteral("-aaVector"), QStringLiteral("no"), QStringLiteral("-f"),
                       QString::number(page), QStringLiteral("-l"), QString::number(page),
                       QStringLiteral("-singlefile"), pdf, base});
        if (!process.waitForFinished(60000) || process.exitCode() != 0) {
            ADD_FAILURE() << "pdftoppm failed: " << process.readAllStandardError().toStdString();
            return {};
        }
        return QImage(base + QStringLiteral(".png")).convertToFormat(QImage::Format_Grayscale8);
    }

    // The darkest pixel within radius of (x, y) in points.
    static int DarkestNear(const QImage& image, double x, double y, int radius = 2) {
        int darkest = 255;
        for (int dy = -radius; dy <= radius; ++dy)
            for (int dx = -radius; dx <= radius; ++dx) {
                const int px = static_cast<int>(x) + dx, py = static_cast<int>(y) + dy;
                if (image.valid(px, py))
                    darkest = std::min(darkest, qGray(image.pixel(px, py)));
            }
        return darkest;
    }

    QTemporaryDir dir_;
};

TEST_F(PdfPrinterTest, TwoPagesThenNewPageAndEndDocGiveTwoPages) {
    QtPrinter printer(Printers::BuiltInPdfName());
    printer.SetFontName(QStringLiteral("Arial"));
    printer.SetFontSize(12);
    const QPointF origin = AreaOrigin(printer);

    printer.SetCurrentX(1440);
    printer.SetCurrentY(1440);
    printer.Print(QStringLiteral("AlphaOne"));
    const float lineHeight = printer.TextHeight(QStringLiteral("AlphaOne"));
    EXPECT_FLOAT_EQ(printer.CurrentX(), 0.0f);
    EXPECT_FLOAT_EQ(printer.CurrentY(), 1440.0f + lineHeight);
    printer.SetCurrentX(1440);
    printer.Print(QStringLiteral("AlphaTwo"));
    printer.Line(0, 4000, 5000, 4000);
    printer.Box(1000, 5000, 3000, 6000);
    printer.NewPage();
    printer.SetCurrentX(2880);
    printer.SetCurrentY(720);
    printer.Print(QStringLiteral("BetaPage"));
    printer.NewPage();
    printer.EndDoc();
    EXPECT_FALSE(printer.InDocument());

    const PdfDoc doc = ReadPdf(OutputPath());
    ASSERT_EQ(doc.pages, 2) << "a NewPage right before EndDoc must not add a blank page";

    const test::PdfWord* one = doc.Find(QStringLiteral("AlphaOne"), 1);
    ASSERT_NE(one, nullptr) << doc.pageTexts.join(QStringLiteral(" | ")).toStdString();
    EXPECT_NEAR(one->xMin, origin.x() + 1440 / 20.0, kPositionTolerancePt);
    EXPECT_NEAR(one->yMin, origin.y() + 1440 / 20.0, kPositionTolerancePt);
    // The printed extent is the measured one: metrics and output use the same font.
    EXPECT_NEAR(one->xMax - one->xMin, printer.TextWidth(QStringLiteral("AlphaOne")) / 20.0, 1.0);

    const test::PdfWord* two = doc.Find(QStringLiteral("AlphaTwo"), 1);
    ASSERT_NE(two, nullptr);
    EXPECT_NEAR(two->yMin, origin.y() + (1440 + lineHeight) / 20.0, kPositionTolerancePt);

    EXPECT_EQ(doc.Find(QStringLiteral("BetaPage"), 1), nullptr);
    const test::PdfWord* beta = doc.Find(QStringLiteral("BetaPage"), 2);
    ASSERT_NE(beta, nullptr);
    EXPECT_NEAR(beta->xMin, origin.x() + 2880 / 20.0, kPositionTolerancePt);
    EXPECT_NEAR(beta->yMin, origin.y() + 720 / 20.0, kPositionTolerancePt);

    // Lines land where the twips say, relative to the printable area.
    const QImage page1 = Raster(OutputPath(), 1);
    ASSERT_FALSE(page1.isNull());
    EXPECT_LT(DarkestNear(page1, origin.x() + 100, origin.y() + 200), 128) << "horizontal line at y=4000";
    EXPECT_EQ(DarkestNear(page1, origin.x() + 100, origin.y() + 210), 255) << "nothing 10 pt below the line";
    EXPECT_LT(DarkestNear(page1, origin.x() + 50, origin.y() + 275), 128) << "left edge of the box";
    EXPECT_LT(DarkestNear(page1, origin.x() + 150, origin.y() + 275), 128) << "right edge of the box";
    EXPECT_LT(DarkestNear(page1, origin.x() + 100, origin.y() + 250), 128) << "top edge of the box";
    EXPECT_EQ(DarkestNear(page1, origin.x() + 100, origin.y() + 275), 255) << "inside of the box";
}

TEST_F(PdfPrinterTest, NothingDrawnWritesNoDocument) {
    QtPrinter printer(Printers::BuiltInPdfName());
    printer.NewPage();
    printer.EndDoc();
    EXPECT_FALSE(QFile::exists(OutputPath()));
}

TEST_F(PdfPrinterTest, TwoPageBreaksInARowLeaveOneBlankPage) {
    QtPrinter printer(Printers::BuiltInPdfName());
    printer.Print(QStringLiteral("First"));
    printer.NewPage();
    printer.NewPage();
    printer.Print(QStringLiteral("Third"));
    printer.NewPage();
    printer.NewPage();
    printer.EndDoc();

    const PdfDoc doc = ReadPdf(OutputPath());
    ASSERT_EQ(doc.pages, 4) << "pages: First, blank, Third, blank; the last break adds nothing";
    EXPECT_NE(doc.Find(QStringLiteral("First"), 1), nullptr);
    EXPECT_TRUE(doc.WordsOn(2).empty());
    EXPECT_NE(doc.Find(QStringLiteral("Third"), 3), nullptr);
    EXPECT_TRUE(doc.WordsOn(4).empty());
}

TEST_F(PdfPrinterTest, TimesNewRomanIsMeasuredWithRealMetrics) {
    QtPrinter printer(Printers::BuiltInPdfName());
    printer.SetFontName(QStringLiteral("Times New Roman"));
    printer.SetFontSize(12);
    const float wide = printer.TextWidth(QStringLiteral("MMMM"));
    const float narrow = printer.TextWidth(QStringLiteral("iiii"));
    EXPECT_GT(wide, 2 * narrow);
    // A serif face's line is about 1.1 to 1.2 em; 12 pt is 240 twips.
    const float height = printer.TextHeight(QStringLiteral("MMMM"));
    EXPECT_NEAR(height, 12 * 20 * 1.15, 12 * 20 * 0.1);
    EXPECT_FLOAT_EQ(printer.TextHeight(QString()), height);
    // The substitute face resolves, and its widths differ from the sans face's.
    EXPECT_EQ(QFontInfo(ToTwipsFont(printer.Font())).family(), QStringLiteral("Liberation Serif"));
    const float serifWidth = printer.TextWidth(QStringLiteral("Report title"));
    printer.SetFontName(QStringLiteral("Arial"));
    EXPECT_NE(printer.TextWidth(QStringLiteral("Report title")), serifWidth);
    // Widths scale with the size.
    printer.SetFontName(QStringLiteral("Times New Roman"));
    printer.SetFontSize(24);
    EXPECT_NEAR(printer.TextWidth(QStringLiteral("MMMM")), 2 * wide, 2);

    printer.SetFontSize(12);
    printer.Print(QStringLiteral("MMMM"));
    printer.EndDoc();
    const PdfDoc doc = ReadPdf(OutputPath());
    const test::PdfWord* word = doc.Find(QStringLiteral("MMMM"));
    ASSERT_NE(word, nullptr);
    EXPECT_NEAR(word->xMax - word->xMin, wide / 20.0, 1.0);
}

TEST_F(PdfPrinterTest, PrintableAreaIsThePageLessQuarterInchMargins) {
    QtPrinter printer(Printers::BuiltInPdfName());
    printer.SetPaperSize(Printer::kPaperLetter);
    EXPECT_NEAR(printer.Width(), 12240, 1);
    EXPECT_NEAR(printer.Height(), 15840, 1);
    EXPECT_NEAR(printer.ScaleWidth(), 12240 - 720, 2);
    EXPECT_NEAR(printer.ScaleHeight(), 15840 - 720, 2);
}

TEST_F(PdfPrinterTest, LandscapeSwapsPageAndPrintableSizes) {
    QtPrinter printer(Printers::BuiltInPdfName());
    printer.SetOrientation(Printer::kPortrait);
    EXPECT_EQ(printer.Orientation(), Printer::kPortrait);
    const float w = printer.Width(), h = printer.Height();
    const float sw = printer.ScaleWidth(), sh = printer.ScaleHeight();
    ASSERT_LT(w, h);
    printer.SetOrientation(Printer::kLandscape);
    EXPECT_EQ(printer.Orientation(), Printer::kLandscape);
    EXPECT_NEAR(printer.Width(), h, 0.5);
    EXPECT_NEAR(printer.Height(), w, 0.5);
    EXPECT_NEAR(printer.ScaleWidth(), sh, 0.5);
    EXPECT_NEAR(printer.ScaleHeight(), sw, 0.5);
    EXPECT_EQ(ErrorNumberOf([&] { printer.SetOrientation(3); }), err::kInvalidPropertyValue);
    EXPECT_EQ(printer.Orientation(), Printer::kLandscape);
}

TEST_F(PdfPrinterTest, PaperCodesGiveTheirSizes) {
    QtPrinter printer(Printers::BuiltInPdfName());
    printer.SetOrientation(Printer::kPortrait);
    struct Case {
        int16_t code;
        float width, height;
    };
    for (const Case& c : {Case{Printer::kPaperA4, 11906, 16838}, Case{Printer::kPaperLetter, 12240, 15840},
                          Case{Printer::kPaperLegal, 12240, 20160}, Case{Printer::kPaperA3, 16838, 23811},
                          Case{Printer::kPaperA5, 8391, 11906}}) {
        printer.SetPaperSize(c.code);
        EXPECT_EQ(printer.PaperSize(), c.code);
        EXPECT_NEAR(printer.Width(), c.width, 20) << "paper " << c.code;
        EXPECT_NEAR(printer.Height(), c.height, 20) << "paper " << c.code;
    }
    printer.SetPaperSize(Printer::kPaperA4);
    EXPECT_EQ(ErrorNumberOf([&] { printer.SetPaperSize(0); }), err::kInvalidPropertyValue);
    EXPECT_EQ(ErrorNumberOf([&] { printer.SetPaperSize(9999); }), err::kInvalidPropertyValue);
    EXPECT_EQ(printer.PaperSize(), Printer::kPaperA4) << "a refused code keeps the paper";
}

TEST_F(PdfPrinterTest, CopiesAndDuplexRoundTrip) {
    QtPrinter printer(Printers::BuiltInPdfName());
    EXPECT_EQ(printer.Copies(), 1);
    printer.SetCopies(3);
    EXPECT_EQ(printer.Copies(), 3);
    EXPECT_EQ(printer.Native().copyCount(), 3);
    EXPECT_EQ(ErrorNumberOf([&] { printer.SetCopies(0); }), err::kInvalidPropertyValue);
    EXPECT_EQ(printer.Copies(), 3);

    EXPECT_EQ(printer.Duplex(), Printer::kSimplex);
    for (int16_t mode : {Printer::kDuplexLongEdge, Printer::kDuplexShortEdge, Printer::kSimplex}) {
        printer.SetDuplex(mode);
        EXPECT_EQ(printer.Duplex(), mode);
    }
    EXPECT_EQ(ErrorNumberOf([&] { printer.SetDuplex(4); }), err::kInvalidPropertyValue);
    EXPECT_EQ(printer.Duplex(), Printer::kSimplex);
}

TEST_F(PdfPrinterTest, JobOptionsSetDuringADocumentApplyToTheNext) {
    QtPrinter printer(Printers::BuiltInPdfName());
    printer.Print(QStringLiteral("Open"));
    ASSERT_TRUE(printer.InDocument());
    printer.SetCopies(2);
    printer.SetDuplex(Printer::kDuplexShortEdge);
    EXPECT_EQ(printer.Copies(), 2);
    EXPECT_EQ(printer.Duplex(), Printer::kDuplexShortEdge);
    printer.EndDoc();
    EXPECT_EQ(printer.Native().copyCount(), 2);
    EXPECT_EQ(printer.Copies(), 2);
    EXPECT_EQ(printer.Duplex(), Printer::kDuplexShortEdge);
}

TEST_F(PdfPrinterTest, SettingsChangeBetweenDocuments) {
    QtPrinter printer(Printers::BuiltInPdfName());
    printer.SetPaperSize(Printer::kPaperA4);
    printer.SetOrientation(Printer::kPortrait);
    printer.Print(QStringLiteral("Portrait"));
    printer.EndDoc();

    Printers::SetPdfOutputFile(OutputPath(QStringLiteral("landscape.pdf")));
    printer.SetOrientation(Printer::kLandscape);
    printer.Print(QStringLiteral("Landscape"));
    printer.EndDoc();

    Printers::SetPdfOutputFile(OutputPath(QStringLiteral("letter.pdf")));
    printer.SetOrientation(Printer::kPortrait);
    printer.SetPaperSize(Printer::kPaperLetter);
    printer.Print(QStringLiteral("Letter"));
    printer.EndDoc();

    const PdfDoc portrait = ReadPdf(OutputPath());
    ASSERT_EQ(portrait.pages, 1);
    EXPECT_NEAR(portrait.pageWidthPt, 595, 1);
    EXPECT_NEAR(portrait.pageHeightPt, 842, 1);
    EXPECT_NE(portrait.Find(QStringLiteral("Portrait")), nullptr);

    const PdfDoc landscape = ReadPdf(OutputPath(QStringLiteral("landscape.pdf")));
    ASSERT_EQ(landscape.pages, 1);
    EXPECT_NEAR(landscape.pageWidthPt, 842, 1);
    EXPECT_NEAR(landscape.pageHeightPt, 595, 1);
    EXPECT_NE(landscape.Find(QStringLiteral("Landscape")), nullptr);

    const PdfDoc letter = ReadPdf(OutputPath(QStringLiteral("letter.pdf")));
    ASSERT_EQ(letter.pages, 1);
    EXPECT_NEAR(letter.pageWidthPt, 612, 1);
    EXPECT_NEAR(letter.pageHeightPt, 792, 1);
}

TEST_F(PdfPrinterTest, OrientationChangedInADocumentAppliesFromTheNextPage) {
    QtPrinter printer(Printers::BuiltInPdfName());
    printer.SetOrientation(Printer::kPortrait);
    printer.Print(QStringLiteral("Upright"));
    printer.SetOrientation(Printer::kLandscape);
    printer.NewPage();
    printer.Print(QStringLiteral("Sideways"));
    printer.EndDoc();

    const PdfDoc doc = ReadPdf(OutputPath());
    ASSERT_EQ(doc.pages, 2);
    ASSERT_EQ(doc.pageSizesPt.size(), 2u);
    EXPECT_LT(doc.pageSizesPt[0].width(), doc.pageSizesPt[0].height());
    EXPECT_GT(doc.pageSizesPt[1].width(), doc.pageSizesPt[1].height());
}

TEST_F(PdfPrinterTest, PaintPictureDrawsAtItsOwnSizeAndScaled) {
    QtPrinter printer(Printers::BuiltInPdfName());
    const QPointF origin = AreaOrigin(printer);
    auto picture = std::make_shared<Picture>(2000, 1000);
    FontSpec font;
    font.sizePt = 10;
    picture->AddText(QPointF(100, 100), font, QStringLiteral("Pictured"));
    picture->AddLine(QPointF(0, 500), QPointF(2000, 500));
    printer.PaintPicture(picture, 1440, 2880);
    // The left half of the picture, twice as large.
    printer.PaintPicture(picture, 1440, 7200, 2000, 2000, 0, 0, 1000, 1000);
    printer.EndDoc();

    const PdfDoc doc = ReadPdf(OutputPath());
    ASSERT_EQ(doc.pages, 1);
    std::vector<test::PdfWord> words = doc.WordsOn(1);
    ASSERT_EQ(words.size(), 2u) << doc.pageTexts.join(QStringLiteral(" | ")).toStdString();
    std::sort(words.begin(), words.end(), [](const auto& a, const auto& b) { return a.yMin < b.yMin; });
    const test::PdfWord& plain = words[0];
    const test::PdfWord& scaled = words[1];
    EXPECT_EQ(plain.text, QStringLiteral("Pictured"));
    EXPECT_NEAR(plain.xMin, origin.x() + (1440 + 100) / 20.0, kPositionTolerancePt);
    EXPECT_NEAR(plain.yMin, origin.y() + (2880 + 100) / 20.0, kPositionTolerancePt);
    EXPECT_NEAR(scaled.xMin, origin.x() + (1440 + 200) / 20.0, kPositionTolerancePt);
    EXPECT_NEAR(scaled.yMin, origin.y() + (7200 + 200) / 20.0, kPositionTolerancePt);
    EXPECT_NEAR(scaled.yMax - scaled.yMin, 2 * (plain.yMax - plain.yMin), 1.0);

    // The scaled copy is clipped to its destination: its line (y = 7200 + 2 x 500) ends at
    // x = 1440 + 2000 although the picture's line runs twice as far.
    const QImage page = Raster(OutputPath(), 1);
    ASSERT_FALSE(page.isNull());
    EXPECT_LT(DarkestNear(page, origin.x() + 3000 / 20.0, origin.y() + 8200 / 20.0), 128);
    EXPECT_EQ(DarkestNear(page, origin.x() + 3440 / 20.0 + 10, origin.y() + 8200 / 20.0), 255);
    // The copy at its own size has the whole line.
    EXPECT_LT(DarkestNear(page, origin.x() + 3300 / 20.0, origin.y() + 3380 / 20.0), 128);
}

TEST_F(PdfPrinterTest, UnwritableOutputRaisesPrinterError) {
    QtPrinter printer(Printers::BuiltInPdfName());
    Printers::SetPdfOutputFile(dir_.filePath(QStringLiteral("missing-folder/out.pdf")));
    EXPECT_EQ(ErrorNumberOf([&] { printer.Print(QStringLiteral("x")); }), err::kPrinterError);
    EXPECT_FALSE(printer.InDocument());
    printer.EndDoc();
}

TEST(PrintersTest, InstalledNamesEndWithTheBuiltInPdfPrinter) {
    const QStringList names = Printers::InstalledNames();
    ASSERT_FALSE(names.isEmpty());
    EXPECT_EQ(names.last(), QStringLiteral("PDF"));
    EXPECT_EQ(names.mid(0, names.size() - 1), QPrinterInfo::availablePrinterNames());

    Printers::SetBuiltInPdfListed(false);
    EXPECT_FALSE(Printers::InstalledNames().contains(QStringLiteral("PDF")));
    Printers::SetBuiltInPdfListed(true);
    EXPECT_TRUE(Printers::InstalledNames().contains(QStringLiteral("PDF")));
}

TEST(PrintersTest, SelectByName) {
    Printers::SelectByName(QStringLiteral("PDF"));
    EXPECT_EQ(Printers::Current().DeviceName(), QStringLiteral("PDF"));
    Printers::Current().SetCopies(4);

    EXPECT_EQ(ErrorNumberOf([] { Printers::SelectByName(QStringLiteral("No Such Printer 7f3a")); }),
              err::kPrinterError);
    EXPECT_EQ(ErrorNumberOf([] { Printers::SelectByName(QStringLiteral("pdf")); }), err::kPrinterError)
        << "names match with case";
    EXPECT_EQ(Printers::Current().Copies(), 4) << "a failed selection keeps the current printer";

    Printers::SetBuiltInPdfListed(false);
    Printers::SelectByName(QStringLiteral("PDF"));
    EXPECT_EQ(Printers::Current().DeviceName(), QStringLiteral("PDF"));
    EXPECT_EQ(Printers::Current().Copies(), 1) << "selecting makes a fresh printer object";
    Printers::SetBuiltInPdfListed(true);
    Printers::SetCurrent(nullptr);
}

TEST(PrintersTest, CurrentIsTheSystemDefaultElseThePdfPrinter) {
    Printers::SetCurrent(nullptr);
    const QPrinterInfo systemDefault = QPrinterInfo::defaultPrinter();
    const QString expected = systemDefault.isNull() ? QStringLiteral("PDF") : systemDefault.printerName();
    Printer& current = Printers::Current();
    EXPECT_EQ(current.DeviceName(), expected);
    EXPECT_EQ(&Printers::Current(), &current) << "created once";
    Printers::SetCurrent(nullptr);
}

} // namespace
} // namespace telmo
