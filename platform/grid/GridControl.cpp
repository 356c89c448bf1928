#include "platform/grid/GridControl.h"

#include "platform/FontSpec.h"
#include "platform/RuntimeError.h"
#include "platform/pdf/PictureText.h"

#include <QColor>
#include <QFontMetricsF>
#include <QLocale>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <new>

namespace telmo {
namespace {

// Texts up to this length carry a two-unit header (capacity, length); longer ones four units.
constexpr uint32_t kShortTextMax = 0x7FFF;
constexpr uint32_t kLongTextFlag = 0x8000;
constexpr size_t kLongTextMax = 0x7FFFFFFF;
constexpr size_t kPoolMax = std::numeric_limits<uint32_t>::max();
// Compaction walks every cell, so it waits until the garbage is both large and at least
// half of the pool; each compaction then pays for the garbage collected.
constexpr size_t kMinGarbageForCompaction = size_t(1) << 20;
// The right and bottom border lines sit this far inside the picture, so that a line drawn
// on the last device pixel is not clipped away by the picture's own bounds.
constexpr double kEdgeInset = 1.0;
constexpr int16_t kAlignGeneral = 9;

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

// General alignment puts numbers on the right: a text counts as a number when the C locale
// or the user's locale reads it as one.
bool LooksNumeric(QStringView text, const QLocale& c, const QLocale& user) {
    text = text.trimmed();
    if (text.isEmpty())
        return false;
    const QChar first = text.front();
    if (!first.isDigit() && first != u'+' && first != u'-' && first != u'.' && first != u',')
        return false;
    bool ok = false;
    c.toDouble(text, &ok);
    if (!ok && user != c)
        user.toDouble(text, &ok);
    return ok;
}

// Text widths for one font. Shaping a string costs about a microsecond, which for every cell
// of every page adds up, so Latin-1 texts are measured from cached character advances plus
// cached pair adjustments (kerning, two-letter ligatures), each shaped once per font and
// thread. That matches the shaped width for pair kerning; a ligature of three or more
// letters may differ by a few twips. Texts with other characters are shaped in full.
class TextMeasure {
public:
    static TextMeasure& For(const FontSpec& spec) {
        thread_local std::vector<std::unique_ptr<TextMeasure>> cache;
        for (const auto& entry : cache)
            if (entry->spec_ == spec)
                return *entry;
        constexpr size_t kMaxFonts = 8; // the few fonts of a report; the oldest go first
        if (cache.size() >= kMaxFonts)
            cache.erase(cache.begin());
        cache.push_back(std::unique_ptr<TextMeasure>(new TextMeasure(spec)));
        return *cache.back();
    }

    double LineHeight() const { return lineHeight_; }

    double Width(const QString& text) {
        if (!IsLatin1(text)) {
            // Measured in the font the text is drawn in: an Indic text the font lacks is
            // shaped in one that has it, and Qt would warn while looking for one itself.
            const CachedFont& cached = FontFor(spec_);
            const QFont& font = FontForScriptOf(cached, text);
            return &font == &cached.font ? metrics_.horizontalAdvance(text)
                                         : QFontMetricsF(font).horizontalAdvance(text);
        }
        double width = 0;
        char16_t previous = 0;
        for (const QChar ch : text) {
            width += Step(previous, ch.unicode());
            previous = ch.unicode();
        }
        return width;
    }

    // The number of leading characters that fit into the width (never half a surrogate pair).
    int FittingPrefix(const QString& text, double available) {
        const int size = static_cast<int>(std::min<qsizetype>(text.size(), std::numeric_limits<int>::max()));
        int keep = 0;
        if (IsLatin1(text)) {
            double width = 0;
            char16_t previous = 0;
            for (; keep < size; ++keep) {
                width += Step(previous, text[keep].unicode());
                if (width > available)
                    break;
                previous = text[keep].unicode();
            }
            return keep;
        }
        int hi = size;
        while (keep < hi) {
            const int mid = keep + (hi - keep + 1) / 2;
            if (metrics_.horizontalAdvance(text, mid) <= available)
                keep = mid;
            else
                hi = mid - 1;
        }
        if (keep > 0 && text[keep - 1].isHighSurrogate())
            --keep;
        return keep;
    }

private:
    explicit TextMeasure(const FontSpec& spec)
        : spec_(spec), metrics_(ToTwipsFont(spec)), lineHeight_(metrics_.height()),
          pairs_(size_t(1) << 16, std::numeric_limits<float>::quiet_NaN()) {
        advances_.fill(-1);
    }

    static bool IsLatin1(const QString& text) {
        for (const QChar ch : text)
            if (ch.unicode() > 0xFF)
                return false;
        return true;
    }

    double Advance(char16_t ch) {
        if (advances_[ch] < 0)
            advances_[ch] = metrics_.horizontalAdvance(QChar(ch));
        return advances_[ch];
    }

    // The width a character adds after the previous one (0 at the start of the text).
    double Step(char16_t previous, char16_t ch) {
        double step = Advance(ch);
        if (previous != 0) {
            float& pair = pairs_[(size_t(previous) << 8) | ch];
            if (std::isnan(pair)) {
                const QChar both[2] = {QChar(previous), QChar(ch)};
                pair = static_cast<float>(metrics_.horizontalAdvance(QString(both, 2)) - Advance(previous) -
                                          step);
            }
            step += pair;
        }
        return step;
    }

    FontSpec spec_;
    QFontMetricsF metrics_;
    double lineHeight_;
    std::array<double, 256> advances_;
    std::vector<float> pairs_; // adjustment of each Latin-1 pair, NaN until measured
};

// The text cut to the width with an ellipsis, or as much as fits when not even that does.
QString Shortened(TextMeasure& measure, const QString& text, double available) {
    if (measure.Width(text) <= available)
        return text;
    const QString ellipsis(QChar(0x2026));
    const int keep = measure.FittingPrefix(text, available - measure.Width(ellipsis));
    if (keep > 0)
        return text.left(keep) + ellipsis;
    return text.left(measure.FittingPrefix(text, available));
}

// A cell's text broken at spaces into at most room lines of the available width (a word wider
// than that is broken where it fills the line); the last line ends in an ellipsis when the
// text goes on past it.
QStringList WrapLines(TextMeasure& measure, const QString& text, double available, int room) {
    QStringList lines;
    QString rest = text;
    while (!rest.isEmpty()) {
        if (static_cast<int>(lines.size()) + 1 == room || measure.Width(rest) <= available) {
            lines << Shortened(measure, rest, available);
            break;
        }
        int keep = measure.FittingPrefix(rest, available);
        const int space = static_cast<int>(rest.lastIndexOf(u' ', keep));
        if (space > 0)
            keep = space;
        if (keep == 0)
            keep = 1;
        lines << rest.left(keep);
        rest = rest.mid(keep).trimmed();
    }
    return lines;
}

QString OneLine(QStringView view) {
    QString text = view.toString();
    // A text op draws one line, so what is left of line breaks and tabs becomes spaces.
    for (QChar& ch : text)
        if (ch == u'\n' || ch == u'\r' || ch == u'\t')
            ch = u' ';
    return text;
}

// The lines a cell's text prints as in room lines: each line of the text (a line feed starts
// the next) wrapped at spaces as WrapLines does. When lines of the text are left over, the
// last line printed ends in an ellipsis, so that a cell never looks complete when it is not.
QStringList CellLines(TextMeasure& measure, QStringView view, double available, int room) {
    QStringList lines;
    const QList<QStringView> ownLines = view.split(u'\n');
    qsizetype k = 0;
    for (; k < ownLines.size() && static_cast<int>(lines.size()) < room; ++k) {
        // No cell shows more of a line than its start: a line of megabytes is not copied and
        // measured whole each time its cell is drawn.
        constexpr qsizetype kMostShownChars = 100000;
        const QStringView line = ownLines[k].first(std::min(ownLines[k].size(), kMostShownChars));
        QStringList wrapped =
            WrapLines(measure, OneLine(line), available, room - static_cast<int>(lines.size()));
        lines += wrapped.isEmpty() ? QStringList{QString()} : wrapped;
    }
    bool more = false;
    for (; k < ownLines.size() && !more; ++k)
        more = !ownLines[k].trimmed().isEmpty();
    const QString ellipsis(QChar(0x2026));
    if (more && !lines.back().endsWith(ellipsis)) {
        QString& last = lines.back();
        const int keep = measure.FittingPrefix(last, available - measure.Width(ellipsis));
        last = last.left(std::max(0, keep)) + ellipsis;
    }
    return lines;
}

// Places cell texts: wraps them in rows tall enough, ends what is wider than the cell in an
// ellipsis and clips what is taller than it.
class TextPlacer {
public:
    TextPlacer(telmo::Picture& picture, FontSpec font)
        : picture_(picture), font_(std::move(font)), measure_(TextMeasure::For(font_)),
          lineHeight_(measure_.LineHeight()) {}

    void Place(const QRectF& cell, QStringView view, int16_t alignment) {
        const double available = cell.width() - 2 * GridControl::kCellMarginX;
        if (available <= 0 || cell.height() <= 0 || view.isEmpty())
            return;
        // A row taller than two lines wraps the text at spaces into the lines it has room for;
        // whatever still does not fit ends in an ellipsis at the cell's edge.
        const double pad = GridControl::kCellPaddingY;
        const int room = std::max(1, static_cast<int>((cell.height() - 2 * pad) / lineHeight_));
        const QStringList lines = CellLines(measure_, view, available, room);
        if (lines.size() > 1) {
            const double block = lines.size() * lineHeight_;
            double top = cell.center().y() - block / 2;
            if (alignment != kAlignGeneral && alignment % 3 == 0)
                top = cell.top() + pad;
            else if (alignment != kAlignGeneral && alignment % 3 == 2)
                top = cell.bottom() - pad - block;
            for (qsizetype i = 0; i < lines.size(); ++i)
                PlaceLine(QRectF(cell.left(), top + i * lineHeight_, cell.width(), lineHeight_), view,
                          lines[i],
                          alignment == kAlignGeneral ? kAlignGeneral : int16_t(alignment / 3 * 3 + 1));
            return;
        }
        const QString text = lines.value(0);
        if (text.isEmpty())
            return;
        PlaceLine(cell, view, text, alignment);
    }

private:
    void PlaceLine(const QRectF& cell, QStringView view, const QString& text, int16_t alignment) {
        const double width = measure_.Width(text);
        int horizontal = 0; // 0 left, 1 centre, 2 right
        int vertical = 1;   // 0 top, 1 centre, 2 bottom
        if (alignment == kAlignGeneral) {
            horizontal = LooksNumeric(view, c_, user_) ? 2 : 0;
        } else {
            horizontal = alignment / 3;
            vertical = alignment % 3;
        }
        double x = cell.left() + GridControl::kCellMarginX;
        if (horizontal == 1)
            x = cell.center().x() - width / 2;
        else if (horizontal == 2)
            x = cell.right() - GridControl::kCellMarginX - width;

        const double pad = GridControl::kCellPaddingY;
        if (lineHeight_ > cell.height()) {
            // Taller than its cell: centred and clipped to the cell by a nested picture, as
            // text ops themselves have no clip.
            const double y = cell.top() + (cell.height() - lineHeight_) / 2;
            auto clip = std::make_shared<telmo::Picture>(picture_.Width(), picture_.Height());
            clip->AddText(QPointF(x, y), font_, text);
            picture_.AddPicture(std::move(clip), cell, cell);
            return;
        }
        double y = cell.center().y() - lineHeight_ / 2;
        if (vertical == 0)
            y = std::min(cell.top() + pad, cell.bottom() - lineHeight_);
        else if (vertical == 2)
            y = std::max(cell.bottom() - pad - lineHeight_, cell.top());
        picture_.AddText(QPointF(x, y), font_, text);
    }

    telmo::Picture& picture_;
    FontSpec font_;
    TextMeasure& measure_;
    double lineHeight_;
    QLocale c_ = QLocale::c();
    // The user's locale by its name: the system locale object itself asks the system for its
    // separators on every number it reads.
    QLocale user_ = QLocale(QLocale().name());
};

} // namespace

// ---- CellStore ----

GridControl::CellStore::Entry GridControl::CellStore::Decode(const Units& pool, uint32_t offset) {
    const uint32_t first = pool[offset];
    if ((first & kLongTextFlag) == 0)
        return Entry{size_t(offset) + 2, pool[offset + 1], first, 2};
    const uint32_t capacity = ((first & ~kLongTextFlag) << 16) | pool[offset + 1];
    const uint32_t length = (uint32_t(pool[offset + 2]) << 16) | pool[offset + 3];
    return Entry{size_t(offset) + 4, length, capacity, 4};
}

uint32_t GridControl::CellStore::Append(QStringView text) {
    const size_t length = static_cast<size_t>(text.size());
    const size_t header = length <= kShortTextMax ? 2 : 4;
    if (pool_.empty()) {
        const char16_t none = 0; // offset 0 stands for an empty cell, so no text starts there
        pool_.Append(&none, 1);
    }
    if (length > kLongTextMax || pool_.size() + header + length > kPoolMax)
        throw RuntimeError(err::kOutOfMemory);
    const auto offset = static_cast<uint32_t>(pool_.size());
    pool_.Reserve(pool_.size() + header + length);
    if (header == 2) {
        const std::array<char16_t, 2> units = {static_cast<char16_t>(length), static_cast<char16_t>(length)};
        pool_.Append(units.data(), units.size());
    } else {
        const char16_t high = static_cast<char16_t>(kLongTextFlag | (length >> 16));
        const char16_t low = static_cast<char16_t>(length & 0xFFFF);
        const std::array<char16_t, 4> units = {high, low, static_cast<char16_t>(length >> 16), low};
        pool_.Append(units.data(), units.size());
    }
    pool_.Append(text.utf16(), length);
    return offset;
}

void GridControl::CellStore::Release(uint32_t offset) {
    const Entry entry = Decode(pool_, offset);
    garbage_ += entry.header + entry.capacity;
}

QStringView GridControl::CellStore::Get(int32_t row, int32_t col) const {
    if (static_cast<size_t>(col) >= columns_.size())
        return {};
    const std::vector<uint32_t>& column = columns_[col];
    if (static_cast<size_t>(row) >= column.size() || column[row] == 0)
        return {};
    const Entry entry = Decode(pool_, column[row]);
    return QStringView(pool_.data() + entry.data, static_cast<qsizetype>(entry.length));
}

void GridControl::CellStore::Set(int32_t row, int32_t col, QStringView text) {
    if (text.isEmpty()) {
        if (static_cast<size_t>(col) < columns_.size() && static_cast<size_t>(row) < columns_[col].size()) {
            uint32_t& slot = columns_[col][row];
            if (slot != 0) {
                Release(slot);
                slot = 0;
                MaybeCompact();
            }
        }
        return;
    }
    if (static_cast<size_t>(col) >= columns_.size())
        columns_.resize(static_cast<size_t>(col) + 1);
    std::vector<uint32_t>& column = columns_[col];
    if (static_cast<size_t>(row) >= column.size())
        column.resize(static_cast<size_t>(row) + 1, 0);
    uint32_t& slot = column[row];
    const size_t length = static_cast<size_t>(text.size());
    if (slot != 0) {
        const Entry entry = Decode(pool_, slot);
        if (length <= entry.capacity) {
            std::copy(text.utf16(), text.utf16() + length, pool_.data() + entry.data);
            if (entry.header == 2) {
                pool_[slot + 1] = static_cast<char16_t>(length);
            } else {
                pool_[slot + 2] = static_cast<char16_t>(length >> 16);
                pool_[slot + 3] = static_cast<char16_t>(length & 0xFFFF);
            }
            return;
        }
        Release(slot);
        slot = 0;
    }
    if (pool_.size() + length + 4 > kPoolMax && garbage_ > 0)
        Compact();
    slot = Append(text);
    MaybeCompact();
}

void GridControl::CellStore::Truncate(int32_t rows, int32_t cols) {
    const auto keepCols = static_cast<size_t>(std::max(cols, 0));
    const auto keepRows = static_cast<size_t>(std::max(rows, 0));
    bool released = false;
    for (size_t c = 0; c < columns_.size(); ++c) {
        std::vector<uint32_t>& column = columns_[c];
        const size_t from = c < keepCols ? std::min(keepRows, column.size()) : 0;
        for (size_t r = from; r < column.size(); ++r)
            if (column[r] != 0) {
                Release(column[r]);
                released = true;
            }
        column.resize(from);
        if (column.capacity() > 2 * from + 1024)
            column.shrink_to_fit();
    }
    if (columns_.size() > keepCols) {
        columns_.resize(keepCols);
        columns_.shrink_to_fit();
    }
    if (released)
        MaybeCompact();
}

void GridControl::CellStore::Clear() {
    std::vector<std::vector<uint32_t>>().swap(columns_);
    pool_.Release();
    garbage_ = 0;
}

void GridControl::CellStore::MaybeCompact() {
    if (garbage_ >= kMinGarbageForCompaction && garbage_ * 2 >= pool_.size())
        Compact();
}

void GridControl::CellStore::Compact() {
    Units old;
    old.Swap(pool_);
    pool_.Reserve(old.size() - garbage_);
    for (std::vector<uint32_t>& column : columns_)
        for (uint32_t& slot : column) {
            if (slot == 0)
                continue;
            const Entry entry = Decode(old, slot);
            slot = Append(QStringView(old.data() + entry.data, static_cast<qsizetype>(entry.length)));
        }
    garbage_ = 0;
}

size_t GridControl::CellStore::BytesInUse() const {
    size_t bytes = columns_.size() * sizeof(std::vector<uint32_t>) + pool_.size() * sizeof(char16_t);
    for (const std::vector<uint32_t>& column : columns_)
        bytes += column.size() * sizeof(uint32_t);
    return bytes;
}

void GridControl::CellStore::Units::Reserve(size_t units) {
    if (units <= capacity_)
        return;
    // Doubling keeps appends amortised constant; the room beyond size_ is never touched.
    const size_t grown = std::max({units, 2 * capacity_, size_t(4096)});
    auto* const moved = static_cast<char16_t*>(std::realloc(data_, grown * sizeof(char16_t)));
    if (moved == nullptr)
        throw std::bad_alloc();
    data_ = moved;
    capacity_ = grown;
}

void GridControl::CellStore::Units::Append(const char16_t* units, size_t count) {
    Reserve(size_ + count);
    std::copy(units, units + count, data_ + size_);
    size_ += count;
}

void GridControl::CellStore::Units::Swap(Units& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
}

void GridControl::CellStore::Units::Release() noexcept {
    std::free(data_);
    data_ = nullptr;
    size_ = capacity_ = 0;
}

size_t GridControl::CellStore::Bytes() const {
    size_t bytes = columns_.capacity() * sizeof(std::vector<uint32_t>) + pool_.capacity() * sizeof(char16_t);
    for (const std::vector<uint32_t>& column : columns_)
        bytes += column.capacity() * sizeof(uint32_t);
    return bytes;
}

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
    return cells_.Get(row, col).toString();
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
    for (const QStringView line : view.split(u'\n'))
        widest = std::max(widest, measure.Width(OneLine(line)));
    return widest;
}

int32_t GridControl::WrappedRowHeight(int32_t row) const {
    CheckRow(row);
    TextMeasure& measure = TextMeasure::For(FontSpec{fontName_, fontSize_, false});
    int most = 1;
    for (int32_t c = 0; c < cols_; ++c) {
        const QStringView view = cells_.Get(row, c);
        const double available = EffectiveColWidth(c) - 2 * kCellMarginX;
        if (view.isEmpty() || available <= 0)
            continue;
        const QStringList lines = CellLines(measure, view, available, std::numeric_limits<int>::max());
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
