#pragma once

#include <cstdint>
#include <functional>

namespace telmo {

class Grid;

// What pagination needs to know of a grid: its counts and its row heights and column
// widths. Keeping the layout functions on this (and not on a grid object) lets them run on
// plain numbers.
struct GridSizes {
    int32_t rows = 0;
    int32_t cols = 0;
    std::function<int32_t(int32_t)> rowHeight;
    std::function<int32_t(int32_t)> colWidth;

    // The sizes of a grid object, read through its own operations.
    static GridSizes Of(const Grid& grid);
};

} // namespace telmo
