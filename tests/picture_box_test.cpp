#include "platform/ui/PictureBox.h"

#include <QImage>
#include <QPixmap>
#include <gtest/gtest.h>
#include <variant>

namespace telmo {
namespace {

using Layer = Picture::PictureOp;

// The pictures an Image is made of: its PictureOps, in order.
std::vector<Layer> Layers(const Picture& picture) {
    std::vector<Layer> result;
    for (const Picture::Op& op : picture.Ops())
        if (const auto* nested = std::get_if<Layer>(&op))
            result.push_back(*nested);
    return result;
}

std::shared_ptr<Picture> TwoLines(double width, double height) {
    auto picture = std::make_shared<Picture>(width, height);
    picture->AddLine(QPointF(0, 0), QPointF(width, 0));
    picture->AddLine(QPointF(0, height), QPointF(width, height));
    return picture;
}

QSizeF Outer(const PictureBox& b) {
    return QSizeF(b.Width(), b.Height());
}
QSizeF Inner(const PictureBox& b) {
    return QSizeF(b.ScaleWidth(), b.ScaleHeight());
}

TEST(PictureBoxTest, BorderTakesFifteenTwipsEachSideAndGeometryIsInPixels) {
    PictureBox box;
    box.Move(150, 300, 3000, 2000);
    EXPECT_TRUE(box.HasBorder());
    EXPECT_EQ(QPointF(box.Left(), box.Top()), QPointF(150, 300));
    EXPECT_EQ(Inner(box), QSizeF(2970, 1970));
    EXPECT_EQ(box.geometry(), QRect(10, 20, 200, 133));
    box.SetBorder(false);
    EXPECT_EQ(Inner(box), QSizeF(3000, 2000));
    box.Move(-300, 45, 4500, 1500);
    EXPECT_EQ(box.geometry(), QRect(-20, 3, 300, 100));
    box.SetHeight(-500); // a negative size makes an empty box
    EXPECT_EQ(Outer(box).height(), 0);
    EXPECT_EQ(box.height(), 0);
}

TEST(PictureBoxTest, AutoSizeTakesThePictureSizePlusBorder) {
    PictureBox box, fixed;
    box.SetAutoSize(true);
    box.SetPicture(TwoLines(1500, 900));
    EXPECT_EQ(Outer(box), QSizeF(1530, 930));
    EXPECT_EQ(Inner(box), QSizeF(1500, 900));
    EXPECT_EQ(box.size(), QSize(102, 62));
    box.SetBorder(false);
    EXPECT_EQ(Outer(box), QSizeF(1500, 900));
    fixed.Move(0, 0, 600, 600);
    fixed.SetPicture(TwoLines(1500, 900));
    EXPECT_EQ(fixed.Width(), 600) << "without AutoSize the box keeps its size";
}

TEST(PictureBoxTest, ImageIsBackgroundPictureAndWhatWasDrawnSince) {
    PictureBox box;
    box.SetBorder(false);
    box.Move(0, 0, 3000, 2000);
    const auto picture = TwoLines(1500, 900);
    box.SetPicture(picture);
    box.Line(0, 100, 200, 100);
    box.Box(10, 10, 50, 50);
    box.SetCurrentX(300);
    box.SetCurrentY(400);
    box.Print(QStringLiteral("Drawn"));

    const PicturePtr image = box.Image();
    EXPECT_EQ(QSizeF(image->Width(), image->Height()), QSizeF(3000, 2000));
    ASSERT_EQ(image->Ops().size(), 3u);
    const auto* fill = std::get_if<Picture::FillOp>(&image->Ops()[0]);
    ASSERT_NE(fill, nullptr);
    EXPECT_EQ(std::tuple(fill->rect, fill->color), std::tuple(QRectF(0, 0, 3000, 2000), QColor(Qt::white)));
    const std::vector<Layer> layers = Layers(*image);
    ASSERT_EQ(layers.size(), 2u);
    EXPECT_EQ(layers[0].picture, picture);
    EXPECT_EQ(std::tuple(layers[0].dest, layers[0].source),
              std::tuple(QRectF(0, 0, 1500, 900), QRectF(0, 0, 1500, 900)));
    const Picture& drawn = *layers[1].picture;
    ASSERT_EQ(drawn.Ops().size(), 3u);
    EXPECT_TRUE(std::holds_alternative<Picture::LineOp>(drawn.Ops()[0]) &&
                std::holds_alternative<Picture::BoxOp>(drawn.Ops()[1]));
    const auto* text = std::get_if<Picture::TextOp>(&drawn.Ops()[2]);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::tuple(text->text, text->topLeft, text->font),
              std::tuple(QStringLiteral("Drawn"), QPointF(300, 400), box.Font()));
    box.Line(0, 0, 200, 200); // later drawing does not change an earlier Image
    EXPECT_EQ(drawn.Ops().size(), 3u);

    // The preview composes a page this way: the Image becomes the Picture and drawing starts over.
    box.SetPicture(box.Image());
    EXPECT_EQ(Layers(*box.Image()).size(), 1u) << "nothing drawn since the new picture";
    box.SetAutoRedraw(false);
    box.Line(0, 0, 10, 10);
    EXPECT_EQ(Layers(*box.Image()).size(), 2u) << "AutoRedraw off still keeps the drawing";
    box.SetPicture(nullptr);
    ASSERT_EQ(box.Image()->Ops().size(), 1u) << "only the background is left";
    EXPECT_TRUE(std::holds_alternative<Picture::FillOp>(box.Image()->Ops()[0]));
}

TEST(PictureBoxTest, BothPaintPictureFormsRecordDestinationAndSource) {
    PictureBox box;
    const auto picture = TwoLines(1200, 800);
    box.PaintPicture(picture, 100, 200);
    box.PaintPicture(picture, 500, 100, 600, 400, 0, 0, 1200, 800);
    const std::vector<Layer> layers = Layers(*box.Image());
    ASSERT_EQ(layers.size(), 1u);
    const std::vector<Layer> painted = Layers(*layers[0].picture);
    ASSERT_EQ(painted.size(), 2u);
    EXPECT_EQ(painted[0].picture, picture);
    EXPECT_EQ(std::tuple(painted[0].dest, painted[0].source),
              std::tuple(QRectF(100, 200, 1200, 800), QRectF(0, 0, 1200, 800)));
    EXPECT_EQ(std::tuple(painted[1].dest, painted[1].source),
              std::tuple(QRectF(500, 100, 600, 400), QRectF(0, 0, 1200, 800)));
}

TEST(PictureBoxTest, RendersBorderBackgroundPictureAndDrawingClippedToTheInnerArea) {
    PictureBox box;
    box.Move(0, 0, 3000, 1500); // 200 x 100 px, inner area from (1, 1)
    auto picture = std::make_shared<Picture>(3000, 1500);
    picture->AddLine(QPointF(0, 900), QPointF(1500, 900)); // row 60 of the inner area
    box.SetPicture(picture);
    box.Line(0, 300, 1500, 300);       // row 20 of the inner area
    box.Line(-3000, 1200, 6000, 1200); // row 80, across the whole box and beyond
    const QImage image = box.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(image.size(), QSize(200, 100));
    // The darkest grey near (x, y): the pixel row of a one-pixel line depends on rounding.
    auto darkestNear = [&](int x, int y) {
        int darkest = 255;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                darkest = std::min(darkest, qGray(image.pixel(x + dx, y + dy)));
        return darkest;
    };
    EXPECT_LT(qGray(image.pixel(0, 50)), 128) << "left border";
    EXPECT_LT(qGray(image.pixel(100, 0)), 128) << "top border";
    EXPECT_LT(darkestNear(1 + 50, 1 + 20), 64) << "drawn line";
    EXPECT_LT(darkestNear(1 + 50, 1 + 60), 64) << "the picture's line";
    EXPECT_EQ(image.pixel(1 + 50, 1 + 40), qRgb(255, 255, 255)) << "background between the lines";
    EXPECT_EQ(image.pixel(1 + 150, 1 + 20), qRgb(255, 255, 255)) << "right of where the line ends";
    EXPECT_LT(darkestNear(100, 1 + 80), 64) << "the long line inside";
    // The border keeps its colours where the long line would cross it.
    EXPECT_EQ(qGray(image.pixel(0, 1 + 80)), qGray(image.pixel(0, 50)));
    EXPECT_EQ(qGray(image.pixel(199, 1 + 80)), qGray(image.pixel(199, 50)));
    box.SetBackColor(QColor(200, 220, 240));
    EXPECT_EQ(box.grab().toImage().pixel(1 + 50, 1 + 40), qRgb(200, 220, 240));
}

} // namespace
} // namespace telmo
