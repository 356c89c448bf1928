#include "component/JobState.h"
#include "component/ReportError.h"
#include "platform/MessageBox.h"
#include "platform/RuntimeError.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <new>
#include <stdexcept>

namespace telmo {
namespace {

struct Shown {
    QString text;
    QString title;
    int style = 0;
};

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// The log lines of a file, each still with its CR LF.
QList<QByteArray> Lines(const QByteArray& content) {
    QList<QByteArray> lines;
    qsizetype start = 0;
    while (start < content.size()) {
        const qsizetype end = content.indexOf("\r\n", start);
        if (end < 0) {
            lines.append(content.mid(start));
            break;
        }
        lines.append(content.mid(start, end + 2 - start));
        start = end + 2;
    }
    return lines;
}

class ReportErrorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        logPath = dir.filePath("errors.log");
        State().CurrentAction = QString();
        State().ErrorLogFilePath = logPath;
        MessageBox::SetSink([this](const QString& text, const QString& title, int style) {
            shown.push_back({text, title, style});
            logAtMessageTime.push_back(ReadAll(logPath));
        });
    }
    void TearDown() override {
        MessageBox::SetSink(nullptr);
        State().CurrentAction = QString();
        State().ErrorLogFilePath = QString();
    }

    QTemporaryDir dir;
    QString logPath;
    std::vector<Shown> shown;
    std::vector<QByteArray> logAtMessageTime;
};

TEST_F(ReportErrorTest, MessageBoxTextAndTitle) {
    State().CurrentAction = "print";
    ReportError("13", "Type mismatch", "9007.CopyGrid");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, QStringLiteral("Unable to print\r\nError: 13 - Type mismatch"));
    EXPECT_EQ(shown[0].title, QStringLiteral("TELMO Preview"));
    EXPECT_EQ(shown[0].style, 64);
}

TEST_F(ReportErrorTest, BeforeAnyRunTheActionIsEmpty) {
    ReportError("482", "Printer error", "9000.IsDefaultPrinter");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, QStringLiteral("Unable to \r\nError: 482 - Printer error"));
}

TEST_F(ReportErrorTest, LogLineFormat) {
    State().CurrentAction = "show preview";
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    ReportError("9", "Subscript out of range", "9003.Load");
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);

    const QByteArray content = ReadAll(logPath);
    ASSERT_TRUE(content.endsWith("\r\n"));
    const QList<QByteArray> lines = Lines(content);
    ASSERT_EQ(lines.size(), 1);
    const QList<QByteArray> fields = lines[0].chopped(2).split('\t');
    ASSERT_EQ(fields.size(), 4) << content.constData();
    EXPECT_EQ(fields[1], "PrinterComponent.9003.Load");
    EXPECT_EQ(fields[2], "9");
    EXPECT_EQ(fields[3], "Subscript out of range");

    // The date: the locale's short date and its long time without zone (at midnight exactly,
    // the date alone).
    const QLocale locale = QLocale::system();
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(QLatin1Char('t'));
    timeFormat = timeFormat.simplified();
    const QString dateText = QString::fromLocal8Bit(fields[0]);
    QDateTime stamp = locale.toDateTime(dateText, locale.dateFormat(QLocale::ShortFormat) + ' ' + timeFormat);
    if (!stamp.isValid())
        stamp = QDateTime(locale.toDate(dateText, QLocale::ShortFormat), QTime(0, 0));
    ASSERT_TRUE(stamp.isValid()) << dateText.toStdString();
    // A two-digit year reads as 19xx in Qt; compare within the century.
    if (stamp.date().year() < before.date().year() - 50)
        stamp = stamp.addYears(100);
    EXPECT_GE(stamp, before.addSecs(-1)) << dateText.toStdString();
    EXPECT_LE(stamp, after) << dateText.toStdString();
}

TEST_F(ReportErrorTest, TheMessageComesBeforeTheLogLine) {
    ReportError("6", "Overflow", "9004.Timer");
    ASSERT_EQ(logAtMessageTime.size(), 1u);
    EXPECT_TRUE(logAtMessageTime[0].isEmpty());
    EXPECT_EQ(Lines(ReadAll(logPath)).size(), 1);
}

TEST_F(ReportErrorTest, TwoErrorsAppendTwoLinesInOrderAfterWhatWasThere) {
    {
        QFile file(logPath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("earlier line\r\n");
    }
    ReportError("6", "Overflow", "9007.PrintPageNo");
    ReportError("11", "Division by zero", "9007.CalculageDataInfoForPage");
    const QList<QByteArray> lines = Lines(ReadAll(logPath));
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], "earlier line\r\n");
    EXPECT_TRUE(lines[1].endsWith("\tPrinterComponent.9007.PrintPageNo\t6\tOverflow\r\n"))
        << lines[1].constData();
    EXPECT_TRUE(
        lines[2].endsWith("\tPrinterComponent.9007.CalculageDataInfoForPage\t11\tDivision by zero\r\n"))
        << lines[2].constData();
    EXPECT_EQ(shown.size(), 2u);
}

TEST_F(ReportErrorTest, ALogPathThatIsADirectoryIsSaidOnceOnStderr) {
    State().ErrorLogFilePath = dir.path();
    testing::internal::CaptureStderr();
    ReportError("5", "Invalid procedure call or argument", "9006.ShowPrinterDlg");
    ReportError("5", "Invalid procedure call or argument", "9006.ShowPrinterDlg");
    const std::string err = testing::internal::GetCapturedStderr();
    // The user was told both times.
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].text, QStringLiteral("Unable to \r\nError: 5 - Invalid procedure call or argument"));
    const std::string path = dir.path().toStdString();
    const size_t first = err.find(path);
    ASSERT_NE(first, std::string::npos) << err;
    EXPECT_EQ(err.find(path, first + path.size()), std::string::npos) << err;
    EXPECT_NE(err.find("error log"), std::string::npos) << err;
}

TEST_F(ReportErrorTest, AMissingFolderAndAFullDeviceAreSaidOncePerPath) {
    const QString missing = dir.filePath("no/such/folder/errors.log");
    State().ErrorLogFilePath = missing;
    testing::internal::CaptureStderr();
    ReportError("53", "File not found", "9007.PrintAllPages");
    ReportError("53", "File not found", "9007.PrintAllPages");
    State().ErrorLogFilePath = "/dev/full"; // opens, then every write fails
    ReportError("53", "File not found", "9007.PrintAllPages");
    ReportError("53", "File not found", "9007.PrintAllPages");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(shown.size(), 4u);
    EXPECT_FALSE(QFile::exists(missing));
    const auto count = [&](const std::string& needle) {
        int n = 0;
        for (size_t at = err.find(needle); at != std::string::npos; at = err.find(needle, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(count("\"" + missing.toStdString() + "\""), 1) << err;
    EXPECT_EQ(count("\"/dev/full\""), 1) << err;
}

TEST_F(ReportErrorTest, AnEmptyLogPathWritesNothingAndSaysNothing) {
    State().ErrorLogFilePath = QString();
    testing::internal::CaptureStderr();
    ReportError("7", "Out of memory", "9003.Activate");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(shown.size(), 1u);
    EXPECT_TRUE(err.empty()) << err;
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(ReportErrorTest, CurrentRuntimeErrorIsReportedWithItsSource) {
    State().CurrentAction = "print";
    try {
        throw RuntimeError(err::kTypeMismatch);
    } catch (...) {
        ReportCurrentException(module::kGeneral, ".CopyGrid");
    }
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, QStringLiteral("Unable to print\r\nError: 13 - Type mismatch"));
    const QList<QByteArray> lines = Lines(ReadAll(logPath));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].endsWith("\tPrinterComponent.9007.CopyGrid\t13\tType mismatch\r\n"))
        << lines[0].constData();
}

TEST_F(ReportErrorTest, CurrentRuntimeErrorKeepsItsOwnDescription) {
    try {
        throw RuntimeError(err::kPrinterError, "Printer error: no printer named \"x\"");
    } catch (const RuntimeError&) {
        ReportCurrentException(module::kPrintDialog, ".ShowPrinterDlg");
    }
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text,
              QStringLiteral("Unable to \r\nError: 482 - Printer error: no printer named \"x\""));
}

TEST_F(ReportErrorTest, OutOfMemoryAndOtherExceptions) {
    try {
        throw std::bad_alloc();
    } catch (...) {
        ReportCurrentException(module::kPrintStatus, ".Timer");
    }
    try {
        throw std::runtime_error("disk on fire");
    } catch (...) {
        ReportCurrentException(module::kPreview, ".Load");
    }
    try {
        throw 42;
    } catch (...) {
        ReportCurrentException(module::kPreview, "Activate"); // the point is added
    }
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].text, QStringLiteral("Unable to \r\nError: 7 - Out of memory"));
    EXPECT_EQ(shown[1].text, QStringLiteral("Unable to \r\nError: 440 - disk on fire"));
    EXPECT_EQ(shown[2].text, QStringLiteral("Unable to \r\nError: 440 - Automation error"));
    const QList<QByteArray> lines = Lines(ReadAll(logPath));
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].endsWith("\tPrinterComponent.9004.Timer\t7\tOut of memory\r\n"))
        << lines[0].constData();
    EXPECT_TRUE(lines[1].endsWith("\tPrinterComponent.9003.Load\t440\tdisk on fire\r\n"))
        << lines[1].constData();
    EXPECT_TRUE(lines[2].endsWith("\tPrinterComponent.9003.Activate\t440\tAutomation error\r\n"))
        << lines[2].constData();
}

TEST_F(ReportErrorTest, OutsideAHandlerNothingIsReported) {
    ReportCurrentException(module::kGeneral, ".CopyGrid");
    EXPECT_TRUE(shown.empty());
    EXPECT_FALSE(QFile::exists(logPath));
}

// ---- the message box binding ----------------------------------------------------------------

TEST(MessageBoxTest, BatchModeWritesTitleAndTextToStderr) {
    MessageBox::SetSink(nullptr);
    // The tests run offscreen with TELMO_BATCH set: no box could be closed by anyone.
    EXPECT_TRUE(MessageBox::IsBatchMode());
    testing::internal::CaptureStderr();
    MessageBox::Show("Please Assign the Source Grid to print or preview", "TELMO Preview", 64);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "TELMO Preview: Please Assign the Source Grid to print or preview\n");
}

TEST(MessageBoxTest, ForcedBatchModeAndSink) {
    MessageBox::SetBatchMode(true);
    EXPECT_TRUE(MessageBox::IsBatchMode());
    MessageBox::SetBatchMode(false);
    std::vector<Shown> got;
    MessageBox::SetSink([&](const QString& text, const QString& title, int style) {
        got.push_back({text, title, style});
    });
    testing::internal::CaptureStderr();
    MessageBox::Show("a", "b", 48);
    const std::string err = testing::internal::GetCapturedStderr();
    MessageBox::SetSink(nullptr);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].text, QStringLiteral("a"));
    EXPECT_EQ(got[0].title, QStringLiteral("b"));
    EXPECT_EQ(got[0].style, 48);
    // A sink takes the message instead of stderr.
    EXPECT_TRUE(err.empty()) << err;
}

} // namespace
} // namespace telmo
