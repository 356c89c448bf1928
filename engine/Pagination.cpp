#include "engine/Pagination.h"

#include "platform/Conversions.h"
#include "platform/RuntimeError.h"

#include <cmath>
#include <cstdlib>

namespace telmo::pagination {
namespace {

// Long arithmetic: a sum outside 32 bits is an overflow, as in the host language.
int32_t LongSum(int64_t a, int64_t b, int64_t c = 0) {
    const int64_t sum = a + b + c;
    if (sum > INT32_MAX || sum < INT32_MIN)
        throw RuntimeError(err::kOverflow);
    return static_cast<int32_t>(sum);
}

int32_t Index(float wholeNumber) {
    return ToLong(wholeNumber);
}

} // namespace

int32_t TotalColWidth(const GridSizes& grid) {
    int32_t total = 0;
    for (int32_t c = 0; c <= grid.cols - 1; ++c)
        total = LongSum(total, grid.colWidth(c), kCellAllowance);
    return total;
}

int32_t TotalRowHeight(const GridSizes& grid, float startRow, float scaleHeight) {
    const int32_t limit = ToLong(scaleHeight - kPageReserve);
    int32_t total = 0;
    int overflowCount = 0;
    const float last = static_cast<float>(grid.rows - 1);
    for (float r = startRow; r <= last; r += 1.0f) {
        total = LongSum(total, grid.rowHeight(Index(r)), kCellAllowance);
        if (total > limit) {
            if (overflowCount > 5)
                break;
            ++overflowCount;
        }
    }
    return total;
}

int16_t EstimateRowPages(int32_t totalHeight, float scaleHeight) {
    const double limit = static_cast<double>(scaleHeight) - kPageReserve;
    if (limit >= totalHeight)
        return 1;
    if (limit == 0.0)
        throw RuntimeError(err::kDivisionByZero);
    return ToInteger(std::floor(totalHeight / limit) + 1.0);
}

void PaginateColumns(const GridSizes& grid, float scaleWidth, int16_t mode, std::vector<PageBlock>& blocks,
                     std::vector<float>& bandStart, std::vector<float>& bandEnd, float& bandCount) {
    const int32_t limit = ToInteger(scaleWidth - kPageReserve);
    int16_t bandNo = 1;
    const int16_t lastCol = ToInteger(static_cast<double>(grid.cols) - 1);
    const int32_t colsLast = grid.cols - 1;
    for (int16_t c = 1; c <= lastCol; c = AddInteger(c, 1)) {
        int32_t w = LongSum(grid.colWidth(0), kCellAllowance);
        if (mode == kColumnsSplit) {
            ResizePreserve(blocks, bandNo);
            PageBlock& block = blocks[bandNo];
            block.StartRow = 1;
            block.EndRow = static_cast<float>(grid.rows - 1);
            block.StartCol = c;
            block.PageNo = bandNo;
        } else if (mode == kRowsAndColumnsSplit) {
            ResizePreserve(bandStart, bandNo);
            bandStart[bandNo] = c;
        }
        while (LongSum(w, grid.colWidth(c), kCellAllowance) < limit) {
            w = LongSum(w, grid.colWidth(c), kCellAllowance);
            if (c < colsLast && LongSum(w, grid.colWidth(c + 1), kCellAllowance) > limit)
                break; // the next column does not fit
            c = AddInteger(c, 1);
            if (c > colsLast)
                break; // the grid has ended
        }
        const float bandLast = static_cast<float>(c > colsLast ? colsLast : c);
        if (mode == kColumnsSplit) {
            blocks[bandNo].EndCol = bandLast;
        } else if (mode == kRowsAndColumnsSplit) {
            ResizePreserve(bandEnd, bandNo);
            bandEnd[bandNo] = bandLast;
        }
        bandNo = AddInteger(bandNo, 1);
    }
    // A grid with no column besides the heading column makes no band: the table then holds
    // no page rather than the pages of an earlier layout.
    if (mode == kColumnsSplit)
        ResizePreserve(blocks, bandNo - 1);
    bandCount = static_cast<float>(bandNo - 1);
}

void PaginateRows(const GridSizes& grid, float scaleHeight, int16_t mode, float colBandCount,
                  const std::vector<float>& colBandStart, const std::vector<float>& colBandEnd,
                  std::vector<PageBlock>& blocks, float& bandCount) {
    const int32_t limit = ToInteger(scaleHeight - kPageReserve);
    int16_t pageNo = 1;
    int16_t blockNo = 1;
    const float lastRow = static_cast<float>(grid.rows - 1);
    for (float r = 1.0f; r <= lastRow; r += 1.0f) {
        float bandStartRow = r;
        if (mode == kRowsSplit) {
            ResizePreserve(blocks, pageNo);
            PageBlock& block = blocks[pageNo];
            block.StartRow = r;
            block.StartCol = 1;
            block.EndCol = static_cast<float>(grid.cols - 1);
            block.PageNo = pageNo;
        }
        int32_t h = LongSum(grid.rowHeight(0), kCellAllowance);
        while (LongSum(h, grid.rowHeight(Index(r)), kCellAllowance) < limit) {
            h = LongSum(h, grid.rowHeight(Index(r)), kCellAllowance);
            // No look-ahead for the grid's last row: it always joins the band in progress.
            if (r + 1.0f < lastRow && LongSum(h, grid.rowHeight(Index(r + 1.0f)), kCellAllowance) > limit)
                break;
            r += 1.0f;
            if (r > lastRow)
                break;
        }
        const float bandLast = r > lastRow ? lastRow : r;
        if (mode == kRowsSplit) {
            blocks[pageNo].EndRow = bandLast;
        } else if (mode == kRowsAndColumnsSplit) {
            for (float c = 1.0f; c <= colBandCount; c += 1.0f) {
                ResizePreserve(blocks, blockNo);
                const size_t band = static_cast<size_t>(Index(c));
                if (band >= colBandStart.size() || band >= colBandEnd.size())
                    throw RuntimeError(err::kSubscriptOutOfRange);
                blocks[blockNo] =
                    PageBlock{bandStartRow, bandLast, colBandStart[band], colBandEnd[band], blockNo};
                blockNo = AddInteger(blockNo, 1);
            }
        }
        pageNo = AddInteger(pageNo, 1);
    }
    // Without rows or column bands the table holds no page rather than an earlier layout's.
    if (mode == kRowsSplit)
        ResizePreserve(blocks, pageNo - 1);
    else if (mode == kRowsAndColumnsSplit)
        ResizePreserve(blocks, blockNo - 1);
    bandCount = static_cast<float>(pageNo - 1);
}

} // namespace telmo::pagination
