#pragma once

#include "component/JobState.h"
#include "engine/GridSizes.h"

#include <cstdint>
#include <vector>

namespace telmo {

// The layout rules of the report as plain functions over sizes and the page size. They
// throw RuntimeError on a failure; what they have written to their outputs stays written.
namespace pagination {

// Room left on a page for the title block and the page number.
inline constexpr float kPageReserve = 3000.0f;
// Added to every row height and column width that is summed.
inline constexpr int32_t kCellAllowance = 30;

// Sum of every column width, column 0 included, each plus the allowance.
int32_t TotalColWidth(const GridSizes& grid);

// Sum of row heights plus allowances from startRow on; stops a few rows after the sum has
// passed the usable page height, as it only tells one page from several.
int32_t TotalRowHeight(const GridSizes& grid, float startRow, float scaleHeight);

// 1 when totalHeight fits the usable page height, otherwise the number of page heights it needs.
int16_t EstimateRowPages(int32_t totalHeight, float scaleHeight);

// The column bands. Mode 3: one page block per band into blocks (rows 1 to Rows - 1).
// Mode 4: the bands into bandStart and bandEnd only. bandCount is written at the end.
void PaginateColumns(const GridSizes& grid, float scaleWidth, int16_t mode, std::vector<PageBlock>& blocks,
                     std::vector<float>& bandStart, std::vector<float>& bandEnd, float& bandCount);

// The row bands. Mode 1: one page block per band with every column. Mode 4: for each row band
// one block per column band, row band by row band. bandCount is written at the end.
void PaginateRows(const GridSizes& grid, float scaleHeight, int16_t mode, float colBandCount,
                  const std::vector<float>& colBandStart, const std::vector<float>& colBandEnd,
                  std::vector<PageBlock>& blocks, float& bandCount);

} // namespace pagination
} // namespace telmo
