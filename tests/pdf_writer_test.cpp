// The PDF writer's numbers, and the font subsets it embeds loaded back as fonts of their own.
#include "platform/pdf/FontProgram.h"
#include "platform/pdf/PdfPainter.h"
#include "platform/pdf/PdfWriter.h"
#include "support/CommandRun.h"
#include "support/PdfText.h"

#include <QFile>
#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QRawFont>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>

namespace telmo {
namespace {

quint32 GlyphOf(const QRawFont& font, QChar ch) {
    const QList<quint32> glyphs = font.glyphIndexesForString(QString(ch));
    return glyphs.size() == 1 ? glyphs[0] : 0;
}

// TrueType and CFF: the glyphs drawn keep their outlines and advances, packed into the first numbers
// (composites bring their parts), nothing else comes along; a TrueType whose last long metric is unused.
TEST(FontProgramTest, ASubsetDrawsTheUsedGlyphsAsTheFaceDoesAndNothingElse) {
    struct Face {
        const char* family;
        bool bold;
        FontProgram::Outlines outlines;
    };
    for (const Face& f : {Face{"Arial", false, FontProgram::Outlines::TrueType},
                          Face{"Times New Roman", true, FontProgram::Outlines::TrueType},
                          Face{"DejaVu Sans Mono", false, FontProgram::Outlines::TrueType},
                          Face{"Noto Sans CJK SC", false, FontProgram::Outlines::Cff}}) {
        SCOPED_TRACE(f.family);
        QFont qfont(f.family);
        qfont.setBold(f.bold);
        qfont.setPixelSize(1000);
        const QRawFont face = QRawFont::fromFont(qfont);
        const FontProgram program(face);
        ASSERT_EQ(program.Kind(), f.outlines);
        EXPECT_FALSE(program.PostScriptName().contains(' '));
        EXPECT_GT(program.Ascent(), 0);
        EXPECT_LT(program.Descent(), 0);

        const QString drawn = QString::fromUtf8("Héllo, Ång 42");
        std::vector<quint32> used;
        for (const QChar ch : drawn)
            used.push_back(GlyphOf(face, ch));
        const quint32 e = GlyphOf(face, u'e'), z = GlyphOf(face, u'Z');
        ASSERT_FALSE(std::ranges::count(used, e));
        std::ranges::sort(used);
        const FontSubset packed = program.Subset(used);
        const QRawFont subset(packed.program, 1000);
        ASSERT_TRUE(subset.isValid());
        for (const QChar ch : drawn) {
            const quint32 glyph = GlyphOf(face, ch);
            EXPECT_EQ(subset.pathForGlyph(packed.GlyphOf(glyph)), face.pathForGlyph(glyph))
                << "glyph of " << ch.toLatin1();
            EXPECT_NEAR(subset.advancesForGlyphIndexes({packed.GlyphOf(glyph)})[0].x(),
                        face.advancesForGlyphIndexes({glyph})[0].x(), 0.01);
        }
        EXPECT_EQ(packed.GlyphOf(z), 0u);
        const QByteArray maxp = subset.fontTable("maxp"); // none in a bare CFF table
        EXPECT_LT(maxp.size() > 6 ? quint8(maxp[4]) << 8 | quint8(maxp[5]) : 0, 40) << "glyphs packed";
        EXPECT_LT(packed.program.size(), 64 * 1024) << "a subset of a dozen glyphs is small";
    }
}

// Every kind of face reads back: Type 1 (no tables from Qt) as Type 3, colour bitmaps as images under
// unseen text. Lines are a pixel wide in MuPDF too, which draws a zero width as a faint quarter pixel.
TEST(PdfWriterTest, EveryKindOfFacePrintsTextThatReadsBack) {
    QTemporaryDir dir;
    const QString path = dir.filePath("faces.pdf");
    const std::vector<std::pair<const char*, QString>> rows = {
        {"Liberation Sans", "Quantity 335"},
        {"Noto Sans CJK SC", QString::fromUtf8("你好世界")},
        {"Nimbus Sans", "Nimbus 42"},
        {"Noto Color Emoji", QString::fromUtf8("😀")}};
    Picture picture(9000, 4000);
    for (size_t i = 0; i < rows.size(); ++i)
        picture.AddText(QPointF(100, 100 + 800 * double(i)), FontSpec{.name = rows[i].first, .sizePt = 14},
                        rows[i].second);
    picture.AddLine(QPointF(0, 3600), QPointF(9000, 3600)); // 180 pt below the top, 2.5 inches
    const auto write = [&picture](const QString& to) {
        {
            QFile file(to);
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
            PdfWriter writer(file, "Faces", QString());
            writer.BeginPage(QSizeF(595, 842), QPointF(0, 0));
            PdfPainter(writer).Play(picture);
            EXPECT_TRUE(writer.Finish());
        }
        // The same document again, its faces now loaded: the same bytes but for the date and ID.
        return QString::fromLatin1(test::ReadFile(to)).remove(QRegularExpression("\\(D:.*\\)|/ID \\[.*\\]"));
    };
    ASSERT_TRUE(write(path) == write(dir.filePath("again.pdf"))) << "the second one differs";
    const test::PdfDoc pdf = test::ReadPdf(path);
    ASSERT_EQ(pdf.pages, 1) << pdf.error.toStdString();
    const QString mupdf = test::MuPdfText(path);
    for (const auto& [family, text] : rows) {
        EXPECT_TRUE(pdf.pageTexts[0].contains(text)) << family << " in pdftotext:\n"
                                                     << pdf.pageTexts[0].toStdString();
        EXPECT_TRUE(mupdf.contains(text)) << family << " in mutool:\n" << mupdf.toStdString();
    }
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QString fontList = test::RunProgram("pdffonts", {path}, env).out, png = dir.filePath("page.png");
    EXPECT_TRUE(fontList.contains("CID Type 0C ") && fontList.contains("CID TrueType"))
        << fontList.toStdString();
    EXPECT_GE(test::RunProgram("pdfimages", {"-list", path}, env).out.count(" image "), 1);
    test::RunProgram("mutool", {"draw", "-q", "-r", "96", "-o", png, path}, env);
    const QImage page(png);
    ASSERT_FALSE(page.isNull());
    int ink = 0; // 255 for each pixel of black across the line
    for (int y = 236; y <= 244; ++y)
        ink += 255 - qGray(page.pixel(300, y));
    EXPECT_GT(ink, 200) << "the line's ink adds up to a pixel";
    QFont nimbus("Nimbus Sans");
    if (!QRawFont::fromFont(nimbus).fontTable("head").isEmpty())
        GTEST_SKIP() << "Nimbus Sans is not a Type 1 face here (fonts-urw-base35 not installed)";
    EXPECT_TRUE(fontList.contains("Type 3")) << fontList.toStdString();
}

TEST(PdfWriterTest, NumbersHaveAtMostThreeDecimalsAndNoExponent) {
    // clang-format off
    const std::vector<std::pair<double, const char*>> cases = {
        {0, "0"}, {-0.0001, "0"}, {1, "1"}, {-1.5, "-1.5"}, {-0.25, "-0.25"}, {0.05, "0.05"}, {0.005, "0.005"},
        {1.0004, "1"}, {2.9996, "3"}, {12345.678, "12345.678"}, {1e-9, "0"}, {1e12, "1000000000000"},
        {-15762.1718, "-15762.172"},
    };
    // clang-format on
    for (const auto& [value, text] : cases) {
        QByteArray out("x ");
        AppendPdfNumber(out, value);
        EXPECT_EQ(out, QByteArray("x ") + text + ' ') << value;
    }
}

} // namespace
} // namespace telmo
