#pragma once

#include <QByteArray>
#include <cstdint>

namespace telmo::bench {

// CSV files shaped like a real export, written from a fixed-seed generator so that every run
// of every machine reads the same bytes.
class RealCsv {
public:
    // An order list: a heading row, an order number as heading column, then customer names
    // ("Last, First", which needs quoting), cities, quantities, amounts, dates, statuses,
    // percentages, product codes and a notes column of 0 to 8 words.
    static QByteArray Orders(int dataRows);
    // The same kinds of column repeated across `cols` columns.
    static QByteArray Wide(int dataRows, int cols);
    // One line of `cols` short whole numbers, no heading row.
    static QByteArray OneRow(int cols);

private:
    explicit RealCsv(uint32_t seed) : seed_(seed) {}
    uint32_t Next();
    void Field(QByteArray& out, int kind);

    uint32_t seed_;
};

} // namespace telmo::bench
