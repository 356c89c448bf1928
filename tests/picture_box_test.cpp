#include "platform/PictureBox.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPixmap>
#include <gtest/gtest.h>
#include <variant>

namespace telmo {
namespace {

template <typename T> int CountOps(const Picture& picture) {
    int n = 0;
    for (const Picture::Op& op : picture.Ops())
        n += std::holds_alternative<T>(op) ? 1 : 0;
    return n;
}

// The pictures an Image is made of: its PictureOps, in order.
std::vector<Picture::PictureOp> Layers(const Picture& picture) {
    std::vector<Picture::PictureOp> result;
    for (const Picture::Op& op : picture.Ops())
        if (const auto* nested = std::get_if<Picture::PictureOp>(&op))
            result.push_back(*nested);
    return result;
}

std::shared_ptr<Picture> PictureOfTwoLines(double width, double height) {
    auto picture = std::make_shared<Picture>(width, height);
    picture->AddLine(QPointF(0, 0), QPointF(width, 0));
    picture->AddLine(QPointF(0, height), QPointF(width, height));
    return picture;
}

// The darkest grey value in a small square around (x, y): the exact pixel row of a
// one-pixel line depends on the rasteriser's rounding rule.
int DarkestNear(const QImage& image, int x, int y, int radius = 1) {
    int darkest = 255;
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx)
            if (image.valid(x + dx, y + dy))
                darkest = std::min(darkest, qGray(image.pixel(x + dx, y + dy)));
    return darkest;
}

TEST(PictureBoxTest, BorderTakesFifteenTwipsEachSide) {
    PictureBox box;
    box.Move(150, 300, 3000, 2000);
    EXPECT_TRUE(box.HasBorder());
    EXPECT_FLOAT_EQ(box.Left(), 150);
    EXPECT_FLOAT_EQ(box.Top(), 300);
    EXPECT_FLOAT_EQ(box.Width(), 3000);
    EXPECT_FLOAT_EQ(box.Height(), 2000);
    EXPECT_FLOAT_EQ(box.ScaleWidth(), 2970);
    EXPECT_FLOAT_EQ(box.ScaleHeight(), 1970);
    EXPECT_EQ(box.geometry(), QRect(10, 20, 200, 133));

    box.SetBorder(false);
    EXPECT_FLOAT_EQ(box.ScaleWidth(), 3000);
    EXPECT_FLOAT_EQ(box.ScaleHeight(), 2000);

    box.SetWidth(4500);
    box.SetHeight(1500);
    box.SetLeft(-300);
    box.SetTop(45);
    EXPECT_EQ(box.geometry(), QRect(-20, 3, 300, 100));
}

TEST(PictureBoxTest, NegativeSizeMakesAnEmptyBox) {
    PictureBox box;
    box.SetHeight(-500);
    EXPECT_FLOAT_EQ(box.Height(), 0);
    EXPECT_FLOAT_EQ(box.ScaleHeight(), 0);
    EXPECT_EQ(box.height(), 0);
}

TEST(PictureBoxTest, AutoSizeTakesThePictureSizePlusBorder) {
    PictureBox box;
    box.SetAutoSize(true);
    box.SetPicture(PictureOfTwoLines(1500, 900));
    EXPECT_FLOAT_EQ(box.Width(), 1530);
    EXPECT_FLOAT_EQ(box.Height(), 930);
    EXPECT_FLOAT_EQ(box.ScaleWidth(), 1500);
    EXPECT_FLOAT_EQ(box.ScaleHeight(), 900);
    EXPECT_EQ(box.size(), QSize(102, 62));

    box.SetBorder(false);
    EXPECT_FLOAT_EQ(box.Width(), 1500);
    EXPECT_FLOAT_EQ(box.ScaleWidth(), 1500);

    PictureBox fixed;
    fixed.Move(0, 0, 600, 600);
    fixed.SetPicture(PictureOfTwoLines(1500, 900));
    EXPECT_FLOAT_EQ(fixed.Width(), 600) << "without AutoSize the box keeps its size";
}

TEST(PictureBoxTest, ImageHoldsBackgroundPictureAndWhatWasDrawnSince) {
    PictureBox box;
    box.SetBorder(false);
    box.Move(0, 0, 3000, 2000);
    const auto picture = PictureOfTwoLines(1500, 900);
    box.SetPicture(picture);
    EXPECT_EQ(box.Picture(), picture);
    box.Line(0, 100, 200, 100);
    box.Box(10, 10, 50, 50);
    box.SetCurrentX(300);
    box.SetCurrentY(400);
    box.Print(QStringLiteral("Drawn"));

    const PicturePtr image = box.Image();
    ASSERT_TRUE(image);
    EXPECT_DOUBLE_EQ(image->Width(), 3000);
    EXPECT_DOUBLE_EQ(image->Height(), 2000);
    ASSERT_EQ(image->Ops().size(), 3u);
    ASSERT_TRUE(std::holds_alternative<Picture::FillOp>(image->Ops()[0]));
    const auto& fill = std::get<Picture::FillOp>(image->Ops()[0]);
    EXPECT_EQ(fill.rect, QRectF(0, 0, 3000, 2000));
    EXPECT_EQ(fill.color, QColor(Qt::white));

    const std::vector<Picture::PictureOp> layers = Layers(*image);
    ASSERT_EQ(layers.size(), 2u);
    EXPECT_EQ(layers[0].picture, picture);
    EXPECT_EQ(layers[0].dest, QRectF(0, 0, 1500, 900));
    EXPECT_EQ(layers[0].source, QRectF(0, 0, 1500, 900));
    const Picture& drawn = *layers[1].picture;
    EXPECT_EQ(drawn.Ops().size(), 3u);
    EXPECT_EQ(CountOps<Picture::LineOp>(drawn), 1);
    EXPECT_EQ(CountOps<Picture::BoxOp>(drawn), 1);
    ASSERT_EQ(CountOps<Picture::TextOp>(drawn), 1);
    const auto& text = std::get<Picture::TextOp>(drawn.Ops()[2]);
    EXPECT_EQ(text.text, QStringLiteral("Drawn"));
    EXPECT_EQ(text.topLeft, QPointF(300, 400));
    EXPECT_EQ(text.font, box.Font());
}

TEST(PictureBoxTest, ImageIsASnapshot) {
    PictureBox box;
    box.Line(0, 0, 100, 100);
    const PicturePtr before = box.Image();
    box.Line(0, 0, 200, 200);
    const PicturePtr after = box.Image();
    EXPECT_EQ(Layers(*before).at(0).picture->Ops().size(), 1u)
        << "later drawing must not change an earlier Image";
    EXPECT_EQ(Layers(*after).at(0).picture->Ops().size(), 2u);
}

TEST(PictureBoxTest, ImageBecomesThePictureAndDrawingStartsOver) {
    // The preview composes a page this way: draw, then take the Image as the new Picture.
    PictureBox box;
    box.SetBorder(false);
    box.SetAutoSize(true);
    box.SetPicture(PictureOfTwoLines(1000, 500));
    box.Box(0, 0, box.ScaleWidth(), box.ScaleHeight());
    box.SetPicture(box.Image());
    EXPECT_FLOAT_EQ(box.Width(), 1000);
    const PicturePtr image = box.Image();
    const std::vector<Picture::PictureOp> layers = Layers(*image);
    ASSERT_EQ(layers.size(), 1u) << "nothing drawn since the new picture";
    const std::vector<Picture::PictureOp> inner = Layers(*layers[0].picture);
    ASSERT_EQ(inner.size(), 2u);
    EXPECT_EQ(CountOps<Picture::BoxOp>(*inner[1].picture), 1);
}

TEST(PictureBoxTest, NoPictureClearsPictureAndDrawing) {
    PictureBox box;
    box.SetPicture(PictureOfTwoLines(100, 100));
    box.Line(0, 0, 10, 10);
    box.SetPicture(nullptr);
    EXPECT_EQ(box.Picture(), nullptr);
    const PicturePtr image = box.Image();
    ASSERT_EQ(image->Ops().size(), 1u);
    EXPECT_TRUE(std::holds_alternative<Picture::FillOp>(image->Ops()[0]));
}

TEST(PictureBoxTest, BothPaintPictureFormsRecordDestinationAndSource) {
    PictureBox box;
    const auto picture = PictureOfTwoLines(1200, 800);
    box.PaintPicture(picture, 100, 200);
    box.PaintPicture(picture, 500, 100, 600, 400, 0, 0, 1200, 800);
    const std::vector<Picture::PictureOp> layers = Layers(*box.Image());
    ASSERT_EQ(layers.size(), 1u);
    const std::vector<Picture::PictureOp> painted = Layers(*layers[0].picture);
    ASSERT_EQ(painted.size(), 2u);
    EXPECT_EQ(painted[0].picture, picture);
    EXPECT_EQ(painted[0].dest, QRectF(100, 200, 1200, 800));
    EXPECT_EQ(painted[0].source, QRectF(0, 0, 1200, 800));
    EXPECT_EQ(painted[1].dest, QRectF(500, 100, 600, 400));
    EXPECT_EQ(painted[1].source, QRectF(0, 0, 1200, 800));
}

TEST(PictureBoxTest, TextMetricsAreTheFontsInTwips) {
    PictureBox box;
    box.SetFontName(QStringLiteral("Arial"));
    box.SetFontSize(10);
    const QFontMetricsF metrics(ToTwipsFont(box.Font()));
    EXPECT_FLOAT_EQ(box.TextWidth(QStringLiteral("Page 1 of 2")),
                    static_cast<float>(metrics.horizontalAdvance(QStringLiteral("Page 1 of 2"))));
    EXPECT_FLOAT_EQ(box.TextHeight(QString()), static_cast<float>(metrics.height()));
    EXPECT_GT(box.TextWidth(QStringLiteral("WWW")), box.TextWidth(QStringLiteral("lll")));
    box.SetFontBold(true);
    EXPECT_GT(box.TextWidth(QStringLiteral("Page 1 of 2")),
              static_cast<float>(metrics.horizontalAdvance(QStringLiteral("Page 1 of 2"))));
}

TEST(PictureBoxTest, RendersBorderBackgroundPictureAndDrawing) {
    PictureBox box;
    box.Move(0, 0, 3000, 1500); // 200 x 100 px, inner area from (1, 1)
    auto picture = std::make_shared<Picture>(3000, 1500);
    picture->AddLine(QPointF(0, 900), QPointF(1500, 900)); // row 60 of the inner area
    box.SetPicture(picture);
    box.Line(0, 300, 1500, 300); // row 20 of the inner area
    const QImage image = box.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(image.size(), QSize(200, 100));

    EXPECT_LT(qGray(image.pixel(0, 50)), 128) << "left border";
    EXPECT_LT(qGray(image.pixel(100, 0)), 128) << "top border";
    EXPECT_LT(DarkestNear(image, 1 + 50, 1 + 20), 64) << "drawn line";
    EXPECT_LT(DarkestNear(image, 1 + 50, 1 + 60), 64) << "the picture's line";
    EXPECT_EQ(image.pixel(1 + 50, 1 + 40), qRgb(255, 255, 255)) << "background between the lines";
    EXPECT_EQ(image.pixel(1 + 150, 1 + 20), qRgb(255, 255, 255)) << "right of where the line ends";

    box.SetBackColor(QColor(200, 220, 240));
    const QImage tinted = box.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(tinted.pixel(1 + 50, 1 + 40), qRgb(200, 220, 240));
    EXPECT_EQ(box.Image()->Ops().size(), 3u);
    EXPECT_EQ(std::get<Picture::FillOp>(box.Image()->Ops()[0]).color, QColor(200, 220, 240));
}

TEST(PictureBoxTest, DrawingIsClippedToTheInnerArea) {
    PictureBox box;
    box.Move(0, 0, 1500, 1500); // 100 x 100 px
    box.Line(-3000, 750, 3000, 750);
    const QImage image = box.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_LT(DarkestNear(image, 50, 51), 64);
    // The border keeps its colours where the line would cross it.
    EXPECT_EQ(qGray(image.pixel(0, 51)), qGray(image.pixel(0, 20)));
    EXPECT_EQ(qGray(image.pixel(99, 51)), qGray(image.pixel(99, 20)));
}

} // namespace
} // namespace telmo
