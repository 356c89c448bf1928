// The picture box pages are composed in: twips geometry with its border, its Image, what it paints.
#include "platform/ui/PictureBox.h"

#include <QImage>
#include <QPixmap>
#include <gtest/gtest.h>
#include <variant>

namespace telmo {
namespace {

// The Image layers background, picture and what was drawn since; an Image taken is not changed by
// later drawing; making the Image the picture (as the preview composes) starts the drawing over.
TEST(PictureBoxTest, ImageIsBackgroundPictureAndWhatWasDrawnSince) {
    PictureBox box;
    box.SetBorder(false);
    box.Move(0, 0, 3000, 2000);
    const auto picture = std::make_shared<Picture>(1500, 900);
    picture->AddLine(QPointF(0, 0), QPointF(1500, 900));
    box.SetPicture(picture);
    box.SetCurrentX(300);
    box.SetCurrentY(400);
    box.Print("Drawn");
    const PicturePtr image = box.Image();
    ASSERT_EQ(image->Ops().size(), 3u);
    const auto* fill = std::get_if<Picture::FillOp>(&image->Ops()[0]);
    const auto* under = std::get_if<Picture::PictureOp>(&image->Ops()[1]);
    const auto* drawn = std::get_if<Picture::PictureOp>(&image->Ops()[2]);
    ASSERT_TRUE(fill && under && drawn);
    EXPECT_EQ(std::tuple(fill->rect, fill->color, under->picture, under->dest),
              std::tuple(QRectF(0, 0, 3000, 2000), QColor(Qt::white), picture, QRectF(0, 0, 1500, 900)));
    ASSERT_EQ(drawn->picture->Ops().size(), 1u);
    const auto* text = std::get_if<Picture::TextOp>(&drawn->picture->Ops()[0]);
    EXPECT_TRUE(text && text->text == "Drawn" && text->topLeft == QPointF(300, 400));
    box.Line(0, 0, 200, 200);
    EXPECT_EQ(drawn->picture->Ops().size(), 1u);
    box.SetPicture(box.Image());
    EXPECT_EQ(box.Image()->Ops().size(), 2u) << "nothing drawn since the new picture";
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
