// The layout rules on plain sizes: no grid object, no printer, no window.
#include "engine/Pagination.h"
#include "support/AutomationError.h"

#include <gtest/gtest.h>
#include <vector>

using namespace telmo;
using namespace telmo::pagination;

namespace {

using Ranges = std::vector<std::pair<float, float>>;

// Heights and widths by index; a row or column not listed has the default.
GridSizes Sizes(int rows, int cols, std::vector<int> h, int defaultHeight, std::vector<int> w = {},
                int defaultWidth = 1000) {
    return {rows, cols, [=](int32_t r) { return r < static_cast<int>(h.size()) ? h[r] : defaultHeight; },
            [=](int32_t c) { return c < static_cast<int>(w.size()) ? w[c] : defaultWidth; }};
}

// The rows (or columns) of blocks 1.. as ranges.
Ranges Of(const std::vector<PageBlock>& blocks, bool rows) {
    Ranges ranges;
    for (size_t i = 1; i < blocks.size(); ++i)
        ranges.emplace_back(rows ? blocks[i].StartRow : blocks[i].StartCol,
                            rows ? blocks[i].EndRow : blocks[i].EndCol);
    return ranges;
}

// A page of ScaleHeight 15120 leaves 12120 twips; row 0 (240 + 30) is reserved on every page and a
// 970-twip row costs 1000, so eleven such rows fill a page. Width 11520 leaves 8520; column 0
// (970 + 30) is reserved and a 1970-twip column costs 2000, so three such columns fill a page.

// What an earlier layout left in the table; a new layout never keeps it.
const std::vector<PageBlock> kEarlierLayout(4, PageBlock{9, 9, 9, 9, 9});

} // namespace

TEST(RowPagination, BandBoundaries) {
    const struct {
        const char* why;
        GridSizes g;
        Ranges expected;
    } cases[] = {
        {"three full bands", Sizes(34, 6, {240}, 970), {{1, 11}, {12, 22}, {23, 33}}},
        // The grid's last row is never looked ahead for, so it joins the band it overflows.
        {"last row joins", Sizes(13, 2, {240}, 970), {{1, 12}}},
        {"row 12 not last", Sizes(14, 2, {240}, 970), {{1, 11}, {12, 13}}},
        // Row 1 costs 1850: with ten more rows the page holds 270 + 11850 = 12120 exactly.
        {"sum exactly at the limit", Sizes(15, 2, {240, 1820}, 970), {{1, 11}, {12, 14}}},
        {"one twip over", Sizes(15, 2, {240, 1821}, 970), {{1, 10}, {11, 14}}},
        {"row taller than the page", Sizes(6, 2, {240, 300, 20000}, 300), {{1, 1}, {2, 2}, {3, 5}}},
        {"one-row grid", Sizes(1, 3, {}, 240), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::vector<PageBlock> blocks = kEarlierLayout;
        float bands = -1;
        PaginateRows(c.g, 15120, kRowsSplit, 0, {0}, {0}, blocks, bands);
        EXPECT_EQ(Of(blocks, true), c.expected);
        EXPECT_EQ(bands, static_cast<float>(c.expected.size()));
        EXPECT_EQ(Of(blocks, false), Ranges(blocks.size() - 1, {1.f, c.g.cols - 1.f})) << "all columns";
        for (size_t i = 1; i < blocks.size(); ++i)
            EXPECT_EQ(blocks[i].PageNo, static_cast<int16_t>(i));
    }
}

TEST(ColumnPagination, BandBoundaries) {
    constexpr int16_t kCols = kColumnsSplit;
    const struct {
        const char* why;
        int16_t mode;
        GridSizes g;
        Ranges expected;
    } cases[] = {
        {"last column alone", kCols, Sizes(9, 5, {}, 240, {970}, 1970), {{1, 3}, {4, 4}}},
        {"wider than page", kCols, Sizes(3, 6, {}, 240, {970, 500, 12000}, 500), {{1, 1}, {2, 2}, {3, 5}}},
        {"heading only", kCols, Sizes(3, 1, {}, 240), {}},
        // Column 1 costs 3520: with two more the page holds 1000 + 7520 = 8520 exactly.
        {"sum exactly at the limit", kCols, Sizes(3, 6, {}, 240, {970, 3490}, 1970), {{1, 3}, {4, 5}}},
        {"one twip over", kCols, Sizes(3, 6, {}, 240, {970, 3491}, 1970), {{1, 2}, {3, 5}}},
        // Mode 4 records the bands in the arrays and makes no blocks.
        {"mode 4", kRowsAndColumnsSplit, Sizes(9, 8, {}, 240, {970}, 1970), {{1, 3}, {4, 6}, {7, 7}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::vector<PageBlock> blocks = kEarlierLayout;
        std::vector<float> start(1), end(1);
        float bands = -1;
        PaginateColumns(c.g, 11520, c.mode, blocks, start, end, bands);
        EXPECT_EQ(bands, static_cast<float>(c.expected.size()));
        Ranges arrays;
        for (size_t i = 1; i < start.size() && i < end.size(); ++i)
            arrays.emplace_back(start[i], end[i]);
        EXPECT_EQ(c.mode == kColumnsSplit ? Of(blocks, false) : arrays, c.expected);
        if (c.mode == kColumnsSplit) {
            EXPECT_EQ(start.size(), 1u) << "other output untouched";
            EXPECT_EQ(Of(blocks, true), Ranges(blocks.size() - 1, {1.f, c.g.rows - 1.f})) << "all rows";
        } else {
            EXPECT_EQ(blocks, kEarlierLayout) << "other output untouched";
        }
    }
}

TEST(RowsAndColumns, SixPagesRowBandByRowBand) {
    const GridSizes g = Sizes(20, 8, {240}, 970, {970}, 1970);
    std::vector<PageBlock> none(1), blocks(1);
    std::vector<float> start(1), end(1);
    float colBands = 0, rowBands = 0;
    PaginateColumns(g, 11520, kRowsAndColumnsSplit, none, start, end, colBands);
    PaginateRows(g, 15120, kRowsAndColumnsSplit, colBands, start, end, blocks, rowBands);
    EXPECT_EQ(rowBands, 2);
    // clang-format off
    const std::vector<PageBlock> expected{{}, {1, 11, 1, 3, 1}, {1, 11, 4, 6, 2}, {1, 11, 7, 7, 3},
                                          {12, 19, 1, 3, 4}, {12, 19, 4, 6, 5}, {12, 19, 7, 7, 6}};
    // clang-format on
    EXPECT_EQ(blocks, expected);
    // Without column bands (only column 0, wider than the page) no block is left over.
    blocks = kEarlierLayout;
    PaginateRows(g, 15120, kRowsAndColumnsSplit, 0, start, end, blocks, rowBands);
    EXPECT_EQ(blocks.size(), 1u);
}

TEST(Measuring, TotalsEstimatesAndArithmeticLimits) {
    const GridSizes g = Sizes(100000, 4, {}, 1000, {}, 2000);
    EXPECT_EQ(TotalColWidth(g), 4 * 2030);
    // 12120 usable: the sum passes it at the 12th row and the loop stops six rows later.
    EXPECT_EQ(TotalRowHeight(g, 0, 15120), 18 * 1030);
    EXPECT_EQ(TotalRowHeight(Sizes(5, 1, {}, 1000, {}, 1), 2, 15120), 3 * 1030) << "from the start row on";
    EXPECT_EQ(EstimateRowPages(12120, 15120), 1) << "exactly the usable height is one page";
    EXPECT_EQ(EstimateRowPages(12121, 15120), 2);
    EXPECT_EQ(EstimateRowPages(24240, 15120), 3) << "integer part plus one";
    EXPECT_EQ(test::ErrorOf([] { (void)EstimateRowPages(10, 3000); }), err::kDivisionByZero);
    // A page taller than 16 bits overflows and leaves the band count alone.
    std::vector<PageBlock> blocks(1);
    float bands = 7;
    EXPECT_EQ(test::ErrorOf([&] {
                  PaginateRows(Sizes(10, 2, {}, 240), 35768, kRowsSplit, 0, {0}, {0}, blocks, bands);
              }),
              err::kOverflow);
    EXPECT_EQ(bands, 7);
    // 32767 + 3000 is the largest page height that still fits.
    EXPECT_NO_THROW(PaginateRows(Sizes(10, 2, {}, 240), 35767, kRowsSplit, 0, {0}, {0}, blocks, bands));
}
