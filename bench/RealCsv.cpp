#include "bench/RealCsv.h"

#include <cstdio>

namespace telmo::bench {
namespace {

constexpr int kKinds = 9;

const char* const kFirst[] = {"Ana",   "Bruno", "Chloé", "David", "Eva",   "Farid", "Greta", "Hugo",
                              "Irene", "Jonas", "Kim",   "Lena",  "Marco", "Nora",  "Oscar", "Paula"};
const char* const kLast[] = {"Almeida", "Becker", "Costa",   "Dubois",    "Eriksen",  "Fischer",
                             "García",  "Hansen", "Ibsen",   "Jankowski", "Kowalski", "Lindqvist",
                             "Moreau",  "Novak",  "O'Brien", "Petrov"};
const char* const kCities[] = {"Lisbon", "Porto",   "Hamburg",  "Lyon",     "Rotterdam", "Kraków",
                               "Aarhus", "Bologna", "Valencia", "Göteborg", "Brno",      "Cork"};
const char* const kStatuses[] = {"Open", "Shipped", "Invoiced", "Paid", "Cancelled", "On hold"};
const char* const kWords[] = {"deliver", "before",  "noon",    "call",   "customer", "on",     "arrival",
                              "fragile", "invoice", "sent",    "to",     "head",     "office", "pallet",
                              "missing", "label",   "partial", "refund", "agreed",   "by",     "phone"};

template <class T, size_t N> constexpr uint32_t Count(const T (&)[N]) {
    return static_cast<uint32_t>(N);
}

const char* const kHeadings[kKinds] = {"Customer", "City",     "Quantity", "Amount", "Date",
                                       "Status",   "Discount", "Product",  "Notes"};

} // namespace

uint32_t RealCsv::Next() {
    seed_ = seed_ * 1664525u + 1013904223u;
    return seed_ >> 8;
}

void RealCsv::Field(QByteArray& out, int kind) {
    char buf[64];
    switch (kind) {
    case 0: // the one kind that needs quoting: a comma inside
        std::snprintf(buf, sizeof buf, "\"%s, %s\"", kLast[Next() % Count(kLast)],
                      kFirst[Next() % Count(kFirst)]);
        break;
    case 1:
        std::snprintf(buf, sizeof buf, "%s", kCities[Next() % Count(kCities)]);
        break;
    case 2:
        std::snprintf(buf, sizeof buf, "%u", Next() % 500 + 1);
        break;
    case 3:
        std::snprintf(buf, sizeof buf, "%u.%02u", Next() % 20000, Next() % 100);
        break;
    case 4:
        std::snprintf(buf, sizeof buf, "2026-%02u-%02u", Next() % 12 + 1, Next() % 28 + 1);
        break;
    case 5:
        std::snprintf(buf, sizeof buf, "%s", kStatuses[Next() % Count(kStatuses)]);
        break;
    case 6:
        std::snprintf(buf, sizeof buf, "%u.%u%%", Next() % 30, Next() % 10);
        break;
    case 7:
        std::snprintf(buf, sizeof buf, "%c%c-%04u-%c", 'A' + Next() % 26, 'A' + Next() % 26, Next() % 10000,
                      'A' + Next() % 6);
        break;
    default: {
        const uint32_t words = Next() % 9;
        for (uint32_t w = 0; w < words; ++w) {
            if (w > 0)
                out += ' ';
            out += kWords[Next() % Count(kWords)];
        }
        return;
    }
    }
    out += buf;
}

QByteArray RealCsv::Orders(int dataRows) {
    return Wide(dataRows, 1 + kKinds);
}

QByteArray RealCsv::Wide(int dataRows, int cols) {
    RealCsv gen(20261208);
    QByteArray out;
    out.reserve(static_cast<qsizetype>(dataRows + 1) * cols * 10);
    out += "Order";
    for (int c = 1; c < cols; ++c) {
        out += ',';
        out += kHeadings[(c - 1) % kKinds];
        if (cols > 1 + kKinds)
            out += ' ' + QByteArray::number((c - 1) / kKinds + 1);
    }
    out += '\n';
    char order[32];
    for (int r = 1; r <= dataRows; ++r) {
        std::snprintf(order, sizeof order, "SO-%07d", r);
        out += order;
        for (int c = 1; c < cols; ++c) {
            out += ',';
            gen.Field(out, (c - 1) % kKinds);
        }
        out += '\n';
    }
    return out;
}

QByteArray RealCsv::OneRow(int cols) {
    RealCsv gen(7);
    QByteArray out;
    out.reserve(static_cast<qsizetype>(cols) * 5);
    for (int c = 0; c < cols; ++c) {
        if (c > 0)
            out += ',';
        out += QByteArray::number(gen.Next() % 1000);
    }
    out += '\n';
    return out;
}

} // namespace telmo::bench
