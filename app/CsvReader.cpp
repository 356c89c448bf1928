#include "app/CsvReader.h"

#include <QFile>
#include <QStringDecoder>

namespace telmo::app {

bool ParseCsv(const QString& text, const QString& fileName, CsvTable& table, CsvError& error) {
    table = CsvTable{};
    QStringList fields;
    QString field;
    bool quoted = false;     // inside a quoted field
    bool afterQuote = false; // a quoted field has closed; only a separator or line end may follow
    bool fieldStarted = false;
    int line = 1;
    int quoteLine = 0;
    auto endRecord = [&] {
        fields << field;
        table.maxFields = std::max(table.maxFields, static_cast<int>(fields.size()));
        table.rows.push_back(fields);
        fields.clear();
        field.clear();
        fieldStarted = afterQuote = false;
    };
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar ch = text[i];
        if (quoted) {
            if (ch == QLatin1Char('"')) {
                if (i + 1 < n && text[i + 1] == QLatin1Char('"')) {
                    field += QLatin1Char('"');
                    ++i;
                } else {
                    quoted = false;
                    afterQuote = true;
                }
            } else {
                if (ch == QLatin1Char('\n'))
                    ++line;
                field += ch;
            }
            continue;
        }
        if (ch == QLatin1Char(',')) {
            fields << field;
            field.clear();
            fieldStarted = afterQuote = false;
        } else if (ch == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n')) {
            continue; // the LF ends the record
        } else if (ch == QLatin1Char('\n')) {
            endRecord();
            ++line;
        } else if (afterQuote) {
            error.message =
                QStringLiteral("%1:%2: unexpected character after a closing quote").arg(fileName).arg(line);
            return false;
        } else if (ch == QLatin1Char('"')) {
            if (fieldStarted) {
                error.message =
                    QStringLiteral("%1:%2: quote inside an unquoted field").arg(fileName).arg(line);
                return false;
            }
            quoted = true;
            quoteLine = line;
        } else {
            field += ch;
            fieldStarted = true;
        }
    }
    if (quoted) {
        error.message = QStringLiteral("%1:%2: quoted field is not closed").arg(fileName).arg(quoteLine);
        return false;
    }
    // A last record without a line end.
    if (!field.isEmpty() || !fields.isEmpty() || afterQuote)
        endRecord();
    if (table.rows.empty()) {
        error.message = QStringLiteral("%1:1: the file holds no rows").arg(fileName);
        return false;
    }
    return true;
}

bool ReadCsvFile(const QString& path, CsvTable& table, CsvError& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error.message = QStringLiteral("%1: cannot read: %2").arg(path, file.errorString());
        return false;
    }
    QByteArray bytes = file.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    if (decoder.hasError()) {
        error.message = QStringLiteral("%1: not valid UTF-8 text").arg(path);
        return false;
    }
    return ParseCsv(text, path, table, error);
}

} // namespace telmo::app
