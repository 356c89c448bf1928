#include "platform/grid/ItemModelGrid.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QHeaderView>
#include <QLocale>
#include <QStyledItemDelegate>
#include <QTableView>
#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

namespace telmo {
namespace {

// A fitted column's widest text, before its margins: a long text is shortened in its cell
// rather than pushing every other column onto pages of their own.
constexpr double kMaxFittedTextWidth = 11000;

int32_t PixelsToTwips(int pixels, int dpi) {
    return static_cast<int32_t>(std::lround(pixels * 1440.0 / (dpi > 0 ? dpi : 96)));
}

bool HasOwnLabels(const QAbstractItemModel& model, Qt::Orientation orientation, int count) {
    for (int section = 0; section < count; ++section)
        if (model.headerData(section, orientation, Qt::DisplayRole).toString() !=
            QString::number(section + 1))
            return true;
    return false;
}

// The sections in the order shown, without hidden ones; every section in order without a header.
std::vector<int> ShownSections(const QHeaderView* header, int count) {
    std::vector<int> sections;
    sections.reserve(static_cast<size_t>(count));
    for (int visual = 0; visual < count; ++visual) {
        const int logical = header != nullptr ? header->logicalIndex(visual) : visual;
        if (logical >= 0 && (header == nullptr || !header->isSectionHidden(logical)))
            sections.push_back(logical);
    }
    return sections;
}

std::optional<Qt::Alignment> AlignmentOf(const QVariant& value) {
    if (!value.isValid())
        return std::nullopt;
    return Qt::Alignment(value.toInt());
}

} // namespace

int16_t ItemModelGrid::AlignmentCode(Qt::Alignment alignment) {
    int horizontal = 0; // left (also leading and justified)
    if (alignment & Qt::AlignHCenter)
        horizontal = 1;
    else if (alignment & (Qt::AlignRight | Qt::AlignTrailing))
        horizontal = 2;
    int vertical = 1; // centred unless told otherwise
    if (alignment & Qt::AlignTop)
        vertical = 0;
    else if (alignment & Qt::AlignBottom)
        vertical = 2;
    return static_cast<int16_t>(horizontal * 3 + vertical);
}

std::shared_ptr<GridControl> ItemModelGrid::FromModel(const QAbstractItemModel& model,
                                                      HeadingColumn heading) {
    auto grid = std::make_shared<GridControl>();
    Fill(*grid, model, nullptr, heading);
    return grid;
}

std::shared_ptr<GridControl> ItemModelGrid::FromView(const QTableView& view, HeadingColumn heading) {
    auto grid = std::make_shared<GridControl>();
    if (view.model() != nullptr)
        Fill(*grid, *view.model(), &view, heading);
    return grid;
}

void ItemModelGrid::Fill(GridControl& grid, const QAbstractItemModel& model, const QTableView* view,
                         HeadingColumn heading) {
    const QHeaderView* hHeader = view != nullptr ? view->horizontalHeader() : nullptr;
    const QHeaderView* vHeader = view != nullptr ? view->verticalHeader() : nullptr;
    const std::vector<int> rows = ShownSections(vHeader, model.rowCount());
    const std::vector<int> cols = ShownSections(hHeader, model.columnCount());

    bool verticalHeading = heading == HeadingColumn::VerticalHeader;
    if (heading == HeadingColumn::Automatic)
        verticalHeading = (vHeader == nullptr || !vHeader->isHidden()) &&
                          HasOwnLabels(model, Qt::Vertical, model.rowCount());
    const int firstDataCol = verticalHeading ? 1 : 0;
    const int gridRows = 1 + static_cast<int>(rows.size());
    const int gridCols = std::max(1, firstDataCol + static_cast<int>(cols.size()));

    // Texts as the view's delegate shows them, so numbers and dates print in its locale.
    QStyledItemDelegate fallbackDelegate;
    const QLocale locale = view != nullptr ? view->locale() : QLocale();
    auto displayText = [&](const QModelIndex& index) {
        const QVariant value = model.data(index, Qt::DisplayRole);
        if (!value.isValid())
            return QString();
        const auto* delegate =
            view != nullptr ? qobject_cast<const QStyledItemDelegate*>(view->itemDelegateForIndex(index))
                            : nullptr;
        return (delegate != nullptr ? delegate : &fallbackDelegate)->displayText(value, locale);
    };

    // The one font first, so that measured widths and default heights use it.
    QFont font = view != nullptr ? view->font() : QApplication::font();
    if (!rows.empty() && !cols.empty()) {
        const QVariant cellFont = model.data(model.index(rows[0], cols[0]), Qt::FontRole);
        if (cellFont.canConvert<QFont>())
            font = cellFont.value<QFont>();
    }
    // Down to nothing first, so that a grid filled before keeps no sizes or alignments of its own.
    grid.SetFixedRows(0);
    grid.SetFixedCols(0);
    grid.SetRows(0);
    grid.SetCols(0);
    grid.SetRows(gridRows);
    grid.SetCols(gridCols);
    grid.SetFixedRows(1);
    grid.SetFixedCols(1);
    grid.SetFontName(font.family());
    double points = font.pointSizeF();
    if (points <= 0 && font.pixelSize() > 0)
        points = font.pixelSize() * 72.0 / (view != nullptr ? view->logicalDpiY() : 96);
    if (points > 0)
        grid.SetFontSize(static_cast<float>(points));

    std::vector<double> widest(static_cast<size_t>(gridCols), 0.0);
    auto put = [&](int r, int c, const QString& text) {
        if (text.isEmpty())
            return;
        grid.SetTextMatrix(r, c, text);
        if (view == nullptr)
            widest[static_cast<size_t>(c)] = std::max(widest[static_cast<size_t>(c)], grid.TextWidth(text));
    };

    for (size_t c = 0; c < cols.size(); ++c)
        put(0, firstDataCol + static_cast<int>(c),
            model.headerData(cols[c], Qt::Horizontal, Qt::DisplayRole).toString());
    for (size_t r = 0; r < rows.size(); ++r) {
        const int gridRow = 1 + static_cast<int>(r);
        if (verticalHeading)
            put(gridRow, 0, model.headerData(rows[r], Qt::Vertical, Qt::DisplayRole).toString());
        for (size_t c = 0; c < cols.size(); ++c)
            put(gridRow, firstDataCol + static_cast<int>(c), displayText(model.index(rows[r], cols[c])));
    }

    // Per column alignment: the first data row's, else the header's, else left-centre.
    for (size_t c = 0; c < cols.size(); ++c) {
        std::optional<Qt::Alignment> alignment;
        if (!rows.empty())
            alignment = AlignmentOf(model.data(model.index(rows[0], cols[c]), Qt::TextAlignmentRole));
        if (!alignment)
            alignment = AlignmentOf(model.headerData(cols[c], Qt::Horizontal, Qt::TextAlignmentRole));
        grid.SetColAlignment(firstDataCol + static_cast<int>(c),
                             AlignmentCode(alignment.value_or(Qt::AlignLeft | Qt::AlignVCenter)));
    }
    if (verticalHeading) {
        std::optional<Qt::Alignment> alignment;
        if (!rows.empty())
            alignment = AlignmentOf(model.headerData(rows[0], Qt::Vertical, Qt::TextAlignmentRole));
        if (!alignment && vHeader != nullptr)
            alignment = vHeader->defaultAlignment();
        grid.SetColAlignment(0, AlignmentCode(alignment.value_or(Qt::AlignLeft | Qt::AlignVCenter)));
    }

    if (view != nullptr) {
        const int dpiX = view->logicalDpiX();
        const int dpiY = view->logicalDpiY();
        if (verticalHeading)
            grid.SetColWidth(0, PixelsToTwips(vHeader->isHidden()
                                                  ? vHeader->sizeHint().width()
                                                  : std::max(vHeader->width(), vHeader->sizeHint().width()),
                                              dpiX));
        for (size_t c = 0; c < cols.size(); ++c)
            grid.SetColWidth(firstDataCol + static_cast<int>(c),
                             PixelsToTwips(hHeader->sectionSize(cols[c]), dpiX));
        if (!hHeader->isHidden())
            grid.SetRowHeight(0,
                              PixelsToTwips(std::max(hHeader->height(), hHeader->sizeHint().height()), dpiY));
        for (size_t r = 0; r < rows.size(); ++r)
            grid.SetRowHeight(1 + static_cast<int>(r), PixelsToTwips(vHeader->sectionSize(rows[r]), dpiY));
    } else {
        // Twice the cell margins each side, so that the rounding of a measure never shortens a text.
        for (int c = 0; c < gridCols; ++c)
            grid.SetColWidth(c, static_cast<int32_t>(
                                    std::ceil(std::min(widest[static_cast<size_t>(c)], kMaxFittedTextWidth) +
                                              4 * GridControl::kCellMarginX)));
    }
}

} // namespace telmo
