#include "platform/QtPrinter.h"
#include "platform/RuntimeError.h"
#include "support/PdfText.h"

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
using test::PdfWord;
using test::ReadPdf;

// pdftotext boxes start at the glyph origin and the font's ascent: close to the drawn position.
constexpr double kTolerancePt = 2.0;
using Probes = std::vector<std::tuple<double, double, bool>>; // x, y in twips; ink expected

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
    // Where twips coordinates start on the PDF page, in points.
    static QPointF AreaOrigin(QtPrinter& printer) {
        return printer.Native().pageLayout().paintRect(QPageLayout::Point).topLeft();
    }
    // Page 1 of the output at 72 dpi (a pixel a point), without anti-aliasing.
    QImage Raster() const {
        QProcess process;
        process.start("pdftoppm",
                      QStringLiteral("-r 72 -gray -png -aa no -aaVector no -f 1 -l 1 -singlefile").split(' ')
                          << OutputPath() << dir_.filePath("raster"));
        if (!process.waitForFinished(60000) || process.exitCode() != 0)
            ADD_FAILURE() << "pdftoppm failed: " << process.readAllStandardError().toStdString();
        return QImage(dir_.filePath("raster.png")).convertToFormat(QImage::Format_Grayscale8);
    }
    // Ink is a pixel darker than mid grey within 2 points of the probe; no ink, all pure white.
    static void ExpectInk(const QImage& image, QPointF origin, const Probes& probes) {
        ASSERT_FALSE(image.isNull());
        for (const auto& [x, y, ink] : probes) {
            int darkest = 255;
            for (int dy = -2; dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx) {
                    const QPoint px(int(origin.x() + x / 20) + dx, int(origin.y() + y / 20) + dy);
                    if (image.valid(px))
                        darkest = std::min(darkest, qGray(image.pixel(px)));
                }
            EXPECT_TRUE(ink ? darkest < 128 : darkest == 255) << "at " << x << ", " << y << ": " << darkest;
        }
    }
    // The word's top-left and, when given, its printed width (the measured one within a point).
    static void ExpectAt(const PdfWord* word, QPointF origin, double xTwips, double yTwips,
                         double width = -1) {
        ASSERT_NE(word, nullptr);
        EXPECT_NEAR(word->xMin, origin.x() + xTwips / 20, kTolerancePt);
        EXPECT_NEAR(word->yMin, origin.y() + yTwips / 20, kTolerancePt);
        if (width >= 0) {
            EXPECT_NEAR(word->xMax - word->xMin, width / 20, 1.0);
        }
    }
    QTemporaryDir dir_;
};

TEST_F(PdfPrinterTest, PagesHoldTextAndLinesWhereTheTwipsSayAndBreaksMakeNoTrailingBlankPage) {
    QtPrinter printer(Printers::BuiltInPdfName());
    printer.SetFontName("Arial");
    printer.SetFontSize(12);
    const QPointF origin = AreaOrigin(printer);
    printer.SetCurrentX(1440);
    printer.SetCurrentY(1440);
    printer.Print("AlphaOne");
    const float lineHeight = printer.TextHeight("AlphaOne");
    EXPECT_FLOAT_EQ(printer.CurrentX(), 0.0f);
    EXPECT_FLOAT_EQ(printer.CurrentY(), 1440.0f + lineHeight);
    printer.SetCurrentX(1440);
    printer.Print("AlphaTwo");
    printer.Line(0, 4000, 5000, 4000);
    printer.Box(1000, 5000, 3000, 6000);
    printer.NewPage();
    printer.NewPage(); // two breaks in a row leave a blank page
    printer.SetCurrentX(2880);
    printer.SetCurrentY(720);
    printer.Print("BetaPage");
    printer.NewPage(); // a break right before EndDoc adds none
    printer.EndDoc();
    const PdfDoc doc = ReadPdf(OutputPath());
    ASSERT_EQ(doc.pages, 3);
    ExpectAt(doc.Find("AlphaOne", 1), origin, 1440, 1440, printer.TextWidth("AlphaOne"));
    ExpectAt(doc.Find("AlphaTwo", 1), origin, 1440, 1440 + lineHeight);
    EXPECT_TRUE(doc.WordsOn(2).empty());
    ExpectAt(doc.Find("BetaPage", 3), origin, 2880, 720);
    // On the line, 10 points below it, on the box's left, right and top edges, inside the box.
    const Probes lineAndBox{{2000, 4000, true}, {2000, 4200, false}, {1000, 5500, true},
                            {3000, 5500, true}, {2000, 5000, true},  {2000, 5500, false}};
    ExpectInk(Raster(), origin, lineAndBox);
}

TEST_F(PdfPrinterTest, NothingDrawnWritesNothingAndAnUnwritableOutputIsAPrinterError) {
    QtPrinter printer(Printers::BuiltInPdfName());
    printer.NewPage();
    printer.EndDoc();
    EXPECT_FALSE(QFile::exists(OutputPath()));
    Printers::SetPdfOutputFile(dir_.filePath("missing-folder/out.pdf"));
    EXPECT_EQ(ErrorNumberOf([&] { printer.Print("x"); }), 482);
    EXPECT_FALSE(printer.InDocument());
}

TEST_F(PdfPrinterTest, TimesNewRomanIsMeasuredWithRealMetrics) {
    QtPrinter printer(Printers::BuiltInPdfName());
    printer.SetFontName("Times New Roman");
    printer.SetFontSize(12);
    EXPECT_EQ(QFontInfo(ToTwipsFont(printer.Font())).family(), "Liberation Serif");
    const float wide = printer.TextWidth("MMMM"), height = printer.TextHeight("MMMM");
    EXPECT_GT(wide, 2 * printer.TextWidth("iiii"));
    EXPECT_NEAR(height, 12 * 20 * 1.15, 12 * 20 * 0.1); // a serif line is 1.1 to 1.2 em
    EXPECT_FLOAT_EQ(printer.TextHeight(QString()), height);
    const float serifWidth = printer.TextWidth("Report title");
    printer.SetFontName("Arial");
    EXPECT_NE(printer.TextWidth("Report title"), serifWidth);
    printer.SetFontName("Times New Roman");
    printer.SetFontSize(24);
    EXPECT_NEAR(printer.TextWidth("MMMM"), 2 * wide, 2);
    printer.SetFontSize(12);
    printer.Print("MMMM");
    printer.EndDoc();
    ExpectAt(ReadPdf(OutputPath()).Find("MMMM"), AreaOrigin(printer), 0, 0, wide);
}

TEST_F(PdfPrinterTest, PaperCodesAndOrientationGiveThePageAndAQuarterInchLessPrintableArea) {
    QtPrinter printer(Printers::BuiltInPdfName());
    printer.SetOrientation(Printer::kPortrait);
    const std::tuple<int16_t, float, float> papers[] = {{Printer::kPaperA4, 11906, 16838},
                                                        {Printer::kPaperLegal, 12240, 20160},
                                                        {Printer::kPaperA3, 16838, 23811},
                                                        {Printer::kPaperA5, 8391, 11906},
                                                        {Printer::kPaperLetter, 12240, 15840}};
    for (const auto& [code, width, height] : papers) {
        printer.SetPaperSize(code);
        EXPECT_EQ(printer.PaperSize(), code);
        EXPECT_NEAR(printer.Width(), width, 20) << "paper " << code;
        EXPECT_NEAR(printer.Height(), height, 20) << "paper " << code;
    }
    EXPECT_EQ(ErrorNumberOf([&] { printer.SetPaperSize(0); }), 380);
    EXPECT_EQ(ErrorNumberOf([&] { printer.SetPaperSize(9999); }), 380);
    EXPECT_EQ(printer.PaperSize(), Printer::kPaperLetter);
    EXPECT_NEAR(printer.ScaleWidth(), 12240 - 720, 2);
    EXPECT_NEAR(printer.ScaleHeight(), 15840 - 720, 2);
    printer.SetOrientation(Printer::kLandscape);
    EXPECT_EQ(printer.Orientation(), Printer::kLandscape);
    EXPECT_EQ(QSizeF(printer.Width(), printer.Height()).toSize(), QSize(15840, 12240));
    EXPECT_NEAR(printer.ScaleWidth(), 15840 - 720, 2);
    EXPECT_EQ(ErrorNumberOf([&] { printer.SetOrientation(3); }), 380);
    EXPECT_EQ(printer.Orientation(), Printer::kLandscape);
}

TEST_F(PdfPrinterTest, JobOptionsRoundTripAndSettingsApplyFromTheNextPageOrDocument) {
    QtPrinter printer(Printers::BuiltInPdfName());
    EXPECT_EQ(printer.Copies(), 1);
    EXPECT_EQ(printer.Duplex(), Printer::kSimplex);
    printer.SetDuplex(Printer::kDuplexLongEdge);
    EXPECT_EQ(printer.Duplex(), Printer::kDuplexLongEdge);
    EXPECT_EQ(ErrorNumberOf([&] { printer.SetCopies(0); }), 380);
    EXPECT_EQ(ErrorNumberOf([&] { printer.SetDuplex(4); }), 380);
    EXPECT_EQ(printer.Copies(), 1);
    EXPECT_EQ(printer.Duplex(), Printer::kDuplexLongEdge);
    printer.SetPaperSize(Printer::kPaperA4);
    printer.SetOrientation(Printer::kPortrait);
    printer.Print("Upright");
    ASSERT_TRUE(printer.InDocument());
    printer.SetCopies(2); // stored now, given to the next document
    printer.SetDuplex(Printer::kDuplexShortEdge);
    EXPECT_EQ(printer.Copies(), 2);
    printer.SetOrientation(Printer::kLandscape); // from the next page
    printer.NewPage();
    printer.Print("Sideways");
    printer.EndDoc();
    EXPECT_EQ(printer.Native().copyCount(), 2);
    EXPECT_EQ(printer.Duplex(), Printer::kDuplexShortEdge);
    Printers::SetPdfOutputFile(OutputPath("letter.pdf"));
    printer.SetOrientation(Printer::kPortrait);
    printer.SetPaperSize(Printer::kPaperLetter);
    printer.Print("Letter");
    printer.EndDoc();
    const PdfDoc a4 = ReadPdf(OutputPath()), letter = ReadPdf(OutputPath("letter.pdf"));
    ASSERT_EQ(a4.pageSizesPt.size(), 2u);
    EXPECT_EQ(a4.pageSizesPt[0].toSize(), QSize(595, 842));
    EXPECT_EQ(a4.pageSizesPt[1].toSize(), QSize(842, 595));
    EXPECT_NE(a4.Find("Sideways", 2), nullptr);
    ASSERT_EQ(letter.pages, 1);
    EXPECT_EQ(letter.pageSizesPt[0].toSize(), QSize(612, 792));
}

TEST_F(PdfPrinterTest, PaintPictureDrawsAtItsOwnSizeAndScaledAndClipped) {
    QtPrinter printer(Printers::BuiltInPdfName());
    const QPointF origin = AreaOrigin(printer);
    auto picture = std::make_shared<Picture>(2000, 1000);
    picture->AddText(QPointF(100, 100), FontSpec{.sizePt = 10}, "Pictured");
    picture->AddLine(QPointF(0, 500), QPointF(2000, 500));
    printer.PaintPicture(picture, 1440, 2880);
    printer.PaintPicture(picture, 1440, 7200, 2000, 2000, 0, 0, 1000, 1000); // left half, twice as large
    printer.EndDoc();
    std::vector<PdfWord> words = ReadPdf(OutputPath()).WordsOn(1);
    ASSERT_EQ(words.size(), 2u);
    std::sort(words.begin(), words.end(), [](const auto& a, const auto& b) { return a.yMin < b.yMin; });
    EXPECT_EQ(words[0].text, "Pictured");
    ExpectAt(&words[0], origin, 1440 + 100, 2880 + 100);
    ExpectAt(&words[1], origin, 1440 + 200, 7200 + 200);
    EXPECT_NEAR(words[1].yMax - words[1].yMin, 2 * (words[0].yMax - words[0].yMin), 1.0);
    // The copy at its own size has the whole line (y = 3380); the scaled one (y = 8200) is
    // clipped to its destination, ending at x = 3440 although its line runs twice as far.
    ExpectInk(Raster(), origin, {{3300, 3380, true}, {3000, 8200, true}, {3440 + 200, 8200, false}});
}

TEST_F(PdfPrinterTest, RightToLeftTextIsLaidOutNotPlacedGlyphByGlyph) {
    QtPrinter printer(Printers::BuiltInPdfName());
    auto picture = std::make_shared<Picture>(6000, 1000);
    picture->AddText(QPointF(100, 100), FontSpec{.name = "Arial", .sizePt = 10}, "Shalom");
    picture->AddText(QPointF(3000, 100), FontSpec{.name = "DejaVu Sans", .sizePt = 10},
                     QString::fromUtf8("שלום"));
    printer.PaintPicture(picture, 1440, 1440);
    printer.EndDoc();
    // Drawn right to left, the word reads back in its own order; placed glyph after glyph
    // from the left, it would read back reversed.
    const PdfDoc pdf = ReadPdf(OutputPath());
    ASSERT_EQ(pdf.pages, 1) << pdf.error.toStdString();
    EXPECT_NE(pdf.Find("Shalom"), nullptr);
    // (pdftotext wraps right-to-left words in embedding marks.)
    EXPECT_TRUE(pdf.pageTexts[0].contains(QString::fromUtf8("שלום"))) << pdf.pageTexts[0].toStdString();
}

TEST(PrintersTest, TheListSelectionAndCurrentPrinter) {
    // The spooler's queues, then the built-in PDF printer, which can be hidden.
    EXPECT_EQ(Printers::InstalledNames(), QPrinterInfo::availablePrinterNames() << "PDF");
    Printers::SetBuiltInPdfListed(false);
    EXPECT_FALSE(Printers::InstalledNames().contains("PDF"));
    Printers::SetBuiltInPdfListed(true);
    // Current is created once: the system default, else the PDF printer.
    Printers::SetCurrent(nullptr);
    const QPrinterInfo systemDefault = QPrinterInfo::defaultPrinter();
    Printer& current = Printers::Current();
    EXPECT_EQ(current.DeviceName(), systemDefault.isNull() ? "PDF" : systemDefault.printerName());
    EXPECT_EQ(&Printers::Current(), &current);
    Printers::SelectByName("PDF");
    EXPECT_EQ(Printers::Current().DeviceName(), "PDF");
    Printers::Current().SetCopies(4);
    EXPECT_EQ(ErrorNumberOf([] { Printers::SelectByName("No Such Printer 7f3a"); }), 482);
    EXPECT_EQ(ErrorNumberOf([] { Printers::SelectByName("pdf"); }), 482) << "names match with case";
    EXPECT_EQ(Printers::Current().Copies(), 4) << "a failed selection keeps the current printer";
    Printers::SetBuiltInPdfListed(false); // hidden, it can still be selected
    Printers::SelectByName("PDF");
    EXPECT_EQ(Printers::Current().Copies(), 1) << "selecting makes a fresh printer object";
    Printers::SetBuiltInPdfListed(true);
    Printers::SetCurrent(nullptr);
}

} // namespace
} // namespace telmo
