#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace telmo::app {

// A CSV file as rows of fields (RFC 4180: quoted fields with embedded commas, doubled quotes
// and line breaks; CRLF or LF line ends; UTF-8 with or without a byte order mark, UTF-16 with
// one, or another encoding named). A line
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

// The longest field or record read, in characters: past it a file is refused, so that what
// is not a table of text (a device, a binary file, an unclosed quote) cannot fill the memory.
inline constexpr qsizetype kCsvMostRecordChars = qsizetype(16) << 20;

// How a file is read beyond RFC 4180.
struct CsvFormat {
    QChar delimiter; // null: guessed from the first lines (SeparatorGuess)
    QChar comment;   // lines that start with it are skipped; null: none
    // A name Qt knows (latin1, windows-1252, UTF-16, ...); empty: UTF-8, or UTF-16 when the
    // file starts with its byte order mark.
    QString encoding;
};

// The field separator of a text, guessed from its first lines (SeparatorGuess).
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
// The same in the format given; note, when given, receives what the user may want to know
// about how the file was read (a separator guessed on a close call), or nothing.
bool ReadCsvFile(const QString& path, const CsvRecordSink& sink, const CsvFormat& format, CsvError& error,
                 QString* note = nullptr, qsizetype chunkBytes = kCsvChunkBytes);

} // namespace telmo::app
