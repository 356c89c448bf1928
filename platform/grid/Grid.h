#pragma once

#include "platform/AutomationObject.h"
#include "platform/ui/Picture.h"

#include <QString>
#include <cstdint>

namespace telmo {

// The operations the report needs of a grid. Rows and columns are numbered from 0; row 0 is
// the heading row and column 0 the heading column. Sizes are twips. An index outside the
// grid raises run-time error 381.
class Grid : public AutomationObject {
public:
    // Merge modes (MergeCells) and grid line styles (GridLines).
    enum MergeMode : int16_t {
        kMergeNever = 0,
        kMergeFree = 1,
        kMergeRestrictRows = 2,
        kMergeRestrictColumns = 3,
        kMergeRestrictAll = 4
    };
    enum GridLineStyle : int16_t { kGridNone = 0, kGridFlat = 1, kGridInset = 2, kGridRaised = 3 };

    virtual int32_t Rows() const = 0;
    virtual void SetRows(int32_t rows) = 0;
    virtual int32_t Cols() const = 0;
    virtual void SetCols(int32_t cols) = 0;
    virtual int16_t FixedRows() const = 0;
    virtual void SetFixedRows(int16_t rows) = 0;
    virtual int16_t FixedCols() const = 0;
    virtual void SetFixedCols(int16_t cols) = 0;

    virtual int32_t ColWidth(int32_t col) const = 0;
    virtual void SetColWidth(int32_t col, int32_t width) = 0;
    virtual int32_t RowHeight(int32_t row) const = 0;
    virtual void SetRowHeight(int32_t row, int32_t height) = 0;

    virtual QString TextMatrix(int32_t row, int32_t col) const = 0;
    virtual void SetTextMatrix(int32_t row, int32_t col, const QString& text) = 0;

    // Alignment codes: 0 left-top, 1 left-centre, 2 left-bottom, 3 centre-top, 4 centre-centre,
    // 5 centre-bottom, 6 right-top, 7 right-centre, 8 right-bottom, 9 general (text left,
    // numbers right, centred vertically).
    virtual int16_t ColAlignment(int32_t col) const = 0;
    virtual void SetColAlignment(int32_t col, int16_t alignment) = 0;
    virtual bool MergeCol(int32_t col) const = 0;
    virtual void SetMergeCol(int32_t col, bool merge) = 0;
    virtual bool MergeRow(int32_t row) const = 0;
    virtual void SetMergeRow(int32_t row, bool merge) = 0;
    virtual int16_t MergeCells() const = 0;
    virtual void SetMergeCells(int16_t mode) = 0;

    virtual QString FontName() const = 0;
    virtual void SetFontName(const QString& name) = 0;
    virtual float FontSize() const = 0;
    virtual void SetFontSize(float points) = 0;
    virtual int16_t GridLines() const = 0;
    virtual void SetGridLines(int16_t style) = 0;
    virtual int32_t Width() const = 0;
    virtual void SetWidth(int32_t width) = 0;

    // Empties every cell; sizes and settings stay.
    virtual void Clear() = 0;
    // A picture of the whole grid: every row and column at its size, with lines, fonts,
    // alignments and merges.
    virtual PicturePtr Picture() const = 0;
};

} // namespace telmo
