// Fuzz target: the bytes of a CSV file through the reader and into the report grid.
#include "FuzzApp.h"
#include "app/CsvReader.h"
#include "app/ReportGrid.h"
#include "platform/grid/GridControl.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <vector>

using namespace telmo;
using namespace telmo::app;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::StartOffscreenApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    CsvTable table;
    CsvError error;
    const QString fileName = QStringLiteral("fuzz.csv");
    // Every fifth length has its separator guessed from the text, as the command does by default.
    const QChar delimiter = size % 5 == 0 ? QChar() : QChar(u',');
    const bool read = ParseCsvBytes(bytes, fileName, table, error, delimiter);
    // In chunks of a few bytes (ending inside quotes, line ends, characters) it reads or fails the same.
    std::vector<QStringList> records;
    CsvError chunkedError;
    const bool chunkedRead = ParseCsvBytes(
        bytes, fileName, [&records](QStringList& fields) { records.push_back(fields); }, chunkedError,
        delimiter, static_cast<qsizetype>(1 + size % 7));
    if (chunkedRead != read || chunkedError.message != error.message || (read && records != table.rows))
        fuzz::Fail("the file reads differently in small chunks");
    if (!read) {
        if (!error.message.startsWith(fileName + QLatin1Char(':')))
            fuzz::Fail("a CSV error without the file name and line");
        return 0;
    }
    if (table.rows.empty() || table.maxFields < 1)
        fuzz::Fail("an accepted file without rows");
    // Rows times the widest row: many short lines and one long one make it quadratic, telling nothing.
    if (table.rows.size() * static_cast<size_t>(table.maxFields) > 200000)
        return 0;
    GridOptions options; // the length picks fitting and heading row, spending no input bytes on them
    options.fixedRows = size % 3 == 0 ? 0 : 1;
    options.printableWidth = size % 2 == 0 ? 0.0f : 10800.0f;
    const std::shared_ptr<GridControl> grid = BuildReportGrid(table, options);
    if (grid->Rows() != static_cast<int32_t>(table.rows.size()) || grid->Cols() != table.maxFields)
        fuzz::Fail("the grid is not the size of the table");
    for (size_t r = 0; r < table.rows.size(); ++r) {
        const QStringList& fields = table.rows[r];
        for (int c = 0; c < fields.size(); ++c)
            if (grid->TextMatrix(static_cast<int32_t>(r), c) != fields[c])
                fuzz::Fail("a cell does not hold its field");
    }
    for (int32_t c = 0; c < grid->Cols(); ++c)
        if (grid->ColWidth(c) < 0)
            fuzz::Fail("a fitted column of negative width");
    return 0;
}
