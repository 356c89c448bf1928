#include "app/CsvReader.h"

#include <QFile>
#include <QStringDecoder>
#include <algorithm>
#include <array>
#include <vector>

namespace telmo::app {
namespace {

QString LineError(const QString& fileName, int line, const QString& what) {
    return QStringLiteral("%1:%2: %3").arg(fileName).arg(line).arg(what);
}

// The line (from 1) where a text that does not decode as UTF-8 goes wrong. No byte of a
// multi-byte sequence is a line feed, so each line can be decoded on its own.
int LineOfInvalidUtf8(const QByteArray& bytes) {
    int line = 1;
    for (qsizetype start = 0; start < bytes.size(); ++line) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            end = bytes.size();
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        // A decoder does its work when its result is taken.
        const QString decoded = decoder(QByteArrayView(bytes).sliced(start, end - start));
        if (decoder.hasError())
            return line;
        start = end + 1;
    }
    return line;
}

} // namespace

QChar SniffDelimiter(const QString& text) {
    constexpr int kLinesLooked = 20;
    constexpr std::array<char16_t, 4> candidates = {u',', u';', u'\t', u'|'};
    std::vector<std::array<int, 4>> counts(1, std::array<int, 4>{});
    bool quoted = false;
    for (qsizetype i = 0; i < text.size() && counts.size() <= kLinesLooked; ++i) {
        const QChar ch = text[i];
        if (ch == u'"') {
            quoted = !quoted; // a doubled quote toggles twice
        } else if (!quoted && ch == u'\n') {
            counts.push_back({});
        } else if (!quoted) {
            for (size_t k = 0; k < candidates.size(); ++k)
                if (ch == candidates[k])
                    ++counts.back()[k];
        }
    }
    // A last line cut off by the look-ahead, or an empty one after the final line end, is left out.
    if (counts.size() > 1 && (counts.size() > kLinesLooked || text.endsWith(u'\n')))
        counts.pop_back();
    QChar best = u',';
    int bestCount = 0;
    for (size_t k = 0; k < candidates.size(); ++k) {
        const int first = counts.front()[k];
        bool steady = first > 0;
        for (const auto& line : counts)
            steady = steady && line[k] == first;
        if (steady && first > bestCount) {
            best = candidates[k];
            bestCount = first;
        }
    }
    return best;
}

bool ParseCsv(const QString& text, const QString& fileName, const CsvRecordSink& sink, CsvError& error,
              QChar delimiter) {
    const QChar* const data = text.constData();
    const qsizetype n = text.size();
    QStringList fields;
    int line = 1;
    // Lines that hold nothing at all at the end of the file are what editors leave behind,
    // not records; a blank line between records is an empty record. Blank records wait here
    // until a record with something in it shows they are not at the end.
    size_t blanksWaiting = 0;
    size_t records = 0;
    qsizetype i = 0;
    bool recordOpen = false; // something of the current record has been read
    while (i < n || recordOpen) {
        // One field, from i.
        QString field;
        bool quotedField = false;
        if (i < n && data[i] == u'"') {
            quotedField = true;
            const int quoteLine = line;
            ++i;
            for (;;) {
                if (i >= n) {
                    error.message =
                        LineError(fileName, quoteLine, QStringLiteral("quoted field is not closed"));
                    return false;
                }
                // Copy the run up to the next quote or line break in one piece.
                qsizetype end = i;
                while (end < n && data[end] != u'"' && data[end] != u'\n' && data[end] != u'\r')
                    ++end;
                field.append(data + i, end - i);
                i = end;
                if (i >= n)
                    continue;
                if (data[i] == u'"') {
                    if (i + 1 < n && data[i + 1] == u'"') {
                        field += u'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                // A line break inside the field: kept, as a line feed whatever the file used.
                if (data[i] == u'\r' && i + 1 < n && data[i + 1] == u'\n')
                    ++i;
                else if (data[i] == u'\r') {
                    field += u'\r';
                    ++i;
                    continue;
                }
                field += u'\n';
                ++line;
                ++i;
            }
        } else {
            qsizetype end = i;
            while (end < n && data[end] != delimiter && data[end] != u'\n' && data[end] != u'"' &&
                   !(data[end] == u'\r' && end + 1 < n && data[end + 1] == u'\n'))
                ++end;
            if (end < n && data[end] == u'"') {
                error.message = LineError(fileName, line, QStringLiteral("quote inside an unquoted field"));
                return false;
            }
            field = QString(data + i, end - i);
            i = end;
        }
        // What may follow a field: a separator, a line end or the end of the file.
        const bool blank = !recordOpen && !quotedField && field.isEmpty();
        fields.append(std::move(field));
        if (i < n && data[i] == delimiter) {
            ++i;
            recordOpen = true;
            continue;
        }
        bool lineEnd = false;
        if (i < n && data[i] == u'\r' && i + 1 < n && data[i + 1] == u'\n') {
            i += 2;
            lineEnd = true;
        } else if (i < n && data[i] == u'\n') {
            ++i;
            lineEnd = true;
        } else if (i < n) {
            error.message =
                LineError(fileName, line, QStringLiteral("unexpected character after a closing quote"));
            return false;
        }
        if (blank) {
            if (lineEnd || i < n) // the end of the file right after a line end is no record
                ++blanksWaiting;
        } else {
            for (; blanksWaiting > 0; --blanksWaiting, ++records) {
                QStringList empty{QString()};
                sink(empty);
            }
            sink(fields);
            ++records;
        }
        fields = QStringList();
        recordOpen = false;
        if (lineEnd)
            ++line;
    }
    if (records == 0) {
        error.message = LineError(fileName, 1, QStringLiteral("the file holds no rows"));
        return false;
    }
    return true;
}

namespace {

CsvRecordSink Collect(CsvTable& table) {
    table = CsvTable{};
    return [&table](QStringList& fields) {
        table.maxFields = std::max(table.maxFields, static_cast<int>(fields.size()));
        table.rows.push_back(std::move(fields));
    };
}

// Decodes the bytes of a file, dropping a leading byte order mark; the bytes are given up as
// soon as they are decoded, so the two copies are never held longer than needed.
bool DecodeCsvBytes(QByteArray bytes, const QString& fileName, QString& text, CsvError& error) {
    // A byte order mark is how some programs say UTF-8; it is no part of the first field.
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QStringDecoder decoder(QStringDecoder::Utf8);
    text = decoder(bytes);
    if (decoder.hasError()) {
        error.message = LineError(fileName, LineOfInvalidUtf8(bytes), QStringLiteral("not valid UTF-8 text"));
        return false;
    }
    return true;
}

} // namespace

bool ParseCsv(const QString& text, const QString& fileName, CsvTable& table, CsvError& error,
              QChar delimiter) {
    if (!ParseCsv(text, fileName, Collect(table), error, delimiter)) {
        table = CsvTable{};
        return false;
    }
    return true;
}

bool ReadCsvFile(const QString& path, const CsvRecordSink& sink, CsvError& error, QChar delimiter) {
    QString text;
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            error.message = QStringLiteral("%1: cannot read: %2").arg(path, file.errorString());
            return false;
        }
        QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError) {
            error.message = QStringLiteral("%1: cannot read: %2").arg(path, file.errorString());
            return false;
        }
        if (!DecodeCsvBytes(std::move(bytes), path, text, error))
            return false;
    }
    return ParseCsv(text, path, sink, error, delimiter.isNull() ? SniffDelimiter(text) : delimiter);
}

bool ReadCsvFile(const QString& path, CsvTable& table, CsvError& error, QChar delimiter) {
    if (!ReadCsvFile(path, Collect(table), error, delimiter)) {
        table = CsvTable{};
        return false;
    }
    return true;
}

bool ParseCsvBytes(QByteArray bytes, const QString& fileName, CsvTable& table, CsvError& error,
                   QChar delimiter) {
    QString text;
    if (!DecodeCsvBytes(std::move(bytes), fileName, text, error))
        return false;
    return ParseCsv(text, fileName, table, error, delimiter.isNull() ? SniffDelimiter(text) : delimiter);
}

} // namespace telmo::app
