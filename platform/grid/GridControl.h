#pragma once

#include "platform/grid/Grid.h"

#include <QString>
#include <QStringView>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

namespace telmo {

// The grid control: a table of texts with row and column sizes, per-column alignment,
// merging and one cell font, that renders itself as a vector picture in twips.
//
// Storage is sized for large grids (a million rows of twenty columns): a column costs 4 bytes
// a row down to its last non-empty cell (nothing while it is empty), and a non-empty cell
// adds its characters and a 4-byte header in one shared UTF-16 pool. Row properties are only allocated once a
// row gets a non-default height or merge flag.
//
// Defaults: 2 rows, 2 columns, 1 fixed row and 1 fixed column, font Arial 8.25 pt, flat
// grid lines, no merging, every column in general alignment (9), width 4800 twips. The
// default row height is the font's line height plus twice kCellPaddingY; the default column
// width is kDefaultColWidth. A size of -1 stands for the default.
//
// The picture's lines are the drawing surfaces' black lines: the three line styles (flat,
// inset, raised) draw the same thin lines, as picture lines carry no colour.
class GridControl : public Grid {
public:
    static constexpr int32_t kDefaultColWidth = 960;
    static constexpr int32_t kDefaultWidth = 4800;
    // Gaps between a cell's edges and its text, in twips.
    static constexpr double kCellMarginX = 45;
    static constexpr double kCellPaddingY = 15;

    GridControl();
    ~GridControl() override;

    int32_t Rows() const override { return rows_; }
    void SetRows(int32_t rows) override;
    int32_t Cols() const override { return cols_; }
    void SetCols(int32_t cols) override;
    int16_t FixedRows() const override { return fixedRows_; }
    void SetFixedRows(int16_t rows) override;
    int16_t FixedCols() const override { return fixedCols_; }
    void SetFixedCols(int16_t cols) override;

    int32_t ColWidth(int32_t col) const override;
    void SetColWidth(int32_t col, int32_t width) override;
    int32_t RowHeight(int32_t row) const override;
    void SetRowHeight(int32_t row, int32_t height) override;

    QString TextMatrix(int32_t row, int32_t col) const override;
    // The same text read in place, valid until the grid's texts next change: a long text
    // need not be copied to be looked at.
    QStringView TextView(int32_t row, int32_t col) const;
    void SetTextMatrix(int32_t row, int32_t col, const QString& text) override;

    int16_t ColAlignment(int32_t col) const override;
    void SetColAlignment(int32_t col, int16_t alignment) override;
    bool MergeCol(int32_t col) const override;
    void SetMergeCol(int32_t col, bool merge) override;
    bool MergeRow(int32_t row) const override;
    void SetMergeRow(int32_t row, bool merge) override;
    int16_t MergeCells() const override { return mergeCells_; }
    void SetMergeCells(int16_t mode) override;

    QString FontName() const override { return fontName_; }
    void SetFontName(const QString& name) override;
    float FontSize() const override { return fontSize_; }
    void SetFontSize(float points) override;
    int16_t GridLines() const override { return gridLines_; }
    void SetGridLines(int16_t style) override;
    int32_t Width() const override { return width_; }
    void SetWidth(int32_t width) override;

    void Clear() override;
    PicturePtr Picture() const override;

    // The height a row has while its RowHeight is -1: the font's line height plus padding.
    int32_t DefaultRowHeight() const;
    // The height that shows every text of the row in full, wrapped at spaces within its column
    // width as a row of more than one line draws it; the default height for one line. Past
    // `tallest` it is only known to be taller.
    int32_t WrappedRowHeight(int32_t row, int32_t tallest = std::numeric_limits<int32_t>::max()) const;
    // The width in twips of a text as a cell of this grid draws it (on one line, in the grid's
    // font), by the same measure that decides whether the cell has to shorten it.
    double TextWidth(QStringView text) const;
    // Bytes held by the cell texts and the row and column properties (capacities included).
    size_t StorageBytes() const;
    // The same without the room reserved for growth: what the grid's contents take.
    size_t StorageBytesInUse() const;

private:
    // Cell texts: per column a vector of pool offsets (0 = empty cell), grown only as far as
    // the last row that received text; each text lives in one shared UTF-16 pool behind a
    // header of its capacity and length. Replaced texts that no longer fit leave garbage in
    // the pool, which is compacted once it outweighs the live texts. A long text is kept as
    // the string it came in, shared with its giver: a page copied from a grid, or a grid
    // filled from a file, then holds no second copy of it; its pool entry only names it.
    class CellStore {
    public:
        // Texts of this many characters or more are shared rather than copied into the pool.
        static constexpr qsizetype kSharedTextMin = 4096;

        QStringView Get(int32_t row, int32_t col) const;
        QString Text(int32_t row, int32_t col) const;
        void Set(int32_t row, int32_t col, const QString& text);
        // Drops every cell at or beyond the given row or column counts.
        void Truncate(int32_t rows, int32_t cols);
        void Clear();
        size_t Bytes() const;
        // Bytes the texts, their headers and the cells' pool offsets take, without the room
        // kept for growth (which is address space, never touched until it is written).
        size_t BytesInUse() const;

    private:
        // UTF-16 units in one block grown with realloc: a large block is moved by remapping
        // its pages rather than copied, so growing the pool never holds the texts twice.
        class Units {
        public:
            Units() = default;
            Units(const Units&) = delete;
            Units& operator=(const Units&) = delete;
            ~Units() { std::free(data_); }
            size_t size() const { return size_; }
            size_t capacity() const { return capacity_; }
            bool empty() const { return size_ == 0; }
            const char16_t* data() const { return data_; }
            char16_t* data() { return data_; }
            char16_t operator[](size_t i) const { return data_[i]; }
            char16_t& operator[](size_t i) { return data_[i]; }
            void Append(const char16_t* units, size_t count);
            void Reserve(size_t units); // throws std::bad_alloc
            void Swap(Units& other) noexcept;
            void Release() noexcept; // back to empty, the block freed

        private:
            char16_t* data_ = nullptr;
            size_t size_ = 0;
            size_t capacity_ = 0;
        };
        struct Entry {
            size_t data;       // pool index of the first character
            uint32_t length;   // characters in use
            uint32_t capacity; // characters reserved
            uint32_t header;   // pool units before the characters
        };
        static Entry Decode(const Units& pool, uint32_t offset);
        bool IsShared(uint32_t offset) const;
        uint32_t SharedIndex(uint32_t offset) const;
        uint32_t Append(QStringView text);
        uint32_t AppendShared(uint32_t index);
        static QString Kept(const QString& text);
        uint32_t Share(const QString& text);
        void Release(uint32_t offset);
        void MaybeCompact();
        void Compact();

        std::vector<std::vector<uint32_t>> columns_;
        Units pool_;
        size_t garbage_ = 0;           // pool units no cell refers to
        std::vector<QString> shared_;  // the long texts, by the index their entries hold
        std::vector<uint32_t> unused_; // indexes in shared_ free for the next long text
    };

    void CheckRow(int32_t row) const;
    void CheckCol(int32_t col) const;
    int32_t EffectiveColWidth(int32_t col) const {
        return colWidths_[col] < 0 ? kDefaultColWidth : colWidths_[col];
    }
    int32_t EffectiveRowHeight(int32_t row, int32_t defaultHeight) const {
        return (row < static_cast<int32_t>(rowHeights_.size()) && rowHeights_[row] >= 0) ? rowHeights_[row]
                                                                                         : defaultHeight;
    }
    bool RowMerges(int32_t row) const {
        return row < static_cast<int32_t>(mergeRows_.size()) && mergeRows_[row];
    }

    int32_t rows_ = 2;
    int32_t cols_ = 2;
    int16_t fixedRows_ = 1;
    int16_t fixedCols_ = 1;
    int16_t mergeCells_ = kMergeNever;
    int16_t gridLines_ = kGridFlat;
    int32_t width_ = kDefaultWidth;
    QString fontName_ = QStringLiteral("Arial");
    float fontSize_ = 8.25f;
    mutable int32_t defaultRowHeight_ = -1; // cached; -1 until measured for the current font

    // Row properties are allocated lazily and may be shorter than rows_: a missing entry is
    // the default (height -1, no merge).
    std::vector<int32_t> rowHeights_;
    std::vector<bool> mergeRows_;
    std::vector<int32_t> colWidths_;
    std::vector<int16_t> colAlignments_;
    std::vector<bool> mergeCols_;
    CellStore cells_;
};

} // namespace telmo
