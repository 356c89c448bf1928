// The pieces of the PDF writer: the numbers it writes, and the TrueType subsets it embeds,
// loaded back as fonts of their own.
#include "platform/pdf/PdfWriter.h"
#include "platform/pdf/TrueTypeFont.h"

#include <QDataStream>
#include <QFont>
#include <QPainterPath>
#include <QRawFont>
#include <gtest/gtest.h>

namespace telmo {
namespace {

// The file read as big-endian 32-bit words, zero-padded, added up.
quint32 Sum(QByteArray data) {
    data.append(QByteArray((4 - data.size() % 4) % 4, '\0'));
    QDataStream in(data);
    quint32 sum = 0, word = 0;
    while (!in.atEnd()) {
        in >> word;
        sum += word;
    }
    return sum;
}

quint32 GlyphOf(const QRawFont& font, QChar ch) {
    const QList<quint32> glyphs = font.glyphIndexesForString(QString(ch));
    return glyphs.size() == 1 ? glyphs[0] : 0;
}

// Each face the reports use: the glyphs a document drew keep their outlines under their own
// numbers, composite glyphs bring the glyphs they are built from, and the rest are empty.
TEST(TrueTypeFontTest, ASubsetDrawsTheUsedGlyphsAsTheFaceDoesAndNothingElse) {
    for (const auto& [family, bold] : {std::pair{"Arial", false}, {"Times New Roman", true}}) {
        SCOPED_TRACE(family);
        QFont qfont(family);
        qfont.setBold(bold);
        qfont.setPixelSize(1000);
        const QRawFont face = QRawFont::fromFont(qfont);
        const TrueTypeFont ttf(face);
        ASSERT_TRUE(ttf.IsValid());
        EXPECT_FALSE(ttf.PostScriptName().contains(' '));
        EXPECT_GT(ttf.Ascent(), 0);
        EXPECT_LT(ttf.Descent(), 0);

        // "é" is built from "e" and an accent in these faces; "e" itself is not drawn.
        const QString drawn = QString::fromUtf8("Héllo, Ång 42");
        std::vector<bool> used(ttf.GlyphCount(), false);
        for (const QChar ch : drawn)
            used[GlyphOf(face, ch)] = true;
        const quint32 e = GlyphOf(face, u'e'), z = GlyphOf(face, u'Z');
        ASSERT_FALSE(used[e]);
        const QByteArray data = ttf.Subset(used);
        EXPECT_EQ(data.size() % 4, 0);
        EXPECT_EQ(Sum(data), 0xB1B0AFBAu) << "the whole file sums to the font's magic number";

        const QRawFont subset(data, 1000);
        ASSERT_TRUE(subset.isValid());
        for (const QChar ch : drawn) {
            const quint32 glyph = GlyphOf(face, ch);
            EXPECT_EQ(subset.pathForGlyph(glyph), face.pathForGlyph(glyph)) << "glyph of " << ch.toLatin1();
            EXPECT_NEAR(subset.advancesForGlyphIndexes({glyph})[0].x(),
                        face.advancesForGlyphIndexes({glyph})[0].x(), 0.01);
        }
        EXPECT_EQ(subset.pathForGlyph(e), face.pathForGlyph(e)) << "a part of a composite glyph comes along";
        EXPECT_TRUE(subset.pathForGlyph(z).isEmpty());
        EXPECT_LT(data.size(), face.fontTable("glyf").size() / 4) << "a subset of a dozen glyphs is small";
    }
}

TEST(PdfWriterTest, NumbersHaveAtMostThreeDecimalsAndNoExponent) {
    const std::vector<std::pair<double, const char*>> cases = {
        {0, "0"},
        {-0.0001, "0"},
        {1, "1"},
        {-1.5, "-1.5"},
        {-0.25, "-0.25"},
        {0.05, "0.05"},
        {0.005, "0.005"},
        {1.0004, "1"},
        {2.9996, "3"},
        {12345.678, "12345.678"},
        {1e-9, "0"},
        {1e12, "1000000000000"},
        {-15762.1718, "-15762.172"},
    };
    for (const auto& [value, text] : cases) {
        QByteArray out("x ");
        AppendPdfNumber(out, value);
        EXPECT_EQ(out, QByteArray("x ") + text + ' ') << value;
    }
}

} // namespace
} // namespace telmo
