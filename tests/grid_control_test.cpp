#include "platform/GridControl.h"
#include "platform/RuntimeError.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <random>

using telmo::GridControl;
using telmo::Picture;

namespace {

int ErrorNumber(const std::function<void()>& action) {
    try {
        action();
    } catch (const telmo::RuntimeError& error) {
        return error.Number();
    }
    return 0;
}

template <class Op> std::vector<Op> OpsOf(const Picture& picture) {
    std::vector<Op> found;
    for (const Picture::Op& op : picture.Ops())
        if (const auto* typed = std::get_if<Op>(&op))
            found.push_back(*typed);
    return found;
}

std::vector<Picture::TextOp> TextsEqual(const Picture& picture, const QString& text) {
    std::vector<Picture::TextOp> found;
    for (const auto& op : OpsOf<Picture::TextOp>(picture))
        if (op.text == text)
            found.push_back(op);
    return found;
}

// Whether some horizontal line at height y covers the point (x, y).
bool HorizontalLineAt(const Picture& picture, double x, double y) {
    for (const auto& line : OpsOf<Picture::LineOp>(picture))
        if (line.from.y() == y && line.to.y() == y && line.from.x() <= x && x <= line.to.x())
            return true;
    return false;
}

bool VerticalLineAt(const Picture& picture, double x, double y) {
    for (const auto& line : OpsOf<Picture::LineOp>(picture))
        if (line.from.x() == x && line.to.x() == x && line.from.y() <= y && y <= line.to.y())
            return true;
    return false;
}

double LineHeight(const GridControl& grid) {
    return QFontMetricsF(telmo::ToTwipsFont({grid.FontName(), grid.FontSize(), false})).height();
}

double TextWidth(const GridControl& grid, const QString& text) {
    return QFontMetricsF(telmo::ToTwipsFont({grid.FontName(), grid.FontSize(), false}))
        .horizontalAdvance(text);
}

size_t ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    size_t pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * 4096;
}

} // namespace

TEST(GridControl, DefaultsAndStorageRoundTripAcrossResizes) {
    GridControl grid;
    EXPECT_EQ(grid.Rows(), 2);
    EXPECT_EQ(grid.Cols(), 2);
    EXPECT_EQ(grid.FixedRows(), 1);
    EXPECT_EQ(grid.FixedCols(), 1);
    EXPECT_EQ(grid.FontName(), "Arial");
    EXPECT_FLOAT_EQ(grid.FontSize(), 8.25f);
    EXPECT_EQ(grid.ColAlignment(1), 9);
    EXPECT_EQ(grid.ColWidth(0), GridControl::kDefaultColWidth);
    EXPECT_EQ(grid.Width(), GridControl::kDefaultWidth);

    grid.SetRows(10);
    grid.SetCols(5);
    grid.SetTextMatrix(2, 2, "keep");
    grid.SetTextMatrix(7, 4, "dropped");
    grid.SetTextMatrix(9, 0, QString(40000, QChar(u'w'))); // long header form
    grid.SetColWidth(4, 300);
    EXPECT_EQ(grid.TextMatrix(9, 0).size(), 40000);
    grid.SetTextMatrix(2, 2, "k"); // shorter text reuses the cell's room
    EXPECT_EQ(grid.TextMatrix(2, 2), "k");
    grid.SetTextMatrix(2, 2, "keep this longer");
    EXPECT_EQ(grid.TextMatrix(2, 2), "keep this longer");

    grid.SetRows(3);
    grid.SetCols(3);
    grid.SetRows(10);
    grid.SetCols(5);
    EXPECT_EQ(grid.TextMatrix(2, 2), "keep this longer");
    EXPECT_EQ(grid.TextMatrix(7, 4), "");
    EXPECT_EQ(grid.TextMatrix(9, 0), "");
    EXPECT_EQ(grid.ColWidth(4), GridControl::kDefaultColWidth);
    grid.SetTextMatrix(2, 2, "");
    EXPECT_EQ(grid.TextMatrix(2, 2), "");
}

TEST(GridControl, BadIndicesRaise381AndBadValues380) {
    GridControl grid;
    grid.SetRows(4);
    grid.SetCols(3);
    EXPECT_EQ(ErrorNumber([&] { grid.TextMatrix(-1, 0); }), 381);
    EXPECT_EQ(ErrorNumber([&] { grid.TextMatrix(4, 0); }), 381);
    EXPECT_EQ(ErrorNumber([&] { grid.SetTextMatrix(0, 3, "x"); }), 381);
    EXPECT_EQ(ErrorNumber([&] { grid.ColWidth(3); }), 381);
    EXPECT_EQ(ErrorNumber([&] { grid.SetRowHeight(-1, 100); }), 381);
    EXPECT_EQ(ErrorNumber([&] { grid.MergeRow(4); }), 381);
    EXPECT_EQ(ErrorNumber([&] { grid.SetColAlignment(-1, 0); }), 381);
    EXPECT_EQ(ErrorNumber([&] { grid.TextMatrix(3, 2); }), 0);

    EXPECT_EQ(ErrorNumber([&] { grid.SetFixedRows(5); }), 380);
    EXPECT_EQ(ErrorNumber([&] { grid.SetColAlignment(0, 10); }), 380);
    EXPECT_EQ(ErrorNumber([&] { grid.SetMergeCells(5); }), 380);
    EXPECT_EQ(ErrorNumber([&] { grid.SetGridLines(4); }), 380);
    EXPECT_EQ(ErrorNumber([&] { grid.SetColWidth(0, -2); }), 380);
    EXPECT_EQ(ErrorNumber([&] { grid.SetRows(-1); }), 380);
    EXPECT_EQ(grid.FixedRows(), 1);

    grid.SetFixedRows(3);
    grid.SetRows(2); // the fixed rows shrink with the grid
    EXPECT_EQ(grid.FixedRows(), 2);
}

TEST(GridControl, DefaultRowHeightFollowsFontAndClearKeepsSettings) {
    GridControl grid;
    grid.SetRows(3);
    const int32_t small = grid.RowHeight(1);
    EXPECT_GT(small, LineHeight(grid));
    grid.SetFontSize(16);
    EXPECT_GT(grid.RowHeight(1), small + 100);
    EXPECT_NEAR(grid.RowHeight(1), LineHeight(grid) + 2 * GridControl::kCellPaddingY, 1.0);
    grid.SetRowHeight(1, 500);
    EXPECT_EQ(grid.RowHeight(1), 500);
    grid.SetRowHeight(1, -1);
    EXPECT_EQ(grid.RowHeight(1), grid.RowHeight(2));

    grid.SetRowHeight(2, 700);
    grid.SetColWidth(1, 1234);
    grid.SetColAlignment(1, 4);
    grid.SetTextMatrix(2, 1, "gone");
    grid.Clear();
    EXPECT_EQ(grid.TextMatrix(2, 1), "");
    EXPECT_EQ(grid.Rows(), 3);
    EXPECT_EQ(grid.RowHeight(2), 700);
    EXPECT_EQ(grid.ColWidth(1), 1234);
    EXPECT_EQ(grid.ColAlignment(1), 4);
}

TEST(GridControl, PictureSizeFillsAndGridLines) {
    GridControl grid;
    grid.SetRows(3);
    grid.SetCols(3);
    grid.SetColWidth(0, 500);
    grid.SetColWidth(2, 1500);
    grid.SetRowHeight(2, 400);
    auto picture = grid.Picture();
    EXPECT_DOUBLE_EQ(picture->Width(), 500 + 960 + 1500);
    EXPECT_DOUBLE_EQ(picture->Height(), 2.0 * grid.RowHeight(0) + 400);

    bool fixedRowFill = false;
    for (const auto& fill : OpsOf<Picture::FillOp>(*picture))
        if (fill.color == QColor(0xC0, 0xC0, 0xC0) &&
            fill.rect == QRectF(0, 0, picture->Width(), grid.RowHeight(0)))
            fixedRowFill = true;
    EXPECT_TRUE(fixedRowFill);

    // Four horizontal borders and four vertical ones.
    EXPECT_EQ(OpsOf<Picture::LineOp>(*picture).size(), 8u);
    grid.SetGridLines(0);
    EXPECT_EQ(OpsOf<Picture::LineOp>(*grid.Picture()).size(), 0u);
}

TEST(GridControl, MergeColJoinsEqualCellsIntoOneText) {
    GridControl grid;
    grid.SetRows(5);
    grid.SetCols(2);
    for (int r = 1; r <= 3; ++r)
        grid.SetTextMatrix(r, 1, "A");
    grid.SetTextMatrix(4, 1, "B");
    grid.SetMergeCol(1, true);
    const double h = grid.RowHeight(1);

    EXPECT_EQ(TextsEqual(*grid.Picture(), "A").size(), 3u); // MergeCells 0: never
    grid.SetMergeCells(telmo::Grid::kMergeFree);
    auto picture = grid.Picture();
    auto texts = TextsEqual(*picture, "A");
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_NEAR(texts[0].topLeft.y() + LineHeight(grid) / 2, h + 1.5 * h, 1.0); // centred in rows 1..3
    const double x = 960 + 480;
    EXPECT_FALSE(HorizontalLineAt(*picture, x, 2 * h));
    EXPECT_FALSE(HorizontalLineAt(*picture, x, 3 * h));
    EXPECT_TRUE(HorizontalLineAt(*picture, x, 4 * h));   // A | B
    EXPECT_TRUE(HorizontalLineAt(*picture, 480, 2 * h)); // column 0 is not merged

    // The fixed row never merges with the rows below it.
    grid.SetTextMatrix(0, 1, "A");
    EXPECT_EQ(TextsEqual(*grid.Picture(), "A").size(), 2u);
}

TEST(GridControl, MergeRowAndRestrictModes) {
    GridControl grid;
    grid.SetRows(4);
    grid.SetCols(4);
    grid.SetMergeCells(telmo::Grid::kMergeFree);
    grid.SetTextMatrix(1, 1, "X");
    grid.SetTextMatrix(1, 2, "X");
    grid.SetTextMatrix(1, 3, "X");
    EXPECT_EQ(TextsEqual(*grid.Picture(), "X").size(), 3u); // MergeRow not set
    grid.SetMergeRow(1, true);
    auto picture = grid.Picture();
    EXPECT_EQ(TextsEqual(*picture, "X").size(), 1u);
    const double y = grid.RowHeight(0) + grid.RowHeight(1) / 2.0;
    EXPECT_FALSE(VerticalLineAt(*picture, 2 * 960, y));
    EXPECT_TRUE(VerticalLineAt(*picture, 960, y)); // fixed column border

    // Restrict columns: column 2 joins downwards only where column 1 did.
    GridControl tree;
    tree.SetRows(4);
    tree.SetCols(3);
    const char* first[] = {"A", "A", "B"};
    for (int r = 1; r <= 3; ++r) {
        tree.SetTextMatrix(r, 1, first[r - 1]);
        tree.SetTextMatrix(r, 2, "x");
    }
    tree.SetMergeCol(1, true);
    tree.SetMergeCol(2, true);
    tree.SetMergeCells(telmo::Grid::kMergeFree);
    EXPECT_EQ(TextsEqual(*tree.Picture(), "x").size(), 1u);
    tree.SetMergeCells(telmo::Grid::kMergeRestrictColumns);
    EXPECT_EQ(TextsEqual(*tree.Picture(), "x").size(), 2u);
    EXPECT_EQ(TextsEqual(*tree.Picture(), "A").size(), 1u);
}

TEST(GridControl, AlignmentPlacesTextInItsCell) {
    GridControl grid;
    grid.SetRows(2);
    grid.SetCols(4);
    grid.SetColWidth(1, 2000);
    grid.SetColAlignment(1, 7); // right centre
    grid.SetColAlignment(2, 4); // centre centre
    grid.SetTextMatrix(1, 1, "WAVY Total");
    grid.SetTextMatrix(1, 2, "Mid");
    grid.SetTextMatrix(1, 3, "1,234.5"); // general: number on the right
    grid.SetTextMatrix(0, 3, "Name");    // general: text on the left
    auto picture = grid.Picture();
    const double right = grid.ColWidth(0) + 2000;

    auto text = TextsEqual(*picture, "WAVY Total").at(0);
    EXPECT_NEAR(text.topLeft.x() + TextWidth(grid, "WAVY Total"), right - GridControl::kCellMarginX, 0.5);
    text = TextsEqual(*picture, "Mid").at(0);
    EXPECT_NEAR(text.topLeft.x() + TextWidth(grid, "Mid") / 2, right + 480, 0.5);
    text = TextsEqual(*picture, "1,234.5").at(0);
    EXPECT_NEAR(text.topLeft.x() + TextWidth(grid, "1,234.5"), right + 960 + 960 - GridControl::kCellMarginX,
                0.5);
    text = TextsEqual(*picture, "Name").at(0);
    EXPECT_NEAR(text.topLeft.x(), right + 960 + GridControl::kCellMarginX, 0.5);
    EXPECT_NEAR(text.topLeft.y(), (grid.RowHeight(0) - LineHeight(grid)) / 2, 0.5);

    // Too wide for its cell: shortened to fit inside the margins.
    grid.SetTextMatrix(1, 3, "a rather long text that cannot fit");
    for (const auto& op : OpsOf<Picture::TextOp>(*grid.Picture()))
        if (op.text.startsWith("a rather")) {
            EXPECT_LT(op.text.size(), 34);
            EXPECT_LE(op.topLeft.x() + TextWidth(grid, op.text),
                      right + 1920 - GridControl::kCellMarginX + 0.5);
        }
    // Taller than its row: clipped to the cell through a nested picture.
    grid.SetRowHeight(1, 80);
    bool clipped = false;
    for (const auto& nested : OpsOf<Picture::PictureOp>(*grid.Picture()))
        clipped |= nested.dest.height() == 80 && !OpsOf<Picture::TextOp>(*nested.picture).empty();
    EXPECT_TRUE(clipped);
}

TEST(GridControl, RenderedPictureShowsLinesAndFills) {
    GridControl grid;
    grid.SetRows(4);
    grid.SetCols(3);
    for (int r = 0; r < 4; ++r)
        grid.SetRowHeight(r, 300);
    auto picture = grid.Picture();
    const double scale = 1.0 / 15; // twips to pixels at 96 dpi
    QImage image(int(picture->Width() * scale), int(picture->Height() * scale), QImage::Format_RGB32);
    image.fill(Qt::red);
    {
        QPainter painter(&image);
        painter.scale(scale, scale);
        picture->Play(painter);
    }
    const int lineX = 2 * 960 / 15; // border between columns 1 and 2
    const int midY = 3 * 300 / 15 - 10;
    const bool dark = qGray(image.pixel(lineX, midY)) < 80 || qGray(image.pixel(lineX - 1, midY)) < 80;
    EXPECT_TRUE(dark);
    EXPECT_EQ(image.pixel(lineX + 10, midY), qRgb(255, 255, 255));  // scrollable cell
    EXPECT_EQ(image.pixel(lineX + 10, 10), qRgb(0xC0, 0xC0, 0xC0)); // fixed row
    EXPECT_LT(qGray(image.pixel(image.width() - 1, midY)), 80);     // right border inside the image
    EXPECT_LT(qGray(image.pixel(lineX + 10, image.height() - 1)), 80);
}

TEST(GridControl, RepeatedSetsOfOneCellStayBounded) {
    GridControl grid;
    grid.SetRows(3);
    grid.SetCols(3);
    grid.SetTextMatrix(1, 1, QString(500, QChar(u'x')));
    const size_t settled = grid.StorageBytes();
    for (int i = 0; i < 10000; ++i) // texts that fit the cell's room are written in place
        grid.SetTextMatrix(1, 1, QString(i % 500 + 1, QChar(u'a' + i % 26)));
    EXPECT_EQ(grid.StorageBytes(), settled);
    EXPECT_EQ(grid.TextMatrix(1, 1), QString(9999 % 500 + 1, QChar(u'a' + 9999 % 26)));

    // Emptying and refilling leaves garbage each time: 100,000 rounds of 250 characters
    // would be some 50 MB without compaction.
    for (int i = 0; i < 100000; ++i) {
        grid.SetTextMatrix(1, 1, QString(250, QChar(u'a' + i % 26)));
        grid.SetTextMatrix(1, 1, "");
    }
    grid.SetTextMatrix(1, 1, "end");
    EXPECT_EQ(grid.TextMatrix(1, 1), "end");
    EXPECT_LT(grid.StorageBytes(), size_t(16) << 20);
}

TEST(GridControl, RandomEditsMatchAModelThroughCompactions) {
    GridControl grid;
    grid.SetRows(200);
    grid.SetCols(6);
    std::map<std::pair<int, int>, QString> model;
    std::mt19937 random(7);
    for (int i = 0; i < 30000; ++i) {
        const int r = int(random() % 200), c = int(random() % 6);
        const int length = random() % 4 == 0 ? 0 : int(random() % 400) + 1;
        const QString text(length, QChar(u'A' + i % 26));
        grid.SetTextMatrix(r, c, text);
        if (text.isEmpty())
            model.erase({r, c});
        else
            model[{r, c}] = text;
        if (i == 20000) { // a shrink and regrow drops the cut cells
            grid.SetRows(150);
            grid.SetCols(5);
            grid.SetRows(200);
            grid.SetCols(6);
            std::erase_if(model,
                          [](const auto& cell) { return cell.first.first >= 150 || cell.first.second >= 5; });
        }
    }
    for (int r = 0; r < 200; ++r)
        for (int c = 0; c < 6; ++c) {
            const auto found = model.find({r, c});
            ASSERT_EQ(grid.TextMatrix(r, c), found == model.end() ? QString() : found->second)
                << r << "," << c;
        }
    EXPECT_LT(grid.StorageBytes(), size_t(16) << 20); // some 9 million characters were written
}

TEST(GridControl, MillionRowGridFitsCompactly) {
    const size_t before = ResidentBytes();
    GridControl grid;
    grid.SetRows(1000000);
    grid.SetCols(20);
    for (int r = 0; r < 1000000; ++r)
        grid.SetTextMatrix(r, 3, QString::number(r));
    grid.SetTextMatrix(999999, 19, "last");
    EXPECT_EQ(grid.TextMatrix(123456, 3), "123456");
    EXPECT_EQ(grid.TextMatrix(999999, 19), "last");
    EXPECT_EQ(grid.TextMatrix(999999, 18), "");
    const size_t bytes = grid.StorageBytes();
    std::printf("[ info ] 1,000,000 x 20 grid: store %.1f MB (%.2f bytes/cell), resident growth %.1f MB\n",
                bytes / 1048576.0, bytes / 20e6, (ResidentBytes() - before) / 1048576.0);
    EXPECT_LT(bytes, size_t(48) << 20);
    grid.SetRows(10);
    EXPECT_EQ(grid.TextMatrix(9, 3), "9");
    EXPECT_LT(grid.StorageBytes(), size_t(1) << 20);
}

TEST(GridControl, PageSizedPictureHasOneOpPerCellAndLine) {
    GridControl grid;
    grid.SetRows(50);
    grid.SetCols(11);
    for (int r = 0; r < 50; ++r)
        for (int c = 0; c < 11; ++c)
            grid.SetTextMatrix(r, c,
                               c % 2 ? QString::number(r * 1.25 + c) : QStringLiteral("Item %1").arg(r));
    // Fills, one text per cell, one line per row and column boundary: nothing per glyph.
    EXPECT_EQ(grid.Picture()->Ops().size(), 3u + 550u + 51u + 12u);
}
