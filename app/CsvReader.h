#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace telmo::app {

// A CSV file as rows of fields (RFC 4180: quoted fields with embedded commas, doubled quotes
// and line breaks; CRLF or LF line ends; UTF-8 with or without a byte order mark). A line
// break inside a quoted field is read as a line feed. Blank lines at the end of the file are
// not records; a blank line between records is a record of one empty field.
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
