#include "platform/grid/GridControl.h"
#include "support/PictureOps.h"

#include <QFontMetricsF>
#include <algorithm>
#include <gtest/gtest.h>

using telmo::GridControl;
using telmo::Picture;
using telmo::test::Flatten;
using telmo::test::PlacedText;

namespace {

std::vector<PlacedText> Texts(const Picture& picture, const QString& text) {
    auto found = Flatten(picture).texts;
    std::erase_if(found, [&](const PlacedText& placed) { return placed.text != text; });
    return found;
}
void Resize(GridControl& grid, int rows, int cols) {
    grid.SetRows(rows);
    grid.SetCols(cols);
}
// Whether some horizontal line covers the point (x, y).
bool LineAt(const Picture& picture, double x, double y) {
    return std::ranges::any_of(Flatten(picture).lines, [&](const auto& line) {
        const auto& [from, to] = line;
        return from.y() == y && to.y() == y && from.x() <= x && x <= to.x();
    });
}
QFontMetricsF Metrics(const GridControl& grid) {
    return QFontMetricsF(telmo::ToTwipsFont({grid.FontName(), grid.FontSize(), false}));
}

} // namespace

TEST(GridControl, MergeJoinsEqualCellsAndRestrictModesLimitIt) {
    // Rows 1-3 read "A | x", row 4 "Z | Z"; column 1 may merge.
    GridControl grid;
    Resize(grid, 5, 3);
    for (int r = 1; r <= 4; ++r) {
        grid.SetTextMatrix(r, 1, r < 4 ? "A" : "Z");
        grid.SetTextMatrix(r, 2, r < 4 ? "x" : "Z");
    }
    grid.SetMergeCol(1, true);
    // Mode (0 never, 1 free, 2 restrict rows, 3 restrict columns, 4 both), cell (2, 1), whether column 2,
    // row 3 and row 4 may merge, then how often A, x and Z are drawn. Restricted, a cell joins only
    // where the merged column to its left (or a row, the merged row above) did.
    const std::vector<std::tuple<int16_t, QString, bool, bool, bool, size_t, size_t, size_t>> cases{
        {0, "A", 1, 0, 1, 3, 3, 2}, {1, "A", 1, 0, 1, 1, 1, 1}, {1, "A", 0, 0, 0, 1, 3, 2},
        {1, "C", 1, 1, 1, 2, 1, 1}, {3, "A", 1, 0, 1, 1, 1, 1}, {3, "C", 1, 0, 1, 2, 3, 1},
        {2, "A", 1, 0, 1, 1, 1, 1}, {2, "A", 1, 1, 1, 1, 1, 2}, {4, "C", 1, 1, 1, 2, 3, 2}};
    for (const auto& [mode, cell, col2, row3, row4, a, x, z] : cases) {
        grid.SetMergeCells(mode);
        grid.SetTextMatrix(2, 1, cell);
        grid.SetMergeCol(2, col2);
        grid.SetMergeRow(3, row3);
        grid.SetMergeRow(4, row4);
        const auto picture = grid.Picture();
        const auto count = [&](const char* text) { return Texts(*picture, text).size(); };
        EXPECT_EQ(std::tuple(count("A"), count("x"), count("Z")), std::tuple(a, x, z))
            << "mode " << mode << ", " << cell.toStdString() << ", merging " << col2 << row3 << row4;
    }
    // Free again ("A" in rows 1-3, row 4 merged): one text centred in its region, no inner lines.
    grid.SetMergeCells(1);
    grid.SetTextMatrix(2, 1, "A");
    grid.SetMergeRow(3, false);
    const auto picture = grid.Picture();
    const auto texts = Texts(*picture, "A");
    ASSERT_EQ(texts.size(), 1u);
    const double h = grid.RowHeight(1), x = 960 + 480;
    EXPECT_NEAR(texts[0].at.y() + Metrics(grid).height() / 2, 2.5 * h, 1.0);
    EXPECT_FALSE(LineAt(*picture, x, 2 * h) || LineAt(*picture, x, 3 * h));
    EXPECT_TRUE(LineAt(*picture, x, 4 * h) && LineAt(*picture, 480, 2 * h)); // A | Z; column 0 unmerged
    grid.SetTextMatrix(0, 1, "A"); // the fixed row never merges with the rows below it
    EXPECT_EQ(Texts(*grid.Picture(), "A").size(), 2u);
}

TEST(GridControl, AlignmentPlacesTextInItsCell) {
    GridControl grid;
    Resize(grid, 7, 4);
    grid.SetColWidth(1, 2000);
    grid.SetColAlignment(1, 7); // right centre
    grid.SetColAlignment(2, 4); // centre centre
    const double right = 960 + 2000, margin = GridControl::kCellMarginX;
    const double textStart = right + 960 + margin, textEnd = right + 1920 - margin;
    // Text, its cell, the point of the text its alignment puts at the anchor, and the anchor. General
    // alignment (column 3) puts numbers, signed or with an exponent, on the right; texts, dates, times
    // and percentages on the left.
    const std::vector<std::tuple<QString, int, int, double, double>> cases{
        {"WAVY Total", 1, 1, 1.0, right - margin},
        {"Mid", 1, 2, 0.5, right + 480},
        {"1,234.5", 1, 3, 1.0, textEnd},
        {"-17.5", 2, 3, 1.0, textEnd},
        {"1e-3", 3, 3, 1.0, textEnd},
        {"Name", 0, 3, 0.0, textStart},
        {"2026-01-12", 4, 3, 0.0, textStart},
        {"12%", 5, 3, 0.0, textStart},
        {"10:30", 6, 3, 0.0, textStart}};
    for (const auto& [text, row, col, point, anchor] : cases)
        grid.SetTextMatrix(row, col, text);
    const auto picture = grid.Picture();
    for (const auto& [text, row, col, point, anchor] : cases) {
        const auto found = Texts(*picture, text);
        ASSERT_EQ(found.size(), 1u) << text.toStdString();
        EXPECT_NEAR(found[0].at.x() + point * Metrics(grid).horizontalAdvance(text), anchor, 0.5);
        EXPECT_NEAR(found[0].at.y(), (row + 0.5) * grid.RowHeight(0) - Metrics(grid).height() / 2, 0.5);
    }
    // Too wide for its cell: shortened to fit inside the margins.
    Resize(grid, 2, 4);
    grid.SetTextMatrix(1, 3, "a rather long text that cannot fit");
    const auto shown = Flatten(*grid.Picture()).texts;
    const auto cut = std::ranges::find_if(shown, [](const auto& op) { return op.text.startsWith("a "); });
    ASSERT_NE(cut, shown.end());
    EXPECT_TRUE(cut->text.size() < 34 && cut->text.endsWith(QChar(0x2026)) &&
                cut->at.x() + Metrics(grid).horizontalAdvance(cut->text) <= textEnd + 0.5)
        << cut->text.toStdString();
    // A row three lines high wraps it at spaces into three lines inside the cell, the last cut.
    const double lineHeight = Metrics(grid).height();
    grid.SetRowHeight(1, static_cast<int32_t>(3 * lineHeight + 2 * GridControl::kCellPaddingY + 1));
    grid.SetTextMatrix(1, 3, "a rather long text that cannot fit in three lines of this narrow cell at all");
    const double rowTop = grid.RowHeight(0), rowBottom = rowTop + grid.RowHeight(1);
    std::vector<PlacedText> lines;
    for (const auto& op : Flatten(*grid.Picture()).texts)
        if (op.at.x() > right + 960 && op.at.y() > rowTop - lineHeight / 2)
            lines.push_back(op);
    ASSERT_EQ(lines.size(), 3u);
    for (const PlacedText& line : lines)
        EXPECT_TRUE(!line.text.startsWith(' ') && !line.text.endsWith(' ') &&
                    line.at.x() + Metrics(grid).horizontalAdvance(line.text) <= textEnd + 0.5 &&
                    line.at.y() >= rowTop && line.at.y() + lineHeight <= rowBottom + 0.5)
            << line.text.toStdString();
    EXPECT_TRUE(lines[0].text.startsWith("a rather") && lines[2].text.endsWith(QChar(0x2026)));
}

TEST(GridControl, StorageKeepsEveryTextThroughCompactionsAndAMillionRowsFit) {
    GridControl grid;
    Resize(grid, 200, 6);
    const auto text = [](int r, int c) { // cell (0, 0) is too long for the short header
        return QString(r + c == 0 ? 40000 : (r * 7 + c * 13) % 300, QChar(u'A' + (r + c) % 26));
    };
    for (int i = 0; i < 1200; ++i)
        grid.SetTextMatrix(i / 6, i % 6, text(i / 6, i % 6));
    // Emptied and refilled: some 50 MB of garbage without compaction; some texts long enough to
    // be shared, replacing and replaced by others.
    for (int i = 0; i < 100000; ++i) {
        grid.SetTextMatrix(1, 1, QString(i % 4 ? 250 + i % 50 : 5000, QChar(u'a' + i % 26)));
        grid.SetTextMatrix(1, 1, i % 8 == 1 ? QString(6000, u'b') : QString());
    }
    grid.SetTextMatrix(1, 1, text(1, 1));
    EXPECT_LT(grid.StorageBytes(), size_t(16) << 20);
    for (int i = 0; i < 1200; ++i)
        ASSERT_EQ(grid.TextMatrix(i / 6, i % 6), text(i / 6, i % 6)) << "cell " << i;
    Resize(grid, 1000000, 20);
    for (int r = 0; r < 1000000; ++r)
        grid.SetTextMatrix(r, 3, QString::number(r));
    grid.SetTextMatrix(999999, 19, "last");
    EXPECT_EQ(grid.TextMatrix(123456, 3) + grid.TextMatrix(999999, 19) + grid.TextMatrix(999999, 18),
              "123456last");
    EXPECT_LT(grid.StorageBytes(), size_t(48) << 20);
    grid.SetRows(10);
    EXPECT_EQ(grid.TextMatrix(9, 3), "9");
    EXPECT_LT(grid.StorageBytes(), size_t(1) << 20);
    // A page copied from the grid holds no second copy of a long text.
    GridControl page;
    page.SetTextMatrix(0, 0, grid.TextMatrix(0, 0));
    EXPECT_EQ(page.TextView(0, 0).data(), grid.TextView(0, 0).data());
}
