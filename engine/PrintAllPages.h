#pragma once

namespace telmo {

class Grid;
class PictureBox;

// Every page of the page block table as one printer document: page number, title block and
// body for each page, a new page after each, then the end of the document. Outside a
// preview run the progress window shows the page being printed. Errors are reported; an
// error of the page loop itself ends the run without ending the document.
void PrintAllPages(Grid& grid, PictureBox& pictureBox);

} // namespace telmo
