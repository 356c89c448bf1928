#include "engine/GridSnapshot.h"

#include "component/JobState.h"
#include "component/ReportError.h"
#include "engine/SourceGrid.h"
#include "platform/Conversions.h"
#include "platform/grid/Grid.h"

#include <algorithm>
#include <cmath>

namespace telmo {

void CopyGrid(Grid& grid, float& startCol, float& endCol, float& startRow, float& endRow) {
    try {
        Grid& source = SourceGrid();
        Grid& work = grid;
        work.Clear();
        // The page always carries exactly one heading row, source row 0. Its body rows are the
        // block's rows that lie below the heading and inside the grid: a block that starts at
        // row 0 (a grid without fixed rows) shows row 0 once, as heading, and still ends with
        // the block's last row, and no block reads past the grid's last row.
        const float firstBodyRow = std::max(startRow, 1.0f);
        const float lastBodyRow = std::min(endRow, static_cast<float>(source.Rows() - 1));
        const int32_t bodyRows = std::max(0, ToLong(lastBodyRow - firstBodyRow) + 1);
        work.SetRows(bodyRows + 1);
        if (source.Cols() == 1)
            work.SetCols(1);
        else
            work.SetCols(ToLong(std::fabs(endCol - startCol)) + 2);

        work.SetMergeCells(source.MergeCells());
        work.SetFontName(source.FontName());
        work.SetFontSize(source.FontSize());
        work.SetGridLines(source.GridLines());
        work.SetWidth(source.Width());

        work.SetColWidth(0, source.ColWidth(0));
        work.SetMergeCol(0, source.MergeCol(0));
        work.SetRowHeight(0, source.RowHeight(0));
        work.SetTextMatrix(0, 0, source.TextMatrix(0, 0));
        work.SetColAlignment(0, source.ColAlignment(0));

        const int32_t workCols = work.Cols();
        if (workCols > 1) {
            float j = startCol;
            for (int32_t i = 1; i <= workCols - 1; ++i) {
                const int32_t col = ToLong(j);
                work.SetColWidth(i, source.ColWidth(col));
                work.SetColAlignment(i, source.ColAlignment(col));
                work.SetTextMatrix(0, i, source.TextMatrix(0, col));
                j += 1.0f;
            }
        }

        const int32_t workRows = work.Rows();
        float r = firstBodyRow;
        for (int32_t i = 1; i <= workRows - 1; ++i) {
            const int32_t row = ToLong(r);
            work.SetRowHeight(i, source.RowHeight(row));
            work.SetTextMatrix(i, 0, source.TextMatrix(row, 0));
            if (workCols > 1) {
                float c = startCol;
                for (int32_t k = 1; k <= workCols - 1; ++k) {
                    work.SetTextMatrix(i, k, source.TextMatrix(row, ToLong(c)));
                    c += 1.0f;
                }
            }
            r += 1.0f;
        }
    } catch (...) {
        ReportCurrentException(module::kGeneral, ".CopyGrid");
    }
}

} // namespace telmo
