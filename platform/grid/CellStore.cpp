// The grid's texts: one pool of UTF-16 units, each text behind a short header; long texts
// shared, their entries naming them.
#include "platform/grid/GridControl.h"

#include "platform/RuntimeError.h"

#include <algorithm>
#include <cstring>
#include <limits>
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
// The first unit of an entry that names a shared text, followed by two units of its index. No
// pool text has the capacity this would stand for: texts that long are shared.
constexpr char16_t kSharedMark = 0xFFFF;
constexpr size_t kSharedEntryUnits = 3;

} // namespace

GridControl::CellStore::Entry GridControl::CellStore::Decode(const Units& pool, uint32_t offset) {
    const uint32_t first = pool[offset];
    if ((first & kLongTextFlag) == 0)
        return Entry{size_t(offset) + 2, pool[offset + 1], first, 2};
    const uint32_t capacity = ((first & ~kLongTextFlag) << 16) | pool[offset + 1];
    const uint32_t length = (uint32_t(pool[offset + 2]) << 16) | pool[offset + 3];
    return Entry{size_t(offset) + 4, length, capacity, 4};
}

bool GridControl::CellStore::IsShared(uint32_t offset) const {
    return pool_[offset] == kSharedMark;
}

uint32_t GridControl::CellStore::SharedIndex(uint32_t offset) const {
    return (uint32_t(pool_[offset + 1]) << 16) | pool_[offset + 2];
}

uint32_t GridControl::CellStore::AppendShared(uint32_t index) {
    if (pool_.empty()) {
        const char16_t none = 0; // offset 0 stands for an empty cell, as in Append
        pool_.Append(&none, 1);
    }
    if (pool_.size() + kSharedEntryUnits > kPoolMax)
        throw RuntimeError(err::kOutOfMemory);
    const std::array<char16_t, kSharedEntryUnits> units = {kSharedMark, static_cast<char16_t>(index >> 16),
                                                           static_cast<char16_t>(index & 0xFFFF)};
    const auto offset = static_cast<uint32_t>(pool_.size());
    pool_.Append(units.data(), units.size());
    return offset;
}

QString GridControl::CellStore::Kept(const QString& text) {
    // A string with much room to spare (one grown by appending) is not kept with that room.
    return text.capacity() > text.size() + text.size() / 2 ? QString(text.constData(), text.size()) : text;
}

uint32_t GridControl::CellStore::Share(const QString& text) {
    const QString kept = Kept(text);
    if (!unused_.empty()) {
        const uint32_t index = unused_.back();
        const uint32_t offset = AppendShared(index);
        unused_.pop_back();
        shared_[index] = kept;
        return offset;
    }
    if (shared_.size() >= kPoolMax)
        throw RuntimeError(err::kOutOfMemory);
    const auto index = static_cast<uint32_t>(shared_.size());
    shared_.push_back(kept);
    try {
        return AppendShared(index);
    } catch (...) {
        shared_.pop_back();
        throw;
    }
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
    if (IsShared(offset)) {
        const uint32_t index = SharedIndex(offset);
        shared_[index] = QString();
        unused_.push_back(index);
        garbage_ += kSharedEntryUnits;
        return;
    }
    const Entry entry = Decode(pool_, offset);
    garbage_ += entry.header + entry.capacity;
}

QStringView GridControl::CellStore::Get(int32_t row, int32_t col) const {
    if (static_cast<size_t>(col) >= columns_.size())
        return {};
    const std::vector<uint32_t>& column = columns_[col];
    if (static_cast<size_t>(row) >= column.size() || column[row] == 0)
        return {};
    if (IsShared(column[row]))
        return shared_[SharedIndex(column[row])];
    const Entry entry = Decode(pool_, column[row]);
    return QStringView(pool_.data() + entry.data, static_cast<qsizetype>(entry.length));
}

QString GridControl::CellStore::Text(int32_t row, int32_t col) const {
    const QStringView view = Get(row, col);
    if (view.size() >= kSharedTextMin) {
        const uint32_t offset = columns_[col][row];
        if (IsShared(offset))
            return shared_[SharedIndex(offset)];
    }
    return view.toString();
}

void GridControl::CellStore::Set(int32_t row, int32_t col, const QString& text) {
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
    if (text.size() >= kSharedTextMin) {
        if (slot != 0 && IsShared(slot)) {
            shared_[SharedIndex(slot)] = Kept(text);
            return;
        }
        const uint32_t offset = Share(text); // the cell keeps its text if this throws
        if (slot != 0)
            Release(slot);
        slot = offset;
        MaybeCompact();
        return;
    }
    if (slot != 0 && IsShared(slot)) {
        Release(slot);
        slot = 0;
    }
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
    std::vector<QString>().swap(shared_);
    std::vector<uint32_t>().swap(unused_);
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
            if (old[slot] == kSharedMark) {
                slot = AppendShared((uint32_t(old[slot + 1]) << 16) | old[slot + 2]);
                continue;
            }
            const Entry entry = Decode(old, slot);
            slot = Append(QStringView(old.data() + entry.data, static_cast<qsizetype>(entry.length)));
        }
    garbage_ = 0;
}

size_t GridControl::CellStore::BytesInUse() const {
    size_t bytes = columns_.size() * sizeof(std::vector<uint32_t>) + pool_.size() * sizeof(char16_t);
    for (const std::vector<uint32_t>& column : columns_)
        bytes += column.size() * sizeof(uint32_t);
    for (const QString& text : shared_)
        bytes += sizeof(QString) + static_cast<size_t>(text.size()) * sizeof(char16_t);
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
    bytes += unused_.capacity() * sizeof(uint32_t);
    for (const QString& text : shared_)
        bytes += sizeof(QString) + static_cast<size_t>(text.capacity()) * sizeof(char16_t);
    return bytes;
}

} // namespace telmo
