#include "engine/GridSizes.h"

#include "platform/grid/Grid.h"

namespace telmo {

GridSizes GridSizes::Of(const Grid& grid) {
    GridSizes sizes;
    sizes.rows = grid.Rows();
    sizes.cols = grid.Cols();
    sizes.rowHeight = [&grid](int32_t row) { return grid.RowHeight(row); };
    sizes.colWidth = [&grid](int32_t col) { return grid.ColWidth(col); };
    return sizes;
}

} // namespace telmo
