#pragma once

#include <cstdint>

namespace telmo {

class Grid;
class PictureBox;

// The grid part of one page on the current printer page: the block is copied into the
// working grid, the grid's picture passes through the carrier box and is painted at 1500
// twips, centred on the printable width. Outside a preview run the progress bar is filled.
// Errors are reported.
void SendDataToPrinter(Grid& grid, PictureBox& pictureBox, float& startCol, float& endCol, float& startRow,
                       float& endRow);

// Left edge of a body image of this width on a printable width: half the difference, taken
// as an absolute value, so an image wider than the page starts right of the left edge.
int32_t CentredLeft(float printableWidth, float imageWidth);

} // namespace telmo
