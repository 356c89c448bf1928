#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace telmo::app {

// A CSV file as rows of fields (RFC 4180: quoted fields with embedded commas, doubled quotes
// and line breaks; CRLF or LF line ends; UTF-8).
struct CsvTable {
    std::vector<QStringList> rows;
    int maxFields = 0;
};

struct CsvError {
    QString message; // with the file name and line number
};

// Parses text; on malformed input returns false and fills error (line numbers from 1).
bool ParseCsv(const QString& text, const QString& fileName, CsvTable& table, CsvError& error);
// Reads and parses a file; an unreadable file is an error too.
bool ReadCsvFile(const QString& path, CsvTable& table, CsvError& error);

} // namespace telmo::app
