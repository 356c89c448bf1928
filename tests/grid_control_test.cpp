#include "platform/GridControl.h"
#include "platform/RuntimeError.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <algorithm>
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
std::vector<Picture::TextOp> Texts(const Picture& picture, const QString& text) {
    auto found = OpsOf<Picture::TextOp>(picture);
    std::erase_if(found, [&](const auto& op) { return op.text != text; });
    return found;
}
const auto Resize = [](GridControl& grid, int rows, int cols) {
    grid.SetRows(rows);
    grid.SetCols(cols);
};

// Whether some horizontal (or vertical) line covers the point (x, y).
bool LineAt(const Picture& picture, double x, double y, bool horizontal = true) {
    return std::ranges::any_of(OpsOf<Picture::LineOp>(picture), [&](const Picture::LineOp& line) {
        return horizontal ? line.from.y() == y && line.to.y() == y && line.from.x() <= x && x <= line.to.x()
                          : line.from.x() == x && line.to.x() == x && line.from.y() <= y && y <= line.to.y();
    });
}
QFontMetricsF Metrics(const GridControl& grid) {
    return QFontMetricsF(telmo::ToTwipsFont({grid.FontName(), grid.FontSize(), false}));
}

} // namespace

TEST(GridControl, DefaultsStorageAcrossResizesRowHeightClearAndErrors381And380) {
    GridControl grid;
    EXPECT_EQ(std::tuple(grid.Rows(), grid.Cols(), grid.FixedRows(), grid.FixedCols(), grid.ColAlignment(1),
                         grid.ColWidth(0), grid.Width(), grid.FontName(), grid.FontSize()),
              std::tuple(2, 2, 1, 1, 9, 960, 4800, QString("Arial"), 8.25f));
    Resize(grid, 10, 5);
    grid.SetTextMatrix(7, 4, "dropped");
    grid.SetTextMatrix(9, 0, QString(40000, QChar(u'w'))); // long header form
    EXPECT_EQ(grid.TextMatrix(9, 0).size(), 40000);
    grid.SetColWidth(4, 300);
    for (const QString text : {"keep", "k", "keep this longer"}) { // shorter texts reuse the cell's room
        grid.SetTextMatrix(2, 2, text);
        EXPECT_EQ(grid.TextMatrix(2, 2), text);
    }
    Resize(grid, 3, 3);
    Resize(grid, 10, 5);
    EXPECT_EQ(grid.TextMatrix(2, 2), "keep this longer");
    EXPECT_EQ(grid.TextMatrix(7, 4) + grid.TextMatrix(9, 0), "");
    EXPECT_EQ(grid.ColWidth(4), GridControl::kDefaultColWidth);
    grid.SetTextMatrix(2, 2, "");
    EXPECT_EQ(grid.TextMatrix(2, 2), "");
    // The default row height follows the font; -1 goes back to it.
    grid.SetFontSize(16);
    EXPECT_NEAR(grid.RowHeight(1), Metrics(grid).height() + 2 * GridControl::kCellPaddingY, 1.0);
    grid.SetRowHeight(1, 500);
    EXPECT_EQ(grid.RowHeight(1), 500);
    grid.SetRowHeight(1, -1);
    EXPECT_EQ(grid.RowHeight(1), grid.RowHeight(2));
    // Clear empties the cells and keeps the sizes and alignments.
    grid.SetRowHeight(2, 700);
    grid.SetColWidth(1, 1234);
    grid.SetColAlignment(1, 4);
    grid.SetTextMatrix(2, 1, "gone");
    grid.Clear();
    EXPECT_EQ(grid.TextMatrix(2, 1), "");
    EXPECT_EQ(std::tuple(grid.Rows(), grid.RowHeight(2), grid.ColWidth(1), grid.ColAlignment(1)),
              std::tuple(10, 700, 1234, int16_t{4}));
    Resize(grid, 4, 3);
    const std::vector<std::pair<std::function<void()>, int>> calls{
        {[&] { grid.TextMatrix(-1, 0); }, 381},        {[&] { grid.TextMatrix(4, 0); }, 381},
        {[&] { grid.SetTextMatrix(0, 3, "x"); }, 381}, {[&] { grid.ColWidth(3); }, 381},
        {[&] { grid.SetRowHeight(-1, 100); }, 381},    {[&] { grid.MergeRow(4); }, 381},
        {[&] { grid.SetColAlignment(-1, 0); }, 381},   {[&] { grid.TextMatrix(3, 2); }, 0},
        {[&] { grid.SetFixedRows(5); }, 380},          {[&] { grid.SetColAlignment(0, 10); }, 380},
        {[&] { grid.SetMergeCells(5); }, 380},         {[&] { grid.SetGridLines(4); }, 380},
        {[&] { grid.SetColWidth(0, -2); }, 380},       {[&] { grid.SetRows(-1); }, 380}};
    for (size_t i = 0; i < calls.size(); ++i)
        EXPECT_EQ(ErrorNumber(calls[i].first), calls[i].second) << "call " << i;
    EXPECT_EQ(grid.FixedRows(), 1);
    grid.SetFixedRows(3);
    grid.SetRows(2); // the fixed rows shrink with the grid
    EXPECT_EQ(grid.FixedRows(), 2);
}

TEST(GridControl, MergeJoinsEqualCellsAndRestrictModesLimitIt) {
    GridControl grid;
    Resize(grid, 5, 3);
    for (int r = 1; r <= 4; ++r) {
        grid.SetTextMatrix(r, 1, r < 4 ? "A" : "Z");
        grid.SetTextMatrix(r, 2, r < 4 ? "x" : "Z");
    }
    grid.SetMergeCol(1, true);
    EXPECT_EQ(Texts(*grid.Picture(), "A").size(), 3u); // MergeCells 0: never
    grid.SetMergeCells(telmo::Grid::kMergeFree);
    auto picture = grid.Picture();
    const auto texts = Texts(*picture, "A");
    ASSERT_EQ(texts.size(), 1u);
    const double h = grid.RowHeight(1), x = 960 + 480;
    EXPECT_NEAR(texts[0].topLeft.y() + Metrics(grid).height() / 2, 2.5 * h, 1.0); // centred in rows 1..3
    EXPECT_FALSE(LineAt(*picture, x, 2 * h) || LineAt(*picture, x, 3 * h));
    EXPECT_TRUE(LineAt(*picture, x, 4 * h));    // A | Z
    EXPECT_TRUE(LineAt(*picture, 480, 2 * h));  // column 0 is not merged
    EXPECT_EQ(Texts(*picture, "Z").size(), 2u); // MergeRow 4 not set
    grid.SetMergeRow(4, true);
    picture = grid.Picture();
    EXPECT_EQ(Texts(*picture, "Z").size(), 1u);
    EXPECT_FALSE(LineAt(*picture, 2 * 960, 4.5 * h, false));
    EXPECT_TRUE(LineAt(*picture, 960, 4.5 * h, false)); // nor across the fixed column's border
    // Restrict columns: column 2 joins downwards only where column 1 did.
    grid.SetMergeCol(2, true);
    EXPECT_EQ(Texts(*grid.Picture(), "x").size(), 1u);
    grid.SetTextMatrix(2, 1, "C");
    grid.SetMergeCells(telmo::Grid::kMergeRestrictColumns);
    EXPECT_EQ(Texts(*grid.Picture(), "x").size(), 3u);
    grid.SetTextMatrix(0, 1, "A"); // the fixed row never merges with the rows below it
    grid.SetTextMatrix(2, 1, "A");
    EXPECT_EQ(Texts(*grid.Picture(), "A").size(), 2u);
    EXPECT_EQ(Texts(*grid.Picture(), "x").size(), 1u);
}

TEST(GridControl, AlignmentPlacesTextInItsCell) {
    GridControl grid;
    Resize(grid, 2, 4);
    grid.SetColWidth(1, 2000);
    grid.SetColAlignment(1, 7); // right centre
    grid.SetColAlignment(2, 4); // centre centre
    const double right = 960 + 2000, margin = GridControl::kCellMarginX;
    // Text, its cell, the point of the text its alignment puts at the anchor, and the anchor.
    const std::vector<std::tuple<QString, int, int, double, double>> cases{
        {"WAVY Total", 1, 1, 1.0, right - margin},
        {"Mid", 1, 2, 0.5, right + 480},
        {"1,234.5", 1, 3, 1.0, right + 1920 - margin}, // general: a number on the right
        {"Name", 0, 3, 0.0, right + 960 + margin}};    // general: a text on the left
    for (const auto& [text, row, col, at, anchor] : cases)
        grid.SetTextMatrix(row, col, text);
    const auto picture = grid.Picture();
    for (const auto& [text, row, col, at, anchor] : cases) {
        const auto found = Texts(*picture, text);
        ASSERT_EQ(found.size(), 1u) << text.toStdString();
        EXPECT_NEAR(found[0].topLeft.x() + at * Metrics(grid).horizontalAdvance(text), anchor, 0.5);
        EXPECT_NEAR(found[0].topLeft.y(), (row + 0.5) * grid.RowHeight(0) - Metrics(grid).height() / 2, 0.5);
    }
    // Too wide for its cell: shortened to fit inside the margins.
    grid.SetTextMatrix(1, 3, "a rather long text that cannot fit");
    const auto shown = OpsOf<Picture::TextOp>(*grid.Picture());
    const auto cut = std::ranges::find_if(shown, [](const auto& op) { return op.text.startsWith("a "); });
    ASSERT_NE(cut, shown.end());
    EXPECT_LT(cut->text.size(), 34);
    EXPECT_LE(cut->topLeft.x() + Metrics(grid).horizontalAdvance(cut->text), right + 1920 - margin + 0.5);
    // Taller than its row: clipped to the cell through a nested picture.
    grid.SetRowHeight(1, 80);
    bool clipped = false;
    for (const auto& op : OpsOf<Picture::PictureOp>(*grid.Picture()))
        clipped |= op.dest.height() == 80 && !OpsOf<Picture::TextOp>(*op.picture).empty();
    EXPECT_TRUE(clipped);
}

TEST(GridControl, ThePictureHasLinesAndFillsWhereTheSizesPutThemAndOneOpPerCellAndLine) {
    GridControl grid;
    Resize(grid, 4, 3);
    grid.SetColWidth(0, 600);
    grid.SetColWidth(2, 1500);
    for (int r = 0; r < 4; ++r)
        grid.SetRowHeight(r, 300);
    auto picture = grid.Picture();
    EXPECT_EQ(QSizeF(picture->Width(), picture->Height()), QSizeF(600 + 960 + 1500, 4 * 300));
    QImage image(int(picture->Width() / 15), int(picture->Height() / 15), QImage::Format_RGB32);
    image.fill(Qt::red);
    QPainter painter(&image);
    painter.scale(1.0 / 15, 1.0 / 15); // twips to pixels at 96 dpi
    picture->Play(painter);
    painter.end();
    const int lineX = (600 + 960) / 15, midY = 3 * 300 / 15 - 10; // between columns 1 and 2
    EXPECT_LT(std::min(qGray(image.pixel(lineX, midY)), qGray(image.pixel(lineX - 1, midY))), 80);
    EXPECT_EQ(image.pixel(lineX + 10, midY), qRgb(255, 255, 255));  // scrollable cell
    EXPECT_EQ(image.pixel(lineX + 10, 10), qRgb(0xC0, 0xC0, 0xC0)); // fixed row
    EXPECT_LT(qGray(image.pixel(image.width() - 1, midY)), 80);     // right border inside the image
    EXPECT_LT(qGray(image.pixel(lineX + 10, image.height() - 1)), 80);
    // A page of 50 x 11: fills, a text per cell, a line per row and column boundary, nothing per glyph.
    Resize(grid, 50, 11);
    for (int r = 0; r < 50; ++r)
        for (int c = 0; c < 11; ++c)
            grid.SetTextMatrix(r, c, c % 2 ? QString::number(r * 1.25 + c) : QString("Item %1").arg(r));
    EXPECT_EQ(grid.Picture()->Ops().size(), 3u + 550u + 51u + 12u);
    grid.SetGridLines(0);
    EXPECT_TRUE(OpsOf<Picture::LineOp>(*grid.Picture()).empty());
}

TEST(GridControl, StorageStaysBoundedAndMatchesAModelThroughCompactions) {
    GridControl grid;
    Resize(grid, 200, 6);
    grid.SetTextMatrix(1, 1, QString(500, QChar(u'x')));
    const size_t settled = grid.StorageBytes();
    for (int i = 0; i < 10000; ++i) // texts that fit the cell's room are written in place
        grid.SetTextMatrix(1, 1, QString(i % 500 + 1, QChar(u'a' + i % 26)));
    EXPECT_EQ(grid.StorageBytes(), settled);
    // Emptying and refilling leaves garbage: some 50 MB without compaction.
    for (int i = 0; i < 100000; ++i) {
        grid.SetTextMatrix(1, 1, QString(250, QChar(u'a' + i % 26)));
        grid.SetTextMatrix(1, 1, "");
    }
    EXPECT_LT(grid.StorageBytes(), size_t(16) << 20);
    std::map<std::pair<int, int>, QString> model;
    std::mt19937 random(7);
    for (int i = 0; i < 30000; ++i) {
        const int r = int(random() % 200), c = int(random() % 6);
        const QString text(random() % 4 == 0 ? 0 : int(random() % 400) + 1, QChar(u'A' + i % 26));
        grid.SetTextMatrix(r, c, text);
        model[{r, c}] = text;
        if (i == 20000) { // a shrink and regrow drops the cut cells
            Resize(grid, 150, 5);
            Resize(grid, 200, 6);
            std::erase_if(model,
                          [](const auto& kv) { return kv.first.first >= 150 || kv.first.second >= 5; });
        }
    }
    for (int r = 0; r < 200; ++r)
        for (int c = 0; c < 6; ++c)
            ASSERT_EQ(grid.TextMatrix(r, c), (model[{r, c}])) << r << "," << c;
    EXPECT_LT(grid.StorageBytes(), size_t(16) << 20); // some 9 million characters were written
}

TEST(GridControl, MillionRowGridFitsCompactly) {
    GridControl grid;
    Resize(grid, 1000000, 20);
    for (int r = 0; r < 1000000; ++r)
        grid.SetTextMatrix(r, 3, QString::number(r));
    grid.SetTextMatrix(999999, 19, "last");
    EXPECT_EQ(grid.TextMatrix(123456, 3), "123456");
    EXPECT_EQ(grid.TextMatrix(999999, 19) + grid.TextMatrix(999999, 18), "last");
    EXPECT_LT(grid.StorageBytes(), size_t(48) << 20);
    grid.SetRows(10);
    EXPECT_EQ(grid.TextMatrix(9, 3), "9");
    EXPECT_LT(grid.StorageBytes(), size_t(1) << 20);
}
