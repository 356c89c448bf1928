// The Qt printer binding on the built-in PDF printer, read back with poppler.
#include "platform/print/QtPrinter.h"
#include "support/AutomationError.h"
#include "support/PdfText.h"

#include <QFile>
#include <QImage>
#include <QPageLayout>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>

namespace telmo {
namespace {

using test::ErrorOf;
using test::PdfDoc;
using test::PdfWord;
using test::ReadPdf;

using Probes = std::vector<std::tuple<double, double, bool>>; // x, y in twips; ink expected

class PdfPrinterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        Printers::SetPdfOutputFile(OutputPath());
    }
    void TearDown() override { Printers::SetPdfOutputFile(QString()); }

    QString OutputPath(const QString& name = "out.pdf") const { return dir_.filePath(name); }
    // Where twips coordinates start on the PDF page, in points.
    QPointF Origin() { return printer.Native().pageLayout().paintRect(QPageLayout::Point).topLeft(); }
    // Ink (darker than mid grey) or pure white within 2 points of each probe, 72 dpi, no anti-aliasing.
    void ExpectInk(const Probes& probes) {
        QProcess pdftoppm;
        pdftoppm.start("pdftoppm",
                       QString("-r 72 -gray -png -aa no -aaVector no -f 1 -l 1 -singlefile").split(' ')
                           << OutputPath() << dir_.filePath("raster"));
        ASSERT_TRUE(pdftoppm.waitForFinished(60000) && pdftoppm.exitCode() == 0);
        const QImage image = QImage(dir_.filePath("raster.png")).convertToFormat(QImage::Format_Grayscale8);
        ASSERT_FALSE(image.isNull());
        for (const auto& [x, y, ink] : probes) {
            int darkest = 255;
            for (int dy = -2; dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx) {
                    const QPoint px(int(Origin().x() + x / 20) + dx, int(Origin().y() + y / 20) + dy);
                    if (image.valid(px))
                        darkest = std::min(darkest, qGray(image.pixel(px)));
                }
            EXPECT_TRUE(ink ? darkest < 128 : darkest == 255) << "at " << x << ", " << y << ": " << darkest;
        }
    }
    // The word's top-left within 2 points (pdftotext boxes start at the glyph origin and the
    // font's ascent) and, when given, its printed width within a point.
    void ExpectAt(const PdfWord* word, double xTwips, double yTwips, double width = -1) {
        ASSERT_NE(word, nullptr);
        EXPECT_NEAR(word->xMin, Origin().x() + xTwips / 20, 2.0);
        EXPECT_NEAR(word->yMin, Origin().y() + yTwips / 20, 2.0);
        if (width >= 0) {
            EXPECT_NEAR(word->xMax - word->xMin, width / 20, 1.0);
        }
    }
    QTemporaryDir dir_;
    QtPrinter printer{Printers::BuiltInPdfName()};
};

TEST_F(PdfPrinterTest, PagesHoldTextAndLinesWhereTheTwipsSayAndBreaksMakeNoTrailingBlankPage) {
    printer.SetFontName("Arial");
    printer.SetFontSize(12);
    printer.SetCurrentX(1440);
    printer.SetCurrentY(1440);
    printer.Print("AlphaOne");
    printer.SetCurrentX(1440); // Print moved the position to the next line's left edge
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
    ExpectAt(doc.Find("AlphaOne", 1), 1440, 1440, printer.TextWidth("AlphaOne"));
    ExpectAt(doc.Find("AlphaTwo", 1), 1440, 1440 + printer.TextHeight("AlphaOne"));
    EXPECT_TRUE(doc.WordsOn(2).empty());
    ExpectAt(doc.Find("BetaPage", 3), 2880, 720);
    // On the line, 10 points below it, on the box's left, right and top edges, inside the box.
    // clang-format off
    ExpectInk({{2000, 4000, true}, {2000, 4200, false}, {1000, 5500, true}, {3000, 5500, true}, {2000, 5000, true},
               {2000, 5500, false}});
    // clang-format on
}

TEST_F(PdfPrinterTest, NothingDrawnWritesNothingAndAnUnwritableOutputIsAPrinterError) {
    printer.NewPage();
    printer.EndDoc();
    EXPECT_FALSE(QFile::exists(OutputPath()));
    Printers::SetPdfOutputFile(dir_.filePath("missing-folder/out.pdf"));
    EXPECT_EQ(ErrorOf([&] { printer.Print("x"); }), 482);
    // Told once: the rest of the document is dropped without a word until it ends.
    EXPECT_TRUE(printer.InDocument());
    EXPECT_EQ(ErrorOf([&] { printer.NewPage(), printer.Print("y"); }), 0);
    printer.EndDoc();
    EXPECT_FALSE(printer.InDocument());
    Printers::SetPdfOutputFile(OutputPath());
    printer.Print("z");
    printer.EndDoc();
    EXPECT_EQ(ReadPdf(OutputPath()).pages, 1);
}

TEST_F(PdfPrinterTest, PaperCodesAndOrientationGiveThePageAndAQuarterInchLessPrintableArea) {
    printer.SetOrientation(Printer::kPortrait);
    // clang-format off
    const std::tuple<int16_t, float, float> papers[] = {{Printer::kPaperA4, 11906, 16838}, {Printer::kPaperLegal, 12240, 20160},
        {Printer::kPaperA3, 16838, 23811}, {Printer::kPaperA5, 8391, 11906}, {Printer::kPaperLetter, 12240, 15840}};
    // clang-format on
    for (const auto& [code, width, height] : papers) {
        printer.SetPaperSize(code);
        EXPECT_EQ(printer.PaperSize(), code);
        EXPECT_NEAR(printer.Width(), width, 20) << "paper " << code;
        EXPECT_NEAR(printer.Height(), height, 20) << "paper " << code;
    }
    EXPECT_EQ(ErrorOf([&] { printer.SetPaperSize(0); }), 380);
    EXPECT_EQ(ErrorOf([&] { printer.SetPaperSize(9999); }), 380);
    EXPECT_EQ(printer.PaperSize(), Printer::kPaperLetter);
    EXPECT_NEAR(printer.ScaleWidth(), 12240 - 720, 2);
    EXPECT_NEAR(printer.ScaleHeight(), 15840 - 720, 2);
    printer.SetOrientation(Printer::kLandscape);
    EXPECT_EQ(QSizeF(printer.Width(), printer.Height()).toSize(), QSize(15840, 12240));
    EXPECT_NEAR(printer.ScaleWidth(), 15840 - 720, 2);
    EXPECT_EQ(ErrorOf([&] { printer.SetOrientation(3); }), 380);
    EXPECT_EQ(printer.Orientation(), Printer::kLandscape);
}

TEST_F(PdfPrinterTest, CopiesAndDuplexCodesAndSettingsApplyFromTheNextPageOrDocument) {
    EXPECT_EQ(std::tuple(printer.Copies(), printer.Duplex()), std::tuple(1, Printer::kSimplex));
    printer.SetDuplex(Printer::kDuplexLongEdge);
    EXPECT_EQ(ErrorOf([&] { printer.SetCopies(0); }), 380);
    EXPECT_EQ(ErrorOf([&] { printer.SetDuplex(4); }), 380);
    EXPECT_EQ(std::tuple(printer.Copies(), printer.Duplex()), std::tuple(1, Printer::kDuplexLongEdge));
    printer.SetPaperSize(Printer::kPaperA4);
    printer.SetOrientation(Printer::kPortrait);
    printer.Print("Upright");
    printer.SetCopies(2); // stored now, given to the next document
    printer.SetDuplex(Printer::kDuplexShortEdge);
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
    ASSERT_EQ(letter.pageSizesPt.size(), 1u);
    EXPECT_EQ(letter.pageSizesPt[0].toSize(), QSize(612, 792));
}

TEST_F(PdfPrinterTest, PaintPictureDrawsAtItsOwnSizeAndScaledAndClipped) {
    auto picture = std::make_shared<Picture>(2000, 1000);
    picture->AddText(QPointF(100, 100), FontSpec{.sizePt = 10}, "Pictured");
    picture->AddLine(QPointF(0, 500), QPointF(2000, 500));
    printer.PaintPicture(picture, 1440, 2880);
    printer.PaintPicture(picture, 1440, 7200, 2000, 2000, 0, 0, 1000, 1000); // left half, twice as large
    printer.EndDoc();
    std::vector<PdfWord> words = ReadPdf(OutputPath()).WordsOn(1);
    ASSERT_EQ(words.size(), 2u);
    std::ranges::sort(words, {}, &PdfWord::yMin);
    EXPECT_EQ(words[0].text, "Pictured");
    ExpectAt(&words[0], 1440 + 100, 2880 + 100);
    ExpectAt(&words[1], 1440 + 200, 7200 + 200);
    EXPECT_NEAR(words[1].yMax - words[1].yMin, 2 * (words[0].yMax - words[0].yMin), 1.0);
    // The copy at its own size has the whole line (y = 3380); the scaled one (y = 8200) is
    // clipped to its destination, ending at x = 3440 although its line runs twice as far.
    ExpectInk({{3300, 3380, true}, {3000, 8200, true}, {3440 + 200, 8200, false}});
}

} // namespace
} // namespace telmo
