#include "app/CsvReader.h"

#include "app/CsvRecordParser.h"
#include "app/SeparatorGuess.h"

#include <QFile>
#include <QStringDecoder>
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

namespace telmo::app {
namespace {

using csv::LineError;
using csv::Next;
using csv::RecordParser;

// How far bytes are whole, well-formed UTF-8 sequences (no overlong forms, no surrogates,
// nothing past U+10FFFF), and whether what follows is an error or only a character cut off
// by the end of the bytes, which the next chunk may complete (an error at the end of the file).
struct Utf8Prefix {
    qsizetype valid;
    bool invalid;
};

Utf8Prefix WellFormedUtf8(QByteArrayView bytes, bool atEnd) {
    const auto* const p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        // Most files are mostly ASCII: eight bytes at a time while no high bit is set.
        for (uint64_t word = 0; i + 8 <= n; i += 8) {
            std::memcpy(&word, p + i, 8);
            if ((word & 0x8080808080808080ULL) != 0)
                break;
        }
        if (i >= n)
            break;
        const unsigned char lead = p[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        int length = 0;
        unsigned char low = 0x80, high = 0xBF; // the range of the second byte
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return {i, true};
        }
        for (int k = 1; k < length; ++k) {
            if (i + k >= n)
                return {i, atEnd};
            const unsigned char next = p[i + k];
            if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF))
                return {i, true};
        }
        i += length;
    }
    return {n, false};
}

// Appends up to `most` further bytes of a file to bytes (none at its end); false when it
// cannot be read, with the error told.
using ByteSource = std::function<bool(qsizetype most, QByteArray& bytes)>;

// The encoding text that is not UTF-8 most likely has, by what its bytes look like: many zero
// bytes are UTF-16 without its mark; bytes from 0x80 to 0x9F are printable only in the
// Windows code page; any other byte above 0x7F reads as Latin-1.
constexpr qsizetype kEncodingSample = 1 << 16;

QString LikelyEncoding(QByteArrayView bytes) {
    const QByteArrayView sample = bytes.first(std::min<qsizetype>(bytes.size(), kEncodingSample));
    qsizetype zerosEven = 0, zerosOdd = 0, windows = 0;
    for (qsizetype i = 0; i < sample.size(); ++i) {
        const auto byte = static_cast<unsigned char>(sample[i]);
        if (byte == 0)
            ++(i % 2 == 0 ? zerosEven : zerosOdd);
        else if (byte >= 0x80 && byte <= 0x9F)
            ++windows;
    }
    if ((zerosEven + zerosOdd) * 4 > sample.size())
        return zerosOdd > zerosEven ? QStringLiteral("UTF-16LE") : QStringLiteral("UTF-16BE");
    return windows > 0 ? QStringLiteral("windows-1252") : QStringLiteral("latin1");
}

// Reads bytes a chunk at a time, decodes them and hands the text to the parser, so that
// only a chunk and the record being read are held however long the file. Text is UTF-8
// (checked strictly, byte order marks at its start dropped), UTF-16 when it starts with the
// byte order mark of either order, or in the encoding the format names.
bool ParseStream(const ByteSource& read, const QString& fileName, const CsvRecordSink& sink, CsvError& error,
                 const CsvFormat& format, qsizetype chunkBytes, QString* note) {
    RecordParser parser(fileName, sink, format);
    QByteArray bytes;       // read, not yet decoded: the start of a character the chunk cut off
    qsizetype lineEnds = 0; // in the text decoded so far
    bool fileStart = true;
    bool utf8Mark = false; // one was dropped: the file says it is UTF-8
    // Whole characters only are decoded; a mark further on is a character of its field.
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    std::optional<QStringDecoder> other; // any other encoding, which keeps its own state
    QString otherName;
    if (!format.encoding.isEmpty() &&
        format.encoding.compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) != 0 &&
        format.encoding.compare(QLatin1String("UTF8"), Qt::CaseInsensitive) != 0) {
        otherName = format.encoding;
        other.emplace(otherName.toLatin1().constData(), QStringDecoder::Flag::ConvertInitialBom);
        if (!other->isValid()) {
            error.message = QStringLiteral("--encoding %1: not an encoding this system knows (try UTF-8, "
                                           "UTF-16, latin1 or windows-1252)")
                                .arg(format.encoding);
            return false;
        }
    }
    const auto done = [&](bool ok) {
        if (ok && note)
            *note = parser.SeparatorNote();
        return ok;
    };
    for (bool atEnd = false; !atEnd;) {
        const qsizetype before = bytes.size();
        // A record longer than a chunk is parsed again as each chunk comes: reading as much
        // again as is held keeps that to a few passes, up to a chunk at a time.
        if (!read(std::min(std::max(chunkBytes, parser.Pending()), kCsvChunkBytes), bytes))
            return false;
        atEnd = bytes.size() == before;
        if (fileStart && !other) {
            const QByteArrayView mark("\xEF\xBB\xBF");
            if (!atEnd && bytes.size() < mark.size())
                continue; // too little yet to tell a byte order mark
            // A UTF-16 mark counts only as the file's first bytes, wherever a chunk ends.
            if (!utf8Mark && (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))) {
                otherName =
                    bytes.startsWith("\xFF\xFE") ? QStringLiteral("UTF-16LE") : QStringLiteral("UTF-16BE");
                other.emplace(otherName.toLatin1().constData());
                bytes.remove(0, 2);
            }
            // A byte order mark is how some programs say UTF-8 (and some say it twice, having
            // added one to a file that had one); marks at the very start are no part of the
            // first field.
            while (!other && bytes.startsWith(mark)) {
                bytes.remove(0, mark.size());
                utf8Mark = true;
            }
            if (!other && !atEnd && bytes.size() < mark.size())
                continue;
        }
        fileStart = false;
        if (other) {
            // The decoder keeps a character cut off by the chunk for the next one; what it
            // cannot read it marks with a replacement character.
            QString text = (*other)(bytes);
            bytes.clear();
            if (atEnd)
                text += (*other)(QByteArrayView());
            const qsizetype bad =
                other->hasError() ? std::max<qsizetype>(text.indexOf(QChar::ReplacementCharacter), 0) : -1;
            if (bad >= 0)
                text.truncate(bad);
            const qsizetype ends = text.count(u'\n');
            if (!parser.Feed(std::move(text),
                             bad >= 0 ? Next::BadBytes : (atEnd ? Next::EndOfFile : Next::MoreText), error))
                return false;
            lineEnds += ends;
            if (bad >= 0) {
                error.message =
                    LineError(fileName, lineEnds + 1, QStringLiteral("not valid %1 text").arg(otherName));
                return false;
            }
            continue;
        }
        const Utf8Prefix prefix = WellFormedUtf8(bytes, atEnd);
        const QByteArrayView text = QByteArrayView(bytes).first(prefix.valid);
        // The text before bad bytes is parsed first: a problem in it comes first in the file.
        if (!parser.Feed(utf8(text),
                         prefix.invalid ? Next::BadBytes : (atEnd ? Next::EndOfFile : Next::MoreText), error))
            return false;
        lineEnds += std::count(text.begin(), text.end(), '\n');
        if (prefix.invalid) {
            // The guess reads the same bytes however the file came in chunks: a sample from the
            // first bad byte on, read further when the chunk ended sooner.
            while (bytes.size() - prefix.valid < kEncodingSample) {
                const qsizetype had = bytes.size();
                if (!read(kEncodingSample - (bytes.size() - prefix.valid), bytes) || bytes.size() == had)
                    break;
            }
            const QString likely = LikelyEncoding(QByteArrayView(bytes).sliced(prefix.valid));
            error.message = LineError(fileName, lineEnds + 1,
                                      QStringLiteral("not valid UTF-8 text; it is most likely %1: give "
                                                     "--encoding %1 (or the encoding the file was saved in)")
                                          .arg(likely));
            return false;
        }
        bytes.remove(0, prefix.valid);
    }
    return done(true);
}

CsvRecordSink Collect(CsvTable& table) {
    table = CsvTable{};
    return [&table](QStringList& fields) {
        table.maxFields = std::max(table.maxFields, static_cast<int>(fields.size()));
        table.rows.push_back(std::move(fields));
    };
}

} // namespace

QChar SniffDelimiter(const QString& text) {
    return SeparatorGuess::From(text, true)->separator;
}

bool ParseCsvBytes(QByteArrayView bytes, const QString& fileName, const CsvRecordSink& sink, CsvError& error,
                   QChar delimiter, qsizetype chunkBytes) {
    qsizetype offset = 0;
    const ByteSource read = [&](qsizetype most, QByteArray& out) {
        const qsizetype taken = std::min(most, bytes.size() - offset);
        out.append(bytes.sliced(offset, taken));
        offset += taken;
        return true;
    };
    return ParseStream(read, fileName, sink, error, CsvFormat{delimiter, QChar(), QString()}, chunkBytes,
                       nullptr);
}

bool ParseCsvBytes(QByteArrayView bytes, const QString& fileName, CsvTable& table, CsvError& error,
                   QChar delimiter) {
    if (!ParseCsvBytes(bytes, fileName, Collect(table), error, delimiter)) {
        table = CsvTable{};
        return false;
    }
    return true;
}

bool ReadCsvFile(const QString& path, const CsvRecordSink& sink, CsvError& error, QChar delimiter,
                 qsizetype chunkBytes) {
    return ReadCsvFile(path, sink, CsvFormat{delimiter, QChar(), QString()}, error, nullptr, chunkBytes);
}

bool ReadCsvFile(const QString& path, const CsvRecordSink& sink, const CsvFormat& format, CsvError& error,
                 QString* note, qsizetype chunkBytes) {
    QFile file(path);
    const auto cannotRead = [&] {
        error.message = QStringLiteral("%1: cannot read: %2").arg(path, file.errorString());
        return false;
    };
    if (!file.open(QIODevice::ReadOnly))
        return cannotRead();
    // Read with read(2), not mapped: the file's pages stay in the page cache, out of this
    // process's resident memory.
    const ByteSource read = [&](qsizetype most, QByteArray& bytes) {
        const qsizetype held = bytes.size();
        bytes.resize(held + most);
        const qint64 got = file.read(bytes.data() + held, most);
        if (got < 0 || file.error() != QFileDevice::NoError)
            return cannotRead();
        bytes.resize(held + static_cast<qsizetype>(got));
        return true;
    };
    return ParseStream(read, path, sink, error, format, chunkBytes, note);
}

bool ReadCsvFile(const QString& path, CsvTable& table, CsvError& error, QChar delimiter) {
    if (!ReadCsvFile(path, Collect(table), error, delimiter)) {
        table = CsvTable{};
        return false;
    }
    return true;
}

} // namespace telmo::app
