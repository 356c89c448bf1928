#include "platform/grid/GridControl.h"

#include "platform/FontSpec.h"
#include "platform/RuntimeError.h"
#include "platform/grid/CellText.h"
#include "platform/grid/TextMeasure.h"
#include "platform/grid/TextPlacer.h"

#include <QColor>
#include <QLocale>
#include <QStringTokenizer>
#include <algorithm>
#include <limits>
#include <memory>
#include <new>

namespace telmo {
namespace {

// The right and bottom border lines sit this far inside the picture, so that a line drawn
// on the last device pixel is not clipped away by the picture's own bounds.
constexpr double kEdgeInset = 1.0;

const QColor kFixedFill(0xC0, 0xC0, 0xC0);

template <class F> decltype(auto) GuardMemory(F&& f) {
    try {
        return f();
    } catch (const std::bad_alloc&) {
        throw RuntimeError(err::kOutOfMemory);
    } catch (const std::length_error&) {
        throw RuntimeError(err::kOutOfMemory);
    }
}

} // namespace

// ---- GridControl ----

GridControl::GridControl()
    : colWidths_(static_cast<size_t>(cols_), -1), colAlignments_(static_cast<size_t>(cols_), kAlignGeneral),
      mergeCols_(static_cast<size_t>(cols_), false) {}

GridControl::~GridControl() = default;

void GridControl::CheckRow(int32_t row) const {
    if (row < 0 || row >= rows_)
        throw RuntimeError(err::kInvalidPropertyArrayIndex);
}

void GridControl::CheckCol(int32_t col) const {
    if (col < 0 || col >= cols_)
        throw RuntimeError(err::kInvalidPropertyArrayIndex);
}

void GridControl::SetRows(int32_t rows) {
    if (rows < 0)
        throw RuntimeError(err::kInvalidPropertyValue);
    GuardMemory([&] {
        if (rows < rows_)
            cells_.Truncate(rows, cols_);
        const auto keep = static_cast<size_t>(rows);
        if (rowHeights_.size() > keep)
            rowHeights_.resize(keep);
        if (mergeRows_.size() > keep)
            mergeRows_.resize(keep);
    });
    rows_ = rows;
    // Fewer rows than fixed rows: the fixed rows shrink with the grid.
    if (fixedRows_ > rows_)
        fixedRows_ = static_cast<int16_t>(rows_);
}

void GridControl::SetCols(int32_t cols) {
    if (cols < 0)
        throw RuntimeError(err::kInvalidPropertyValue);
    GuardMemory([&] {
        if (cols < cols_)
            cells_.Truncate(rows_, cols);
        const auto count = static_cast<size_t>(cols);
        colWidths_.resize(count, -1);
        colAlignments_.resize(count, kAlignGeneral);
        mergeCols_.resize(count, false);
    });
    cols_ = cols;
    if (fixedCols_ > cols_)
        fixedCols_ = static_cast<int16_t>(cols_);
}

void GridControl::SetFixedRows(int16_t rows) {
    if (rows < 0 || rows > rows_)
        throw RuntimeError(err::kInvalidPropertyValue);
    fixedRows_ = rows;
}

void GridControl::SetFixedCols(int16_t cols) {
    if (cols < 0 || cols > cols_)
        throw RuntimeError(err::kInvalidPropertyValue);
    fixedCols_ = cols;
}

int32_t GridControl::ColWidth(int32_t col) const {
    CheckCol(col);
    return EffectiveColWidth(col);
}

void GridControl::SetColWidth(int32_t col, int32_t width) {
    CheckCol(col);
    if (width < -1)
        throw RuntimeError(err::kInvalidPropertyValue);
    colWidths_[col] = width;
}

int32_t GridControl::RowHeight(int32_t row) const {
    CheckRow(row);
    if (static_cast<size_t>(row) < rowHeights_.size() && rowHeights_[row] >= 0)
        return rowHeights_[row];
    return DefaultRowHeight();
}

void GridControl::SetRowHeight(int32_t row, int32_t height) {
    CheckRow(row);
    if (height < -1)
        throw RuntimeError(err::kInvalidPropertyValue);
    if (static_cast<size_t>(row) >= rowHeights_.size()) {
        if (height == -1)
            return;
        GuardMemory([&] { rowHeights_.resize(static_cast<size_t>(row) + 1, -1); });
    }
    rowHeights_[row] = height;
}

QString GridControl::TextMatrix(int32_t row, int32_t col) const {
    CheckRow(row);
    CheckCol(col);
    return cells_.Text(row, col);
}

QStringView GridControl::TextView(int32_t row, int32_t col) const {
    CheckRow(row);
    CheckCol(col);
    return cells_.Get(row, col);
}

void GridControl::SetTextMatrix(int32_t row, int32_t col, const QString& text) {
    CheckRow(row);
    CheckCol(col);
    GuardMemory([&] { cells_.Set(row, col, text); });
}

int16_t GridControl::ColAlignment(int32_t col) const {
    CheckCol(col);
    return colAlignments_[col];
}

void GridControl::SetColAlignment(int32_t col, int16_t alignment) {
    CheckCol(col);
    if (alignment < 0 || alignment > kAlignGeneral)
        throw RuntimeError(err::kInvalidPropertyValue);
    colAlignments_[col] = alignment;
}

bool GridControl::MergeCol(int32_t col) const {
    CheckCol(col);
    return mergeCols_[col];
}

void GridControl::SetMergeCol(int32_t col, bool merge) {
    CheckCol(col);
    mergeCols_[col] = merge;
}

bool GridControl::MergeRow(int32_t row) const {
    CheckRow(row);
    return RowMerges(row);
}

void GridControl::SetMergeRow(int32_t row, bool merge) {
    CheckRow(row);
    if (static_cast<size_t>(row) >= mergeRows_.size()) {
        if (!merge)
            return;
        GuardMemory([&] { mergeRows_.resize(static_cast<size_t>(row) + 1, false); });
    }
    mergeRows_[row] = merge;
}

void GridControl::SetMergeCells(int16_t mode) {
    if (mode < kMergeNever || mode > kMergeRestrictAll)
        throw RuntimeError(err::kInvalidPropertyValue);
    mergeCells_ = mode;
}

void GridControl::SetFontName(const QString& name) {
    if (name.trimmed().isEmpty())
        throw RuntimeError(err::kInvalidPropertyValue);
    fontName_ = name;
    defaultRowHeight_ = -1;
}

void GridControl::SetFontSize(float points) {
    if (!(points > 0.0f) || points > 2048.0f)
        throw RuntimeError(err::kInvalidPropertyValue);
    fontSize_ = points;
    defaultRowHeight_ = -1;
}

void GridControl::SetGridLines(int16_t style) {
    if (style < kGridNone || style > kGridRaised)
        throw RuntimeError(err::kInvalidPropertyValue);
    gridLines_ = style;
}

void GridControl::SetWidth(int32_t width) {
    if (width < 0)
        throw RuntimeError(err::kInvalidPropertyValue);
    width_ = width;
}

void GridControl::Clear() {
    cells_.Clear();
}

double GridControl::TextWidth(QStringView view) const {
    // The widest of the text's own lines, each as it prints.
    TextMeasure& measure = TextMeasure::For(FontSpec{fontName_, fontSize_, false});
    double widest = 0;
    for (const QStringView line : qTokenize(view, u'\n')) // one at a time, never listed
        widest = std::max(widest, measure.Width(OneLine(line)));
    return widest;
}

int32_t GridControl::WrappedRowHeight(int32_t row, int32_t tallest) const {
    CheckRow(row);
    TextMeasure& measure = TextMeasure::For(FontSpec{fontName_, fontSize_, false});
    // Lines past the tallest height need not be counted (nor wrapped, nor held): a row that
    // has more is taller than that either way.
    const int room = static_cast<int>(
        std::min<double>(std::numeric_limits<int>::max(), std::ceil(tallest / measure.LineHeight()) + 1));
    int most = 1;
    for (int32_t c = 0; c < cols_; ++c) {
        const QStringView view = cells_.Get(row, c);
        const double available = EffectiveColWidth(c) - 2 * kCellMarginX;
        if (view.isEmpty() || available <= 0)
            continue;
        const QStringList lines = CellLines(measure, view, available, room);
        most = std::max(most, static_cast<int>(lines.size()));
    }
    if (most == 1)
        return DefaultRowHeight();
    // One twip over, so that the room the drawing counts never rounds down below the lines.
    return static_cast<int32_t>(std::ceil(most * measure.LineHeight() + 2 * kCellPaddingY)) + 1;
}

int32_t GridControl::DefaultRowHeight() const {
    if (defaultRowHeight_ < 0) {
        const QFontMetricsF metrics(ToTwipsFont(FontSpec{fontName_, fontSize_, false}));
        defaultRowHeight_ = static_cast<int32_t>(std::lround(metrics.height() + 2 * kCellPaddingY));
    }
    return defaultRowHeight_;
}

size_t GridControl::StorageBytesInUse() const {
    return cells_.BytesInUse() + rowHeights_.size() * sizeof(int32_t) + mergeRows_.size() / 8 +
           colWidths_.size() * sizeof(int32_t) + colAlignments_.size() * sizeof(int16_t) +
           mergeCols_.size() / 8;
}

size_t GridControl::StorageBytes() const {
    return cells_.Bytes() + rowHeights_.capacity() * sizeof(int32_t) + mergeRows_.capacity() / 8 +
           colWidths_.capacity() * sizeof(int32_t) + colAlignments_.capacity() * sizeof(int16_t) +
           mergeCols_.capacity() / 8;
}

// The picture is built in one pass over the rows, keeping only per-column state.
//
// Merging (MergeCells not 0): equal, non-empty neighbours merge into rectangles. Within a row
// whose MergeRow is set, runs of equal cells form first; a run then joins the region above it
// when that region spans exactly the same columns, every one of those columns has MergeCol
// set and the texts are equal. Regions never cross the border between fixed and scrollable
// cells. The restrict modes make merging hierarchical: with "restrict columns" (3, 4) a run
// joins the region above only if the nearest MergeCol column to its left joined upwards in
// the same row (or there is no such column); with "restrict rows" (2, 4) two cells of a row
// merge only if the same two columns merged in the nearest MergeRow row above (or there is
// no such row). A merged region shows its text once and has no inner lines.
PicturePtr GridControl::Picture() const {
    const int32_t rows = rows_;
    const int32_t cols = cols_;
    const int32_t defaultHeight = DefaultRowHeight();
    std::vector<double> xs(static_cast<size_t>(cols) + 1, 0.0);
    std::vector<double> ys(static_cast<size_t>(rows) + 1, 0.0);
    for (int32_t c = 0; c < cols; ++c)
        xs[c + 1] = xs[c] + EffectiveColWidth(c);
    for (int32_t r = 0; r < rows; ++r)
        ys[r + 1] = ys[r] + EffectiveRowHeight(r, defaultHeight);
    const double width = xs[cols];
    const double height = ys[rows];
    auto picture = std::make_shared<telmo::Picture>(width, height);
    if (width <= 0 || height <= 0)
        return picture;

    const double fixedBottom = ys[fixedRows_];
    const double fixedRight = xs[fixedCols_];
    if (fixedBottom > 0)
        picture->AddFill(QRectF(0, 0, width, fixedBottom), kFixedFill);
    if (fixedRight > 0 && height > fixedBottom)
        picture->AddFill(QRectF(0, fixedBottom, fixedRight, height - fixedBottom), kFixedFill);
    if (width > fixedRight && height > fixedBottom)
        picture->AddFill(QRectF(fixedRight, fixedBottom, width - fixedRight, height - fixedBottom),
                         Qt::white);

    TextPlacer placer(*picture, FontSpec{fontName_, fontSize_, false});
    const bool merging = mergeCells_ != kMergeNever;
    const bool restrictRows = mergeCells_ == kMergeRestrictRows || mergeCells_ == kMergeRestrictAll;
    const bool restrictCols = mergeCells_ == kMergeRestrictColumns || mergeCells_ == kMergeRestrictAll;
    const bool drawLines = gridLines_ != kGridNone;
    const double rightEdge = width - kEdgeInset;
    const double bottomEdge = height - kEdgeInset;

    // Nearest column to the left of each column with MergeCol set, or -1.
    std::vector<int32_t> mergeColLeft(static_cast<size_t>(cols), -1);
    for (int32_t c = 1; c < cols; ++c)
        mergeColLeft[c] = mergeCols_[c - 1] ? c - 1 : mergeColLeft[c - 1];

    std::vector<QStringView> text(cols);
    // Open regions by their first column: last column (-1 none), top row and text.
    std::vector<int32_t> openEnd(cols, -1), openTop(cols, 0), nextEnd(cols, -1), nextTop(cols, 0);
    std::vector<QStringView> openText(cols), nextText(cols);
    std::vector<char> joinRight(cols, 0), joinedDown(cols, 0), aboveJoinRight(cols, 0);
    bool haveMergeRowAbove = false;
    // Start row of the open vertical line segment on each inner column border, or -1.
    std::vector<int32_t> lineStart(static_cast<size_t>(cols) + 1, -1);

    auto emitRegion = [&](int32_t first, int32_t last, int32_t top, int32_t bottom, QStringView regionText) {
        const QRectF cell(xs[first], ys[top], xs[last + 1] - xs[first], ys[bottom + 1] - ys[top]);
        placer.Place(cell, regionText, colAlignments_[first]);
    };
    auto verticalLine = [&](int32_t border, int32_t fromRow, int32_t toRow) {
        const double x = std::min(xs[border], rightEdge);
        const double y1 = toRow >= rows ? bottomEdge : ys[toRow];
        if (y1 > ys[fromRow])
            picture->AddLine(QPointF(x, ys[fromRow]), QPointF(x, y1));
    };

    for (int32_t r = 0; r < rows; ++r) {
        for (int32_t c = 0; c < cols; ++c)
            text[c] = cells_.Get(r, c);

        const bool rowMerges = merging && RowMerges(r);
        std::fill(joinRight.begin(), joinRight.end(), 0);
        if (rowMerges)
            for (int32_t c = 0; c + 1 < cols; ++c)
                joinRight[c] = c + 1 != fixedCols_ && !text[c].isEmpty() && text[c] == text[c + 1] &&
                               (!restrictRows || !haveMergeRowAbove || aboveJoinRight[c]);

        std::fill(joinedDown.begin(), joinedDown.end(), 0);
        std::fill(nextEnd.begin(), nextEnd.end(), -1);
        for (int32_t first = 0, last = 0; first < cols; first = last + 1) {
            last = first;
            while (joinRight[last])
                ++last;
            bool join = merging && r > 0 && r != fixedRows_ && openEnd[first] == last &&
                        !text[first].isEmpty() && text[first] == openText[first];
            for (int32_t c = first; join && c <= last; ++c)
                join = mergeCols_[c];
            if (join && restrictCols && mergeColLeft[first] >= 0)
                join = joinedDown[mergeColLeft[first]] != 0;
            nextEnd[first] = last;
            if (join) {
                nextTop[first] = openTop[first];
                nextText[first] = openText[first];
                openEnd[first] = -1; // carried on, not closed
                std::fill(joinedDown.begin() + first, joinedDown.begin() + last + 1, 1);
            } else {
                nextTop[first] = r;
                nextText[first] = text[first];
            }
        }
        for (int32_t first = 0; first < cols; ++first)
            if (openEnd[first] >= 0)
                emitRegion(first, openEnd[first], openTop[first], r - 1, openText[first]);
        openEnd.swap(nextEnd);
        openTop.swap(nextTop);
        openText.swap(nextText);
        if (rowMerges) {
            aboveJoinRight = joinRight;
            haveMergeRowAbove = true;
        }

        if (drawLines) {
            // The border above this row, broken where a region continues across it.
            for (int32_t c = 0; c < cols;) {
                if (joinedDown[c]) {
                    ++c;
                    continue;
                }
                int32_t end = c;
                while (end < cols && !joinedDown[end])
                    ++end;
                const double x1 = std::min(xs[end], rightEdge);
                if (x1 > xs[c])
                    picture->AddLine(QPointF(xs[c], ys[r]), QPointF(x1, ys[r]));
                c = end;
            }
            // Inner column borders: a segment runs on until a horizontal merge breaks it.
            for (int32_t border = 1; border < cols; ++border) {
                const bool present = !joinRight[border - 1];
                if (present && lineStart[border] < 0) {
                    lineStart[border] = r;
                } else if (!present && lineStart[border] >= 0) {
                    verticalLine(border, lineStart[border], r);
                    lineStart[border] = -1;
                }
            }
        }
    }
    for (int32_t first = 0; first < cols; ++first)
        if (openEnd[first] >= 0)
            emitRegion(first, openEnd[first], openTop[first], rows - 1, openText[first]);

    if (drawLines) {
        for (int32_t border = 1; border < cols; ++border)
            if (lineStart[border] >= 0)
                verticalLine(border, lineStart[border], rows);
        picture->AddLine(QPointF(0, 0), QPointF(0, bottomEdge));
        picture->AddLine(QPointF(rightEdge, 0), QPointF(rightEdge, bottomEdge));
        picture->AddLine(QPointF(0, bottomEdge), QPointF(rightEdge, bottomEdge));
    }
    return picture;
}

} // namespace telmo
