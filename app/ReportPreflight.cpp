#include "app/ReportPreflight.h"

#include "app/ReportGrid.h"

#include "engine/GridSizes.h"
#include "engine/Pagination.h"
#include "platform/RuntimeError.h"
#include "platform/grid/Grid.h"

#include <algorithm>
#include <vector>

namespace telmo::app {
namespace {

// Page numbers are 16-bit and the page counters step once past the last page.
constexpr int kMostPages = 32766;
// Column numbers are 16-bit too, and the loop over them looks one column ahead and steps once
// past the last.
constexpr int kMostDataColumns = 32765;

// "column 2", "columns 2, 5 and 7", "columns 2, 3, 4, 5, 6 and 12 more"
QString Listed(const char* singular, const std::vector<int>& numbers) {
    constexpr size_t kShown = 5;
    QString list;
    for (size_t i = 0; i < numbers.size() && i < kShown; ++i) {
        if (i > 0)
            list += (i + 1 == numbers.size()) ? QStringLiteral(" and ") : QStringLiteral(", ");
        list += QString::number(numbers[i]);
    }
    if (numbers.size() > kShown)
        list += QStringLiteral(" and %1 more").arg(numbers.size() - kShown);
    return QStringLiteral("%1%2 %3").arg(QLatin1String(singular), numbers.size() == 1 ? "" : "s", list);
}

// The number of pages the layout makes, or nothing when it would need more than it can count.
std::optional<int> PageCount(const GridSizes& sizes, float scaleWidth, float scaleHeight, float startRow) {
    using namespace pagination;
    try {
        const bool tooWide = static_cast<float>(TotalColWidth(sizes)) > scaleWidth;
        const bool tooHigh = EstimateRowPages(TotalRowHeight(sizes, startRow, scaleHeight), scaleHeight) > 1;
        std::vector<PageBlock> unused;
        std::vector<float> bandStart, bandEnd;
        float colBands = 1, rowBands = 1;
        constexpr int16_t kCountOnly = 0;
        if (tooWide)
            PaginateColumns(sizes, scaleWidth, kCountOnly, unused, bandStart, bandEnd, colBands);
        if (tooHigh)
            PaginateRows(sizes, scaleHeight, kCountOnly, 0, bandStart, bandEnd, unused, rowBands);
        const double pages = static_cast<double>(colBands) * static_cast<double>(rowBands);
        if (pages > kMostPages)
            return std::nullopt;
        return static_cast<int>(pages);
    } catch (const RuntimeError& e) {
        if (e.Number() == err::kOverflow)
            return std::nullopt;
        throw;
    }
}

QString IsOrAre(const std::vector<int>& numbers) {
    return numbers.size() == 1 ? QStringLiteral("is") : QStringLiteral("are");
}

// The rows each page holds, as the layout will lay them out: mode 1 or 4 splits them into
// bands; one page (mode 2) holds the rows from the start row; a report split by columns
// only (mode 3) holds every row on each of its pages.
struct RowBand {
    int32_t first, last;
    int firstPage, pages; // the pages that show the band, one per column band
};

std::vector<RowBand> RowBands(const GridSizes& sizes, float scaleWidth, float scaleHeight,
                              float startRowValue, int fixedRows, int* colBandsOut) {
    using namespace pagination;
    const bool tooWide = static_cast<float>(TotalColWidth(sizes)) > scaleWidth;
    const bool tooHigh = EstimateRowPages(TotalRowHeight(sizes, startRowValue, scaleHeight), scaleHeight) > 1;
    std::vector<PageBlock> blocks;
    std::vector<float> bandStart, bandEnd;
    float colBands = 1, rowBands = 1;
    if (tooWide)
        PaginateColumns(sizes, scaleWidth, 0, blocks, bandStart, bandEnd, colBands);
    const int perBand = std::max(1, static_cast<int>(colBands));
    *colBandsOut = perBand;
    if (!tooHigh) {
        const int32_t first = tooWide ? 1 : (fixedRows == 0 ? 0 : static_cast<int32_t>(startRowValue) + 1);
        return {RowBand{first, sizes.rows - 1, 1, perBand}};
    }
    PaginateRows(sizes, scaleHeight, 1, 0, bandStart, bandEnd, blocks, rowBands);
    std::vector<RowBand> bands;
    for (size_t i = 1; i < blocks.size(); ++i)
        bands.push_back({static_cast<int32_t>(blocks[i].StartRow), static_cast<int32_t>(blocks[i].EndRow),
                         static_cast<int>(i - 1) * perBand + 1, perBand});
    return bands;
}

// Why a start row would not be where the report begins, or nothing: the layout starts at
// it only on a report of one page with a heading row.
std::optional<QString> StartRowProblem(const GridSizes& sizes, float scaleWidth, float scaleHeight,
                                       int startRow, int fixedRows, const QString& csvPath) {
    using namespace pagination;
    if (startRow <= 1)
        return std::nullopt;
    const QString head = QStringLiteral("--start-row %1: ").arg(startRow);
    const QString tail = QStringLiteral(" Nothing was printed.");
    if (fixedRows == 0)
        return head +
               QStringLiteral("with --fixed-rows 0 the report always begins at line 1 of %1; leave "
                              "out one of the two.")
                   .arg(csvPath) +
               tail;
    if (static_cast<float>(TotalColWidth(sizes)) > scaleWidth)
        return head +
               QStringLiteral("%1 is wider than the page, and a report split by columns prints every "
                              "row from row 1 on; make it one page wide (--columns, --fit-width, "
                              "--landscape or larger --paper), or leave out --start-row.")
                   .arg(csvPath) +
               tail;
    const auto onePage = [&](int row) {
        return EstimateRowPages(TotalRowHeight(sizes, static_cast<float>(row - 1), scaleHeight),
                                scaleHeight) == 1;
    };
    if (onePage(startRow))
        return std::nullopt;
    // The first start row from which the rest fits one page: the rows from a later one fit too.
    int low = startRow + 1, high = sizes.rows - 1;
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (onePage(middle))
            high = middle;
        else
            low = middle + 1;
    }
    return head +
           QStringLiteral("the rows of %1 from row %2 on are more than one page, and a report of "
                          "several pages always begins at row 1 (the start row is for a report of "
                          "one page); give --start-row %3 or higher, whose rows fit one page, or leave "
                          "out --start-row to print every row.")
               .arg(csvPath)
               .arg(startRow)
               .arg(low) +
           tail;
}

} // namespace

PreflightFindings CheckReport(const Grid& grid, float scaleWidth, float scaleHeight, int startRow,
                              const QString& csvPath) {
    const float startRowValue = startRow > 0 ? static_cast<float>(startRow - 1) : 0.0f;
    PreflightFindings findings;
    const GridSizes sizes = GridSizes::Of(grid);
    const int32_t headingWidth = sizes.colWidth(0);
    if (sizes.cols == 1 && static_cast<float>(headingWidth + pagination::kCellAllowance) > scaleWidth) {
        findings.blocker = QStringLiteral("%1: the only column is %2 twips wide, wider than the printable "
                                          "width of %3 twips, so the report would have no pages; give "
                                          "--col-widths %4 or less. Nothing was printed.")
                               .arg(csvPath)
                               .arg(headingWidth)
                               .arg(static_cast<int>(scaleWidth))
                               .arg(static_cast<int>(scaleWidth) - pagination::kCellAllowance);
        return findings;
    }
    const std::optional<int> pages = PageCount(sizes, scaleWidth, scaleHeight, startRowValue);
    // Columns are counted in 16 bits while the page is laid out: the column after the last
    // one it can count overflows, whatever the page count would be.
    if (!pages && sizes.cols - 1 > kMostDataColumns) {
        findings.blocker = QStringLiteral("%1: the file has %L2 columns after the heading column, more than "
                                          "the %L3 one report can lay out; pick the columns to print "
                                          "with --columns, or split the file. Nothing was printed.")
                               .arg(csvPath)
                               .arg(sizes.cols - 1)
                               .arg(kMostDataColumns);
        return findings;
    }
    if (!pages) {
        findings.blocker =
            QStringLiteral("%1: the report would need more than %L2 pages, the most one report "
                           "can number; split the file and print it in parts, or put more "
                           "on a page with smaller --row-heights, a smaller --grid-size or "
                           "larger --paper. Nothing was printed.")
                .arg(csvPath)
                .arg(kMostPages);
        return findings;
    }

    if (std::optional<QString> problem =
            StartRowProblem(sizes, scaleWidth, scaleHeight, startRow, grid.FixedRows(), csvPath)) {
        findings.blocker = std::move(problem);
        return findings;
    }

    std::vector<int> wideColumns, tallRows;
    for (int32_t c = 1; c < sizes.cols; ++c)
        if (static_cast<float>(headingWidth + sizes.colWidth(c)) > scaleWidth)
            wideColumns.push_back(c + 1);
    const int width = static_cast<int>(scaleWidth);
    if (!wideColumns.empty())
        findings.warnings << QStringLiteral("%1 of %2 %3 too wide to print beside the heading column (%4 "
                                            "twips) on a printable width of %5 twips: %6 off the right "
                                            "edge of the paper; give --col-widths that add up to at most "
                                            "%5 with the heading column")
                                 .arg(Listed("column", wideColumns), csvPath, IsOrAre(wideColumns))
                                 .arg(headingWidth)
                                 .arg(width)
                                 .arg(wideColumns.size() == 1 ? "its right part runs" : "they run");
    const int bodyRoom = static_cast<int>(scaleHeight - kBodyTop);
    const int32_t headingHeight = sizes.rowHeight(0);
    for (int32_t r = 1; r < sizes.rows; ++r)
        if (headingHeight + sizes.rowHeight(r) > bodyRoom)
            tallRows.push_back(r + 1);
    if (!tallRows.empty())
        findings.warnings << QStringLiteral("%1 of %2 %3 too tall to print below the heading row (%4 twips) "
                                            "in the %5 twips under the titles: %6 off the foot of the "
                                            "paper; give --row-heights that add up to at most %5 with the "
                                            "heading row")
                                 .arg(Listed("line", tallRows), csvPath, IsOrAre(tallRows))
                                 .arg(headingHeight)
                                 .arg(bodyRoom)
                                 .arg(tallRows.size() == 1 ? "its lower part runs" : "they run");
    // The last row of the grid always joins the page in progress, and a one-page report holds
    // every row: rows past the room above the page number run over it and off the paper.
    const int32_t pageRoom = static_cast<int32_t>(scaleHeight - kBodyTop - kPageNumberRoom);
    int colBands = 1;
    for (const RowBand& band :
         RowBands(sizes, scaleWidth, scaleHeight, startRowValue, grid.FixedRows(), &colBands)) {
        int64_t bottom = headingHeight;
        std::vector<int> off;
        for (int32_t r = band.first; r <= band.last; ++r) {
            bottom += sizes.rowHeight(r);
            if (bottom > pageRoom && r > band.first)
                off.push_back(r + 1);
        }
        if (off.empty())
            continue;
        const QString pages =
            band.pages == 1
                ? QStringLiteral("page %1").arg(band.firstPage)
                : QStringLiteral("pages %1 to %2").arg(band.firstPage).arg(band.firstPage + band.pages - 1);
        findings.warnings << QStringLiteral("%1 of %2 %3 laid out on %4 below the room of %5 twips between "
                                            "the titles and the page number: %6 over the page number and "
                                            "off the foot of the paper; give smaller --row-heights, a "
                                            "smaller --grid-size or larger --paper")
                                 .arg(Listed("line", off), csvPath, IsOrAre(off), pages)
                                 .arg(pageRoom)
                                 .arg(off.size() == 1 ? "it runs" : "they run");
        break; // the first page it happens on says what to change
    }
    return findings;
}

} // namespace telmo::app
