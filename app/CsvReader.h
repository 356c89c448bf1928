#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
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

// Takes each record as it is read; the fields may be moved from.
using CsvRecordSink = std::function<void(QStringList& fields)>;

// How many bytes of a file are read and decoded at a time. Only the record being read is
// held beyond them; a record longer than this is read in steps that double. Tests pass a few
// bytes, so that every boundary falls inside a quote, a line end or a character.
inline constexpr qsizetype kCsvChunkBytes = qsizetype(1) << 20;

// The field separator of a text, guessed from its first lines: of comma, semicolon, tab and
// bar, the one found outside quoted fields the same number of times on every line looked at
// (the most often when several are); a comma when none is.
QChar SniffDelimiter(const QString& text);
// Decodes the bytes of a file (UTF-8, leading byte order marks dropped) and parses them with
// the given separator or (0) the one its first lines use. On malformed input returns false
// and fills error with the first problem in the file (line numbers from 1): text that is not
// valid UTF-8, a quote out of place or not closed. The sink form hands each record on as it
// is read (those before an error included), so that no table of them need be held.
bool ParseCsvBytes(QByteArrayView bytes, const QString& fileName, const CsvRecordSink& sink, CsvError& error,
                   QChar delimiter = u',', qsizetype chunkBytes = kCsvChunkBytes);
bool ParseCsvBytes(QByteArrayView bytes, const QString& fileName, CsvTable& table, CsvError& error,
                   QChar delimiter = u',');
// Reads and parses a file a chunk at a time, as ParseCsvBytes does its bytes; an unreadable
// file is an error too.
bool ReadCsvFile(const QString& path, const CsvRecordSink& sink, CsvError& error, QChar delimiter = u',',
                 qsizetype chunkBytes = kCsvChunkBytes);
bool ReadCsvFile(const QString& path, CsvTable& table, CsvError& error, QChar delimiter = u',');

} // namespace telmo::app
