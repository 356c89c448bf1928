#pragma once

#include "platform/grid/GridControl.h"
#include "platform/ui/Picture.h"

#include <QString>
#include <memory>

namespace telmo {

class DrawingSurface;
class PictureBox;

// The steps a preview page is composed of, on whatever surfaces they are given, and a
// composer with surfaces of its own for pages other than the one on display (the thumbnails):
// composing those must not disturb the window's page, whose body a current-page print reuses.
class PageComposer {
public:
    PageComposer();
    ~PageComposer();

    // The finished page of the layout in force, or nullptr when the layout has no such page.
    PicturePtr Compose(int page);

    // The working grid filled with the block and its image, framed, as body's picture.
    static void ComposeBody(GridControl& grid, PictureBox& body, float& sSCol, float& sECol, float& sSRow,
                            float& sERow);
    // "Page n of m" in 8-point regular type at the corner PageNoPosition names, in the font
    // the surface has now.
    static void DrawPageNumber(DrawingSurface& page, const QString& caption);
    // The title block, with the preview's fourth line near the foot and its separator.
    static void DrawHeader(DrawingSurface& page);
    // The body picture centred on the printable width, 1500 twips down; opaque over the rest.
    static void PlaceBody(DrawingSurface& page, const PictureBox& body);

private:
    GridControl grid_;
    std::unique_ptr<PictureBox> page_;
    std::unique_ptr<PictureBox> body_;
};

} // namespace telmo
