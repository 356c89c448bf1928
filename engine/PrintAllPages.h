#pragma once

#include <functional>

namespace telmo {

class Grid;
class PictureBox;

// Every page of the page block table as one printer document: page number, title block and
// body for each page, a new page after each, then the end of the document. Outside a
// preview run the progress window shows the page being printed. Errors are reported; an
// error of the page loop itself ends the run without ending the document.
void PrintAllPages(Grid& grid, PictureBox& pictureBox);

// Told after each page PrintAllPages has sent, with the page and the total; a batch host
// shows its own progress with it. Empty: nobody is told.
using PagePrintedObserver = std::function<void(int page, int total)>;
void SetPagePrintedObserver(PagePrintedObserver observer);

} // namespace telmo
