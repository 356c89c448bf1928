#pragma once

#include "app/CsvReader.h"

#include <QLocale>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace telmo {
class GridControl;
}

namespace telmo::app {

// How the report command lays a CSV table into its grid.
struct GridOptions {
    std::optional<QString> fontName;
    std::optional<float> fontSize;
    int fixedRows = 1; // 0 or 1: whether line 1 of the file is the heading row
    // Twips; the last value repeats for the columns or rows past the end. Empty: the default
    // (columns fitted to their widest text, rows as high as the grid font needs).
    std::vector<int32_t> colWidths;
    std::vector<int32_t> rowHeights;
    // The printer's printable width in twips, or 0 for no printer: fitted columns are kept
    // narrow enough to print beside the heading column within it.
    float printableWidth = 0;
    // The printable height in twips, or 0 for no printer: a wrapped row is kept within it.
    float printableHeight = 0;
    // A column whose data cells all read as numbers (in the C locale, or this one) is aligned
    // right, heading included, as a spreadsheet shows it.
    std::optional<QLocale> numberLocale;
    // Rows as tall as their texts wrapped within the column widths, instead of one line.
    bool wrap = false;
};

// The page body starts this far below the top of the printable area (the title block).
inline constexpr float kBodyTop = 1500;
// The page number is written this far above the foot of the printable area.
inline constexpr float kPageNumberRoom = 500;

// The widest the heading column and any other column may be fitted on a printable width:
// together, with their allowances, they fit the width column pagination fills, so that a
// column on a page of its own still lies on the paper.
struct FittedWidthCaps {
    int32_t headingColumn;
    int32_t otherColumns;
};
FittedWidthCaps FittedWidthCapsFor(float printableWidth, int32_t headingColumnWidth);

// The smallest grid font --fit-width shrinks to, in points.
inline constexpr float kSmallestFitPoints = 6;

// Widest a fitted column gets before its margins, in twips: a long text is shortened in its
// cell rather than pushing every other column onto later pages.
inline constexpr double kMaxFittedTextWidth = 11000;

// The grid the report command prints: row 0 is line 1 of the file, column 0 the first field
// of every line; one fixed column, fixedRows fixed rows (never more than the grid has).
std::shared_ptr<GridControl> BuildReportGrid(const CsvTable& table, const GridOptions& options);

// Builds the same grid record by record, as a file is read, so that no table of the texts is
// held beside the grid: widths are measured as the texts go in, everything that needs the
// whole table is worked out by Finish over the filled grid.
class ReportGridBuilder {
public:
    explicit ReportGridBuilder(const GridOptions& options);
    void Add(const QStringList& fields);
    // Fitted widths and wrapped rows are kept within the printer chosen after the file was read.
    void SetPrintable(float width, float height) {
        options_.printableWidth = width;
        options_.printableHeight = height;
    }
    std::shared_ptr<GridControl> Finish();
    // Sets a finished grid's font size and fits its columns and wrapped rows to the texts at
    // that size, measured on the grid itself: the same grid as one built at that size.
    static void Refit(GridControl& grid, float fontSize, const GridOptions& options);
    // Refits a finished grid at the largest font size, from its own down to
    // kSmallestFitPoints, whose columns fit the printable width on one page; false when none
    // does (the grid is left at that smallest size).
    static bool FitToWidth(GridControl& grid, const GridOptions& options);

private:
    // What depends on the grid font: fitted column widths (from the widest text of each
    // column) and wrapped row heights.
    static void FitToFont(GridControl& grid, const std::vector<double>& widest, const GridOptions& options);

    GridOptions options_;
    std::shared_ptr<GridControl> grid_;
    std::vector<double> widest_;
    int32_t rows_ = 0;
    int32_t cols_ = 1;
};

} // namespace telmo::app
