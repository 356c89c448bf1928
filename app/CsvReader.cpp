#include "app/CsvReader.h"

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

QString LineError(const QString& fileName, qsizetype line, const QString& what) {
    return QStringLiteral("%1:%2: %3").arg(fileName).arg(line).arg(what);
}

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

// What comes after a piece of text handed to the parser.
enum class Next {
    MoreText,  // the rest of the file
    EndOfFile, // nothing
    BadBytes,  // bytes that are not text: the records complete so far are all there are
};

// Parses text as it arrives, record by record. A record cut off by the end of a piece is
// parsed again from its start once more text has come: only it is held between pieces.
class RecordParser {
public:
    RecordParser(const QString& fileName, const CsvRecordSink& sink, const CsvFormat& format)
        : fileName_(fileName), sink_(sink), delimiter_(format.delimiter), comment_(format.comment) {}

    bool Feed(QString text, Next next, CsvError& error) {
        if (buffer_.isEmpty())
            buffer_ = std::move(text);
        else
            buffer_ += text;
        if (delimiter_.isNull()) {
            // A text that never reaches the lines looked at is guessed from what came, so
            // that the limit on one record still holds while guessing.
            const std::optional<SeparatorGuess> guess = SeparatorGuess::From(
                buffer_, next != Next::MoreText || buffer_.size() > kCsvMostRecordChars, comment_);
            if (!guess)
                return true;
            delimiter_ = guess->separator;
            separatorNote_ = guess->Note(fileName_);
        }
        const bool atEnd = next == Next::EndOfFile;
        while (start_ < buffer_.size()) {
            const Step step = ParseRecord(atEnd, error);
            if (step == Step::Failed)
                return false;
            // Held for want of its end, a record past the limit goes no further.
            if (step == Step::NeedMore && Pending() > kCsvMostRecordChars) {
                TooLong(error);
                return false;
            }
            if (step == Step::NeedMore)
                break;
        }
        DropParsed();
        if (atEnd && records_ == 0) {
            error.message = LineError(fileName_, 1, QStringLiteral("the file holds no rows"));
            return false;
        }
        return true;
    }

    // Characters held for the record not yet complete (or for guessing the separator).
    qsizetype Pending() const { return buffer_.size() - start_; }
    // When the separator guessed was a close call, what was chosen and how to choose the other.
    const QString& SeparatorNote() const { return separatorNote_; }

private:
    enum class Step { Parsed, NeedMore, Failed };

    Step Fail(qsizetype line, const QString& what, CsvError& error) const {
        error.message = LineError(fileName_, line, what);
        // A line that starts with # is most often a comment, which CSV does not have.
        if (comment_.isNull() && start_ < buffer_.size() && buffer_[start_] == u'#')
            error.message += QStringLiteral("; line %1 starts with #: if such lines are comments, give "
                                            "--comment '#' to skip them")
                                 .arg(line_);
        return Step::Failed;
    }

    // Lets go of the text before start_. After a long record the room it took is given back,
    // not kept for the rest of the file.
    void DropParsed() {
        if (buffer_.capacity() > 2 * (buffer_.size() - start_) + 2 * kCsvChunkBytes)
            buffer_ = buffer_.sliced(start_);
        else
            buffer_.remove(0, start_);
        start_ = 0;
    }

    // A record longer than the limit is refused before more of it is held.
    Step TooLong(CsvError& error) const {
        return Fail(line_,
                    QStringLiteral("a field or record of more than %1 MB (from this line on); a table "
                                   "of text has none this long: is this the right file?")
                        .arg(kCsvMostRecordChars >> 20),
                    error);
    }

    // Whether a line break outside quotes follows start_, with a character after it (which
    // tells a CRLF from a CR).
    // A quote out of place also counts: the parser tells it.
    bool EndInSight() const {
        const QChar* const data = buffer_.constData();
        bool quoted = false, fieldStart = true;
        for (qsizetype i = start_; i + 1 < buffer_.size(); ++i) {
            const QChar ch = data[i];
            if (quoted) {
                if (ch == u'"' && data[i + 1] == u'"')
                    ++i;
                else if (ch == u'"')
                    quoted = false;
                continue;
            }
            if (ch == u'"' && !fieldStart)
                return true;
            if (ch == u'\n')
                return true;
            quoted = ch == u'"';
            fieldStart = ch == delimiter_;
        }
        return false;
    }

    // A comment line at start_: skipped whole, or NeedMore while its end has not come.
    Step SkipComment(bool atEnd) {
        const qsizetype end = buffer_.indexOf(u'\n', start_);
        if (end < 0 && !atEnd)
            return Step::NeedMore;
        start_ = end < 0 ? buffer_.size() : end + 1;
        ++line_;
        return Step::Parsed;
    }

    // The record that starts at start_. Before the end of the file, running out of text
    // anywhere in it, or right after a quote or a carriage return, which the next character
    // gives their meaning, is no error: the record waits for more.
    Step ParseRecord(bool atEnd, CsvError& error) {
        if (!comment_.isNull() && buffer_[start_] == comment_)
            return SkipComment(atEnd);
        // A record whose end has not come is not parsed into fields yet: a long one would be
        // built again and dropped with each chunk.
        if (!atEnd && !EndInSight())
            return Step::NeedMore;
        const QChar* const data = buffer_.constData();
        const qsizetype n = buffer_.size();
        const QChar delimiter = delimiter_;
        qsizetype i = start_;
        qsizetype line = line_;
        QStringList fields;
        bool recordOpen = false; // something of the record has been read
        for (;;) {
            // One field, from i.
            QString field;
            bool quotedField = false;
            if (i < n && data[i] == u'"') {
                quotedField = true;
                const qsizetype quoteLine = line;
                ++i;
                for (;;) {
                    if (i >= n) {
                        if (!atEnd)
                            return Step::NeedMore;
                        return Fail(quoteLine, QStringLiteral("quoted field is not closed"), error);
                    }
                    // Copy the run up to the next quote or line break in one piece.
                    qsizetype end = i;
                    while (end < n && data[end] != u'"' && data[end] != u'\n' && data[end] != u'\r')
                        ++end;
                    field.append(data + i, end - i);
                    i = end;
                    if (i >= n)
                        continue;
                    if (i + 1 >= n && !atEnd)
                        return Step::NeedMore;
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
                if (end >= n && !atEnd)
                    return Step::NeedMore;
                if (end < n && data[end] == u'"')
                    return Fail(line, QStringLiteral("quote inside an unquoted field"), error);
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
            if (i == n - 1 && data[i] == u'\r' && !atEnd)
                return Step::NeedMore;
            bool lineEnd = false;
            if (i < n && data[i] == u'\r' && i + 1 < n && data[i + 1] == u'\n') {
                i += 2;
                lineEnd = true;
            } else if (i < n && data[i] == u'\n') {
                ++i;
                lineEnd = true;
            } else if (i < n) {
                return Fail(line, QStringLiteral("unexpected character after a closing quote"), error);
            }
            if (i - start_ > kCsvMostRecordChars)
                return TooLong(error);
            // Lines that hold nothing at all at the end of the file are what editors leave
            // behind, not records; a blank line between records is an empty record. Blank
            // records wait until a record with something in it shows they are not at the end.
            start_ = i;
            line_ = lineEnd ? line + 1 : line;
            if (blank) {
                if (lineEnd)
                    ++blanksWaiting_;
            } else {
                for (; blanksWaiting_ > 0; --blanksWaiting_, ++records_) {
                    QStringList empty{QString()};
                    sink_(empty);
                }
                // The text of a long record goes before its fields are handed on, so that
                // the sink's copy of them is the only other one held.
                if (start_ > kCsvChunkBytes)
                    DropParsed();
                sink_(fields);
                ++records_;
            }
            return Step::Parsed;
        }
    }

    const QString& fileName_;
    const CsvRecordSink& sink_;
    QChar delimiter_; // null until guessed from the first lines
    const QChar comment_;
    QString separatorNote_;
    QString buffer_; // text from the start of the record being read
    qsizetype start_ = 0;
    qsizetype line_ = 1; // of the record at start_
    size_t blanksWaiting_ = 0;
    size_t records_ = 0;
};

// Appends up to `most` further bytes of a file to bytes (none at its end); false when it
// cannot be read, with the error told.
using ByteSource = std::function<bool(qsizetype most, QByteArray& bytes)>;

// The encoding text that is not UTF-8 most likely has, by what its bytes look like: many zero
// bytes are UTF-16 without its mark; bytes from 0x80 to 0x9F are printable only in the
// Windows code page; any other byte above 0x7F reads as Latin-1.
QString LikelyEncoding(QByteArrayView bytes) {
    const QByteArrayView sample = bytes.first(std::min<qsizetype>(bytes.size(), 1 << 16));
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
            if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
                otherName =
                    bytes.startsWith("\xFF\xFE") ? QStringLiteral("UTF-16LE") : QStringLiteral("UTF-16BE");
                other.emplace(otherName.toLatin1().constData());
                bytes.remove(0, 2);
            }
            // A byte order mark is how some programs say UTF-8 (and some say it twice, having
            // added one to a file that had one); marks at the very start are no part of the
            // first field.
            while (!other && bytes.startsWith(mark))
                bytes.remove(0, mark.size());
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
