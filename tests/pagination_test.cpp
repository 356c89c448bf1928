// The layout rules on plain sizes: no grid object, no printer, no window.
#include "engine/Pagination.h"
#include "platform/RuntimeError.h"

#include <gtest/gtest.h>
#include <vector>

using namespace telmo;
using namespace telmo::pagination;

namespace {

// Heights and widths by index; a row or column not listed has the default.
GridSizes Sizes(int rows, int cols, std::vector<int> heights, int defaultHeight, std::vector<int> widths,
                int defaultWidth) {
    GridSizes g;
    g.rows = rows;
    g.cols = cols;
    g.rowHeight = [=](int32_t r) {
        return r < static_cast<int>(heights.size()) ? heights[r] : defaultHeight;
    };
    g.colWidth = [=](int32_t c) { return c < static_cast<int>(widths.size()) ? widths[c] : defaultWidth; };
    return g;
}

struct Rows {
    std::vector<PageBlock> blocks = std::vector<PageBlock>(1);
    float bands = -1;
};

// A page of ScaleHeight 15120 leaves 12120 twips; row 0 (240 + 30) is reserved on every
// page and a 970-twip row costs 1000, so eleven such rows fill a page.
Rows PaginateRowsMode1(const GridSizes& g, float scaleHeight = 15120) {
    Rows out;
    PaginateRows(g, scaleHeight, kRowsSplit, 0, {0}, {0}, out.blocks, out.bands);
    return out;
}

std::vector<std::pair<float, float>> RowRanges(const Rows& r) {
    std::vector<std::pair<float, float>> ranges;
    for (size_t i = 1; i < r.blocks.size(); ++i)
        ranges.emplace_back(r.blocks[i].StartRow, r.blocks[i].EndRow);
    return ranges;
}

using Ranges = std::vector<std::pair<float, float>>;

} // namespace

TEST(RowPagination, BandsFillThePageAndEveryBlockCarriesAllColumns) {
    const Rows r = PaginateRowsMode1(Sizes(34, 6, {240}, 970, {}, 1000));
    EXPECT_EQ(RowRanges(r), (Ranges{{1, 11}, {12, 22}, {23, 33}}));
    EXPECT_EQ(r.bands, 3);
    for (size_t i = 1; i < r.blocks.size(); ++i) {
        EXPECT_EQ(r.blocks[i].StartCol, 1);
        EXPECT_EQ(r.blocks[i].EndCol, 5);
        EXPECT_EQ(r.blocks[i].PageNo, static_cast<int16_t>(i));
    }
}

TEST(RowPagination, TheLastRowJoinsItsBandEvenWhenItOverflows) {
    // Rows 1..12: eleven fill the page, the twelfth is the grid's last row and is never
    // looked ahead for, so it joins the first band.
    EXPECT_EQ(RowRanges(PaginateRowsMode1(Sizes(13, 2, {240}, 970, {}, 1000))), (Ranges{{1, 12}}));
    // With one more row the look-ahead is made for row 12, which then starts the next band.
    EXPECT_EQ(RowRanges(PaginateRowsMode1(Sizes(14, 2, {240}, 970, {}, 1000))), (Ranges{{1, 11}, {12, 13}}));
}

TEST(RowPagination, ARowThatReachesTheLimitExactlyEndsItsBand) {
    // After ten rows the page holds 270 + 10 000; row 11 costs 1850 and brings it to 12120 exactly.
    std::vector<int> heights(13, 970);
    heights[0] = 240;
    heights[11] = 1820;
    EXPECT_EQ(RowRanges(PaginateRowsMode1(Sizes(15, 2, heights, 970, {}, 1000))),
              (Ranges{{1, 11}, {12, 14}}));
    // One twip more and it no longer fits the first band.
    heights[11] = 1821;
    EXPECT_EQ(RowRanges(PaginateRowsMode1(Sizes(15, 2, heights, 970, {}, 1000))),
              (Ranges{{1, 10}, {11, 14}}));
}

TEST(RowPagination, ARowTallerThanThePageIsAloneOnItsPage) {
    EXPECT_EQ(RowRanges(PaginateRowsMode1(Sizes(6, 2, {240, 300, 20000}, 300, {}, 1000))),
              (Ranges{{1, 1}, {2, 2}, {3, 5}}));
}

TEST(RowPagination, AGridOfOneRowMakesNoBand) {
    const Rows r = PaginateRowsMode1(Sizes(1, 3, {}, 240, {}, 1000));
    EXPECT_EQ(r.bands, 0);
    EXPECT_EQ(r.blocks.size(), 1u);
}

TEST(RowPagination, APageTallerThanSixteenBitsOverflowsAndKeepsTheBandCount) {
    Rows r;
    r.bands = 7;
    try {
        PaginateRows(Sizes(10, 2, {}, 240, {}, 1000), 35768, kRowsSplit, 0, {0}, {0}, r.blocks, r.bands);
        FAIL() << "no overflow";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Number(), err::kOverflow);
    }
    EXPECT_EQ(r.bands, 7);
    // 32767 + 3000 is the largest page height that still fits.
    EXPECT_NO_THROW(
        PaginateRows(Sizes(10, 2, {}, 240, {}, 1000), 35767, kRowsSplit, 0, {0}, {0}, r.blocks, r.bands));
}

namespace {
struct Cols {
    std::vector<PageBlock> blocks = std::vector<PageBlock>(1);
    std::vector<float> start = std::vector<float>(1), end = std::vector<float>(1);
    float bands = -1;
};

// A printable width of 11520 leaves 8520; column 0 (970 + 30) is reserved and a 1970-twip
// column costs 2000, so three such columns fill a page.
Cols PaginateColumnsIn(int16_t mode, const GridSizes& g, float scaleWidth = 11520) {
    Cols out;
    PaginateColumns(g, scaleWidth, mode, out.blocks, out.start, out.end, out.bands);
    return out;
}

Ranges ColRanges(const Cols& c) {
    Ranges ranges;
    for (size_t i = 1; i < c.blocks.size(); ++i)
        ranges.emplace_back(c.blocks[i].StartCol, c.blocks[i].EndCol);
    return ranges;
}
} // namespace

TEST(ColumnPagination, TheLastColumnStartsItsOwnBandWhenItDoesNotFit) {
    const Cols c = PaginateColumnsIn(kColumnsSplit, Sizes(9, 5, {}, 240, {970}, 1970));
    EXPECT_EQ(ColRanges(c), (Ranges{{1, 3}, {4, 4}}));
    EXPECT_EQ(c.bands, 2);
    for (size_t i = 1; i < c.blocks.size(); ++i) {
        EXPECT_EQ(c.blocks[i].StartRow, 1);
        EXPECT_EQ(c.blocks[i].EndRow, 8);
    }
    EXPECT_EQ(c.start.size(), 1u) << "mode 3 leaves the band arrays alone";
}

TEST(ColumnPagination, AColumnWiderThanThePageIsAlone) {
    EXPECT_EQ(ColRanges(PaginateColumnsIn(kColumnsSplit, Sizes(3, 6, {}, 240, {970, 500, 12000}, 500))),
              (Ranges{{1, 1}, {2, 2}, {3, 5}}));
}

TEST(ColumnPagination, AGridWithOnlyTheHeadingColumnMakesNoBand) {
    const Cols c = PaginateColumnsIn(kColumnsSplit, Sizes(3, 1, {}, 240, {}, 1000));
    EXPECT_EQ(c.bands, 0);
}

TEST(ColumnPagination, ModeFourRecordsBandsButNoBlocks) {
    const Cols c = PaginateColumnsIn(kRowsAndColumnsSplit, Sizes(9, 8, {}, 240, {970}, 1970));
    EXPECT_EQ(c.blocks.size(), 1u);
    EXPECT_EQ(c.start, (std::vector<float>{0, 1, 4, 7}));
    EXPECT_EQ(c.end, (std::vector<float>{0, 3, 6, 7}));
    EXPECT_EQ(c.bands, 3);
}

TEST(RowsAndColumns, SixPagesRowBandByRowBand) {
    const GridSizes g = Sizes(20, 8, {240}, 970, {970}, 1970);
    Cols c = PaginateColumnsIn(kRowsAndColumnsSplit, g);
    std::vector<PageBlock> blocks(1);
    float rowBands = 0;
    PaginateRows(g, 15120, kRowsAndColumnsSplit, c.bands, c.start, c.end, blocks, rowBands);
    EXPECT_EQ(rowBands, 2);
    const std::vector<PageBlock> expected{{},
                                          {1, 11, 1, 3, 1},
                                          {1, 11, 4, 6, 2},
                                          {1, 11, 7, 7, 3},
                                          {12, 19, 1, 3, 4},
                                          {12, 19, 4, 6, 5},
                                          {12, 19, 7, 7, 6}};
    EXPECT_EQ(blocks, expected);
}

TEST(Measuring, TotalsCountTheAllowanceAndStopEarlyOnLongGrids) {
    const GridSizes g = Sizes(100000, 4, {}, 1000, {}, 2000);
    EXPECT_EQ(TotalColWidth(g), 4 * 2030);
    // 12120 usable: the sum passes it at the 12th row and the loop stops six rows later.
    EXPECT_EQ(TotalRowHeight(g, 0, 15120), 18 * 1030);
    EXPECT_EQ(TotalRowHeight(Sizes(5, 1, {}, 1000, {}, 1), 2, 15120), 3 * 1030) << "from the start row on";
}

TEST(Measuring, RowPageEstimate) {
    EXPECT_EQ(EstimateRowPages(12120, 15120), 1) << "exactly the usable height is one page";
    EXPECT_EQ(EstimateRowPages(12121, 15120), 2);
    EXPECT_EQ(EstimateRowPages(24240, 15120), 3) << "integer part plus one";
    try {
        EstimateRowPages(10, 3000);
        FAIL() << "no division by zero";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Number(), err::kDivisionByZero);
    }
}
