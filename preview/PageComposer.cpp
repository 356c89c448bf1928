#include "preview/PageComposer.h"

#include "component/JobState.h"
#include "engine/GridSnapshot.h"
#include "engine/PageBody.h"
#include "engine/PageNumber.h"
#include "engine/TitleLine.h"
#include "platform/Conversions.h"
#include "platform/print/Printer.h"
#include "platform/ui/PictureBox.h"

namespace telmo {

PageComposer::PageComposer() : page_(std::make_unique<PictureBox>()), body_(std::make_unique<PictureBox>()) {
    page_->SetBorder(false);
    body_->SetBorder(false);
    body_->SetAutoSize(true);
}

PageComposer::~PageComposer() = default;

PicturePtr PageComposer::Compose(int page) {
    JobState& s = State();
    if (page < 1 || page > s.TotalPages || static_cast<size_t>(page) >= s.PageBlocks.size())
        return nullptr;
    const Printer& printer = Printers::Current();
    page_->Move(0, 0, static_cast<float>(ToLong(printer.Width())),
                static_cast<float>(ToLong(printer.Height())));
    page_->SetPicture(nullptr);
    // Every page starts in the body font: a page's look must not depend on which page was
    // composed before it.
    page_->SetFontName(s.DataFontName);
    PageBlock block = s.PageBlocks[static_cast<size_t>(page)];
    ComposeBody(grid_, *body_, block.StartCol, block.EndCol, block.StartRow, block.EndRow);
    if (!s.PageNoPosition.isEmpty())
        DrawPageNumber(*page_, QStringLiteral("Page %1 of %2").arg(page).arg(s.TotalPages));
    DrawHeader(*page_);
    PlaceBody(*page_, *body_);
    return page_->Image();
}

void PageComposer::ComposeBody(GridControl& grid, PictureBox& body, float& sSCol, float& sECol, float& sSRow,
                               float& sERow) {
    body.SetPicture(nullptr);
    CopyGrid(grid, sSCol, sECol, sSRow, sERow);
    body.SetAutoRedraw(true);
    body.SetPicture(grid.Picture());
    body.Box(0, 0, body.ScaleWidth(), body.ScaleHeight());
    body.SetPicture(body.Image());
}

void PageComposer::DrawPageNumber(DrawingSurface& page, const QString& caption) {
    const QString& position = State().PageNoPosition;
    if (position.isEmpty())
        return;
    page.SetFontSize(8);
    page.SetFontBold(false);
    float x = 0, y = 0;
    if (PageNumberPosition(position, page.ScaleLeft(), page.ScaleTop(), page.ScaleWidth(), page.ScaleHeight(),
                           x, y)) {
        page.SetCurrentX(x);
        page.SetCurrentY(y);
    }
    page.Print(caption);
}

void PageComposer::DrawHeader(DrawingSurface& page) {
    const JobState& s = State();
    PrintTitleBand(page, s);
    // Title 4 is the preview's own, near the foot of the page.
    PrintTitleLine(page, s.Title4Message, s.Title4FontName, s.Title4FontSize, s.Title4Alignment, 15000,
                   s.HeaderLeftMargin, s.HeaderRightMargin, &s.Title3Message);
    if (IsAutomationTrue(s.TitleSepratorFlag)) {
        MoveToSeparator(page, s);
        // The preview's separator ends twice the left margin short of the right edge.
        page.Line(page.CurrentX(), page.CurrentY(),
                  page.ScaleWidth() - 2 * static_cast<float>(s.HeaderLeftMargin), page.CurrentY());
    }
}

void PageComposer::PlaceBody(DrawingSurface& page, const PictureBox& body) {
    const int32_t x = CentredLeft(Printers::Current().ScaleWidth(), body.ScaleWidth());
    page.PaintPicture(body.Picture(), static_cast<float>(x), 1500);
}

} // namespace telmo
