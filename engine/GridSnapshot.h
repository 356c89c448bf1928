#pragma once

namespace telmo {

class Grid;

// Fills the working grid with one page block of the source grid: the heading row (source
// row 0), the heading column (source column 0) and the block's rows and columns, with
// the source's sizes, alignments, font, merge settings and grid lines. Errors are reported;
// the working grid then holds what was copied so far.
void CopyGrid(Grid& grid, float& startCol, float& endCol, float& startRow, float& endRow);

} // namespace telmo
