#include "app/ReportGrid.h"

#include "engine/GridSizes.h"
#include "engine/Pagination.h"
#include "platform/grid/CellText.h"
#include "platform/grid/GridControl.h"

#include <algorithm>
#include <cmath>
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

// The width a text is fitted by, in twips: anything past kMaxFittedTextWidth counts the same,
// so a long text is first measured by its start, and only measured whole when that is narrower.
// Laying out a text of megabytes takes seconds and a multiple of its size in memory.
double FittedTextWidth(const GridControl& grid, const QString& text) {
    constexpr qsizetype kStart = 4096;
    if (text.size() > kStart) {
        const double start = grid.TextWidth(QStringView(text).first(kStart));
        if (start >= kMaxFittedTextWidth)
            return start;
    }
    return grid.TextWidth(text);
}

constexpr qsizetype kLongestNumberChars = 1000;

// Whether every non-empty cell of a column below the fixed rows reads as a number; a column
// with no such cell does not.
bool IsNumberColumn(const GridControl& grid, int32_t col, int32_t fixedRows,
                    const std::optional<QLocale>& locale) {
    const QLocale c = QLocale::c();
    bool any = false;
    for (int32_t r = std::max(0, fixedRows); r < grid.Rows(); ++r) {
        // Read in place: a copy of a long text would be held beside the grid.
        const QStringView field = grid.TextView(r, col).trimmed();
        if (field.isEmpty())
            continue;
        // Reading a number takes a copy of the text, so a text longer than any number a
        // table shows is text, not copied to find out.
        if (field.size() > kLongestNumberChars)
            return false;
        bool ok = IsPlainDecimal(field);
        if (!ok)
            c.toDouble(field, &ok);
        if (!ok && locale)
            locale->toDouble(field, &ok);
        if (!ok)
            return false;
        any = true;
    }
    return any;
}

} // namespace

FittedWidthCaps FittedWidthCapsFor(float printableWidth, int32_t headingColumnWidth) {
    // Column pagination takes a column while the sum stays below its limit, so one twip less.
    const int32_t usable =
        static_cast<int32_t>(printableWidth - pagination::kPageReserve) - 2 * pagination::kCellAllowance - 1;
    const int32_t heading = std::max(0, usable / 2);
    return {heading, std::max(0, usable - std::min(headingColumnWidth, heading))};
}

ReportGridBuilder::ReportGridBuilder(const GridOptions& options)
    : options_(options), grid_(std::make_shared<GridControl>()) {
    if (options_.fontName)
        grid_->SetFontName(*options_.fontName);
    if (options_.fontSize)
        grid_->SetFontSize(*options_.fontSize);
    grid_->SetRows(0);
    grid_->SetCols(1);
    if (options_.colWidths.empty())
        widest_.assign(1, 0.0);
}

void ReportGridBuilder::Add(const QStringList& fields) {
    const int32_t row = rows_++;
    grid_->SetRows(rows_);
    const auto count = static_cast<int32_t>(fields.size());
    const bool fit = options_.colWidths.empty();
    if (count > cols_) {
        cols_ = count;
        grid_->SetCols(cols_);
        if (fit)
            widest_.resize(static_cast<size_t>(cols_), 0.0);
    }
    // Without widths given, each column is fitted to its widest text, measured as the texts go in.
    for (int32_t c = 0; c < count; ++c) {
        const QString& text = fields[c];
        if (text.isEmpty())
            continue;
        grid_->SetTextMatrix(row, c, text);
        if (fit)
            widest_[static_cast<size_t>(c)] =
                std::max(widest_[static_cast<size_t>(c)], FittedTextWidth(*grid_, text));
    }
}

std::shared_ptr<GridControl> ReportGridBuilder::Finish() {
    GridControl& grid = *grid_;
    const int32_t rows = rows_;
    const int32_t cols = cols_;
    grid.SetFixedRows(static_cast<int16_t>(std::min(options_.fixedRows, rows)));
    grid.SetFixedCols(1);
    if (!options_.colWidths.empty())
        for (int c = 0; c < cols; ++c)
            grid.SetColWidth(c, Repeating(options_.colWidths, c));
    // The texts are read back from the grid, which holds them compactly, not from a table.
    constexpr int16_t kAlignRightCenter = 7;
    for (int c = 0; c < cols; ++c)
        if (IsNumberColumn(grid, c, options_.fixedRows, options_.numberLocale))
            grid.SetColAlignment(c, kAlignRightCenter);
    if (!options_.rowHeights.empty())
        for (int r = 0; r < rows; ++r)
            grid.SetRowHeight(r, Repeating(options_.rowHeights, r));
    FitToFont(grid, widest_, options_);
    return std::move(grid_);
}

void ReportGridBuilder::Refit(GridControl& grid, float fontSize, const GridOptions& options) {
    grid.SetFontSize(fontSize);
    std::vector<double> widest;
    if (options.colWidths.empty()) {
        widest.assign(static_cast<size_t>(grid.Cols()), 0.0);
        for (int32_t c = 0; c < grid.Cols(); ++c)
            for (int32_t r = 0; r < grid.Rows(); ++r)
                if (const QString text = grid.TextMatrix(r, c); !text.isEmpty())
                    widest[static_cast<size_t>(c)] =
                        std::max(widest[static_cast<size_t>(c)], FittedTextWidth(grid, text));
    }
    FitToFont(grid, widest, options);
}

void ReportGridBuilder::FitToFont(GridControl& grid, const std::vector<double>& widest,
                                  const GridOptions& options) {
    const int32_t rows = grid.Rows();
    const int32_t cols = grid.Cols();
    if (options.colWidths.empty()) {
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
            grid.SetColWidth(c, widths[static_cast<size_t>(c)]);
    }
    if (options.wrap && rows > 0) {
        // A row taller than the page body would run off the paper: it keeps what fits, its
        // last line ending in an ellipsis. The heading row, on every page, takes at most half.
        const int32_t bodyRoom = options.printableHeight > 0
                                     ? static_cast<int32_t>(options.printableHeight - kBodyTop)
                                     : std::numeric_limits<int32_t>::max();
        const int32_t heading = std::max(1, bodyRoom / 2);
        grid.SetRowHeight(0, std::min(grid.WrappedRowHeight(0, heading), heading));
        const int32_t body = std::max(1, bodyRoom - grid.RowHeight(0) - 1);
        for (int r = 1; r < rows; ++r)
            grid.SetRowHeight(r, std::min(grid.WrappedRowHeight(r, body), body));
    }
}

// Each size is tried on the same grid, measured again, so no second copy of the texts is made.
bool ReportGridBuilder::FitToWidth(GridControl& grid, const GridOptions& options) {
    const float width = options.printableWidth;
    float points = grid.FontSize();
    for (int attempt = 0;; ++attempt) {
        if (attempt > 0)
            Refit(grid, points, options);
        const float total = static_cast<float>(pagination::TotalColWidth(GridSizes::Of(grid)));
        if (total <= width || width <= 0)
            return true;
        if (points <= kSmallestFitPoints || attempt >= 12)
            return false;
        // Text widths scale with the font, the cell margins do not: step a little below the ratio.
        points = std::max(kSmallestFitPoints, std::floor(points * width / total * 0.98f * 4) / 4);
    }
}

std::shared_ptr<GridControl> BuildReportGrid(const CsvTable& table, const GridOptions& options) {
    ReportGridBuilder builder(options);
    for (const QStringList& row : table.rows)
        builder.Add(row);
    return builder.Finish();
}

} // namespace telmo::app
