#pragma once

#include "app/CsvReader.h"
#include "app/SeparatorGuess.h"

#include <QString>
#include <optional>

namespace telmo::app::csv {

// A problem in a file, as the user is told it: file name, line number and what is wrong.
inline QString LineError(const QString& fileName, qsizetype line, const QString& what) {
    return QStringLiteral("%1:%2: %3").arg(fileName).arg(line).arg(what);
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
                // Grown by appending, a long field has room to spare; the grid keeps the
                // string itself, so the room goes now.
                if (field.capacity() > field.size() + field.size() / 2)
                    field.squeeze();
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

} // namespace telmo::app::csv
