#include "app/ReportGrid.h"

#include "engine/Pagination.h"
#include "platform/GridControl.h"

#include <algorithm>
#include <limits>

namespace telmo::app {
namespace {

int32_t Repeating(const std::vector<int32_t>& values, int index) {
    return values[std::min(static_cast<size_t>(index), values.size() - 1)];
}

// Twice the cell margins on each side, so that a fitted text is never shortened by the
// rounding of its measure.
int32_t FittedWidth(double widestText) {
    return static_cast<int32_t>(std::min(widestText, kMaxFittedTextWidth)) +
           static_cast<int32_t>(4 * GridControl::kCellMarginX);
}

} // namespace

bool IsNumberColumn(const CsvTable& table, int col, int fixedRows, const std::optional<QLocale>& locale) {
    const QLocale c = QLocale::c();
    bool any = false;
    for (size_t r = static_cast<size_t>(std::max(0, fixedRows)); r < table.rows.size(); ++r) {
        const QString field = table.rows[r].value(col).trimmed();
        if (field.isEmpty())
            continue;
        bool ok = false;
        c.toDouble(field, &ok);
        if (!ok && locale)
            locale->toDouble(field, &ok);
        if (!ok)
            return false;
        any = true;
    }
    return any;
}

FittedWidthCaps FittedWidthCapsFor(float printableWidth, int32_t headingColumnWidth) {
    // Column pagination takes a column while the sum stays below its limit, so one twip less.
    const int32_t usable =
        static_cast<int32_t>(printableWidth - pagination::kPageReserve) - 2 * pagination::kCellAllowance - 1;
    const int32_t heading = std::max(0, usable / 2);
    return {heading, std::max(0, usable - std::min(headingColumnWidth, heading))};
}

std::shared_ptr<GridControl> BuildReportGrid(const CsvTable& table, const GridOptions& options) {
    auto grid = std::make_shared<GridControl>();
    if (options.fontName)
        grid->SetFontName(*options.fontName);
    if (options.fontSize)
        grid->SetFontSize(*options.fontSize);
    const int rows = static_cast<int>(table.rows.size());
    const int cols = std::max(1, table.maxFields);
    grid->SetRows(rows);
    grid->SetCols(cols);
    grid->SetFixedRows(static_cast<int16_t>(std::min(options.fixedRows, rows)));
    grid->SetFixedCols(1);
    // Without widths given, each column is fitted to its widest text, measured as the texts go in.
    const bool fit = options.colWidths.empty();
    std::vector<double> widest(fit ? static_cast<size_t>(cols) : 0, 0.0);
    for (int r = 0; r < rows; ++r) {
        const QStringList& fields = table.rows[static_cast<size_t>(r)];
        for (int c = 0; c < fields.size(); ++c) {
            if (fields[c].isEmpty())
                continue;
            grid->SetTextMatrix(r, c, fields[c]);
            if (fit)
                widest[static_cast<size_t>(c)] =
                    std::max(widest[static_cast<size_t>(c)], grid->TextWidth(fields[c]));
        }
    }
    if (fit) {
        std::vector<int32_t> widths(static_cast<size_t>(cols));
        for (int c = 0; c < cols; ++c)
            widths[static_cast<size_t>(c)] = FittedWidth(widest[static_cast<size_t>(c)]);
        if (options.printableWidth > 0) {
            const FittedWidthCaps caps = FittedWidthCapsFor(options.printableWidth, widths[0]);
            widths[0] = std::min(widths[0], caps.headingColumn);
            for (int c = 1; c < cols; ++c)
                widths[static_cast<size_t>(c)] = std::min(widths[static_cast<size_t>(c)], caps.otherColumns);
        }
        for (int c = 0; c < cols; ++c)
            grid->SetColWidth(c, widths[static_cast<size_t>(c)]);
    } else {
        for (int c = 0; c < cols; ++c)
            grid->SetColWidth(c, Repeating(options.colWidths, c));
    }
    constexpr int16_t kAlignRightCenter = 7;
    for (int c = 0; c < cols; ++c)
        if (IsNumberColumn(table, c, options.fixedRows, options.numberLocale))
            grid->SetColAlignment(c, kAlignRightCenter);
    if (!options.rowHeights.empty())
        for (int r = 0; r < rows; ++r)
            grid->SetRowHeight(r, Repeating(options.rowHeights, r));
    if (options.wrap) {
        // A row taller than the page body would run off the paper: it keeps what fits, its
        // last line ending in an ellipsis. The heading row, on every page, takes at most half.
        const int32_t bodyRoom = options.printableHeight > 0
                                     ? static_cast<int32_t>(options.printableHeight - kBodyTop)
                                     : std::numeric_limits<int32_t>::max();
        const int32_t heading = std::min(grid->WrappedRowHeight(0), std::max(1, bodyRoom / 2));
        grid->SetRowHeight(0, heading);
        for (int r = 1; r < rows; ++r)
            grid->SetRowHeight(r, std::min(grid->WrappedRowHeight(r), std::max(1, bodyRoom - heading - 1)));
    }
    return grid;
}

} // namespace telmo::app
