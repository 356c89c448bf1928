#pragma once

#include "platform/grid/GridControl.h"

#include <memory>

class QAbstractItemModel;
class QTableView;

namespace telmo {

// Fills a GridControl from a Qt item model, so that IPrinter prints and previews whatever a
// QTableView shows. Row 0 is the horizontal header; column 0 is the vertical header or the
// model's first column.
//
// - Texts: Qt::DisplayRole, formatted as the view's delegate formats it (the view's locale)
//   when a view is given, else as a default styled delegate does in the default locale.
// - Alignment: the grid aligns whole columns, so each column takes the Qt::TextAlignmentRole of
//   its first data row; when that row sets none, the horizontal header section's; else left and
//   vertically centred, as a QTableView draws an item without alignment.
// - Font: the grid has one font: the first data cell's Qt::FontRole when set, else the view's
//   font, else the application font (family and size).
// - Sizes: with a view, column widths and row heights are its header section sizes, pixels
//   turned to twips at the view's logical DPI; columns and rows the view hides are left out
//   and columns follow the view's visual order. Without a view, each column is as wide as its
//   widest text and rows keep the font's height.
class ItemModelGrid {
public:
    enum class HeadingColumn {
        // The vertical header when it has labels of its own (not just 1, 2, 3...) and is not
        // hidden by the view, else the first column.
        Automatic,
        VerticalHeader,
        FirstColumn
    };

    static std::shared_ptr<GridControl> FromModel(const QAbstractItemModel& model,
                                                  HeadingColumn heading = HeadingColumn::Automatic);
    // The view's model as the view shows it.
    static std::shared_ptr<GridControl> FromView(const QTableView& view,
                                                 HeadingColumn heading = HeadingColumn::Automatic);
    // Replaces the grid's contents; view may be null.
    static void Fill(GridControl& grid, const QAbstractItemModel& model, const QTableView* view,
                     HeadingColumn heading = HeadingColumn::Automatic);

    // The grid's alignment code for a Qt alignment (left and vertically centred when it sets
    // neither direction).
    static int16_t AlignmentCode(Qt::Alignment alignment);
};

} // namespace telmo
