#include "component/ReportError.h"

#include "component/JobState.h"
#include "platform/ControlCharacters.h"
#include "platform/RuntimeError.h"
#include "platform/ui/MessageBox.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QMutex>
#include <QSet>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

namespace telmo {

namespace {

// A C++ exception that is neither a RuntimeError nor an allocation failure comes from code
// below the component (Qt, the standard library): to the host it is a failure inside an object
// the component called, which automation reports as "Automation error".
constexpr int32_t kAutomationError = 440;

// The time format of the locale without its time zone field: the general date format the log
// uses shows the local time and no zone.
QString TimeFormatWithoutZone(const QLocale& locale) {
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString result;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char('t'))
            continue;
        result += c;
    }
    return result.simplified();
}

// The current local date and time in the general date format of the user's locale: the short
// date, a space and the long time (without zone), e.g. "6 Dec 2026 11:55:17" in the C locale or
// "06.12.26 11:55:17" in a German one. At midnight exactly the general format shows the date
// alone.
QString GeneralDateNow() {
    const QLocale locale = QLocale::system();
    const QDateTime now = QDateTime::currentDateTime();
    const QString date = locale.toString(now.date(), QLocale::ShortFormat);
    const QTime time = now.time();
    if (time.hour() == 0 && time.minute() == 0 && time.second() == 0)
        return date;
    return date + QLatin1Char(' ') + locale.toString(time, TimeFormatWithoutZone(locale));
}

// The host is never ended by its log: the user has already seen the message box, so a log
// that cannot be written is said once per path and process on standard error.
void WarnLogUnwritable(const QString& path, const QString& reason) {
    static QMutex mutex;
    static QSet<QString> warned;
    {
        QMutexLocker lock(&mutex);
        if (warned.contains(path))
            return;
        warned.insert(path);
    }
    const QByteArray text =
        QStringLiteral("TELMO Preview: cannot write the error log file \"%1\" (%2); errors "
                       "are not logged there.\n")
            .arg(path, reason)
            .toLocal8Bit();
    std::fputs(text.constData(), stderr);
    std::fflush(stderr);
}

void AppendLogLine(const QString& path, const QString& line) {
    // No log path: the host has not asked for a log, which is no failure.
    if (path.isEmpty())
        return;
    // The C library's append mode, because QFile seeks to the end first and warns about
    // devices that cannot seek (a pipe, /dev/full) on every error.
    std::FILE* file = std::fopen(QFile::encodeName(path).constData(), "ab");
    if (file == nullptr) {
        WarnLogUnwritable(path, QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    // The host's own text files are in the local 8-bit encoding.
    const QByteArray bytes = line.toLocal8Bit();
    const bool written = std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), file) ==
                         static_cast<size_t>(bytes.size());
    const int writeErrno = errno;
    // Closing flushes: a full disk shows here at the latest.
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed)
        WarnLogUnwritable(path, QString::fromLocal8Bit(std::strerror(written ? errno : writeErrno)));
}

} // namespace

void ReportError(const QString& number, const QString& description, const QString& source) {
    JobState& state = State();
    ++state.ErrorsReported;
    const QString crlf = QStringLiteral("\r\n");
    // The message box always comes first, so the user is told even when the log fails.
    try {
        MessageBox::Show(QStringLiteral("Unable to ") + state.CurrentAction + crlf +
                             QStringLiteral("Error: ") + number + QStringLiteral(" - ") + description,
                         QStringLiteral("TELMO Preview"), MessageBox::kInformation);
    } catch (...) {
        // A message box that cannot be shown must not keep the error from the log.
    }
    try {
        const QChar tab = QLatin1Char('\t');
        // A file name in the description may hold a line break or a tab: the line stays one line
        // of four fields.
        AppendLogLine(state.ErrorLogFilePath, GeneralDateNow() + tab + QStringLiteral("PrinterComponent.") +
                                                  source + tab + number + tab +
                                                  QuoteControlCharacters(description) + crlf);
    } catch (...) {
        // Out of memory while logging: the user has been told; nothing more can be done.
    }
}

void ReportCurrentException(const char* moduleNumber, const char* procedure) {
    const std::exception_ptr current = std::current_exception();
    // Called outside a handler there is no error to report.
    if (!current)
        return;
    try {
        int32_t number = kAutomationError;
        QString description;
        try {
            std::rethrow_exception(current);
        } catch (const RuntimeError& e) {
            number = e.Number();
            description = e.Description();
        } catch (const std::bad_alloc&) {
            number = err::kOutOfMemory;
            description = StandardErrorText(err::kOutOfMemory);
        } catch (const std::exception& e) {
            description = QString::fromLocal8Bit(e.what());
            if (description.isEmpty())
                description = QStringLiteral("Automation error");
        } catch (...) {
            description = QStringLiteral("Automation error");
        }
        QString name = QString::fromUtf8(procedure != nullptr ? procedure : "");
        // The procedure name follows the module number with a leading point.
        if (!name.startsWith(QLatin1Char('.')))
            name.prepend(QLatin1Char('.'));
        ReportError(QString::number(number), description,
                    QString::fromLatin1(moduleNumber != nullptr ? moduleNumber : "") + name);
    } catch (...) {
        // Building the texts ran out of memory; the reporting routine must not throw.
    }
}

} // namespace telmo
