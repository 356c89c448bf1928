#include "component/JobState.h"
#include "component/ReportError.h"
#include "platform/RuntimeError.h"
#include "platform/ui/MessageBox.h"
#include "support/CommandRun.h"

#include <QDateTime>
#include <QDir>
#include <QLocale>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <stdexcept>

namespace telmo {
namespace {

using test::ReadFile;

// The log split at CR LF: a log whose every line ends in CR LF ends in an empty element.
QStringList Lines(const QString& path) {
    return QString::fromLocal8Bit(ReadFile(path)).split("\r\n");
}

class ReportErrorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        logPath = dir.filePath("errors.log");
        State().CurrentAction = QString();
        State().ErrorLogFilePath = logPath;
        MessageBox::SetSink([this](const QString& text, const QString&, int) {
            shown << text;
            logAtMessageTime.push_back(ReadFile(logPath));
        });
    }
    void TearDown() override { MessageBox::SetSink(nullptr); }

    QTemporaryDir dir;
    QString logPath;
    QStringList shown;
    std::vector<QByteArray> logAtMessageTime;
};

// An empty path asks for no log; the others cannot be written (/dev/full opens, then writes fail).
TEST_F(ReportErrorTest, AnUnwritableLogIsSaidOncePerPathAndTheUserIsStillTold) {
    const QString missing = dir.filePath("no/such/folder/errors.log");
    testing::internal::CaptureStderr();
    for (const QString& path : QStringList{QString(), dir.path(), missing, "/dev/full"}) {
        State().ErrorLogFilePath = path;
        ReportError("53", "File not found", "9007.PrintAllPages");
        ReportError("53", "File not found", "9007.PrintAllPages");
    }
    const QString err = QString::fromStdString(testing::internal::GetCapturedStderr());
    ASSERT_EQ(shown.size(), 8u);
    EXPECT_EQ(shown[7], "Unable to \r\nError: 53 - File not found");
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty() && !QFile::exists(missing));
    for (const QString& path : QStringList{dir.path(), missing, "/dev/full"})
        EXPECT_EQ(err.count('"' + path + '"'), 1) << err.toStdString();
    EXPECT_EQ(err.count("error log"), 3) << err.toStdString();
}

// The exception's number and description are shown, then appended to the log with its source after what
// was there, dated with the locale's short date and long time without zone (at midnight, the date alone).
TEST_F(ReportErrorTest, TheCurrentExceptionIsShownThenLoggedAfterTheEarlierLinesWithItsSource) {
    ReportCurrentException(module::kGeneral, ".CopyGrid"); // outside a handler: nothing
    EXPECT_TRUE(shown.empty());
    const struct {
        std::function<void()> raise;
        const char* module;
        const char* source;
        QString logged; // the message box shows number - description
    } cases[] = {
        {[] { throw RuntimeError(err::kPrinterError, "Printer error: no printer"); }, module::kPrintDialog,
         ".ShowPrinterDlg", "9006.ShowPrinterDlg\t482\tPrinter error: no printer"},
        {[] { throw std::bad_alloc(); }, module::kPrintStatus, ".Timer", "9004.Timer\t7\tOut of memory"},
        {[] { throw std::runtime_error("disk on fire"); }, module::kPreview, ".Load",
         "9003.Load\t440\tdisk on fire"},
        {[] { throw 42; }, module::kPreview, "Activate",
         "9003.Activate\t440\tAutomation error"}, // the point is added
    };
    State().CurrentAction = "print";
    test::WriteFile(logPath, "earlier line\r\n");
    const QDateTime before = QDateTime::currentDateTime().addSecs(-2);
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].source);
        const QByteArray earlier = ReadFile(logPath);
        try {
            cases[i].raise();
        } catch (...) {
            ReportCurrentException(cases[i].module, cases[i].source);
        }
        ASSERT_EQ(shown.size(), i + 1);
        EXPECT_EQ(logAtMessageTime[i], earlier) << "the message comes before its line";
        const QStringList fields = cases[i].logged.split('\t');
        EXPECT_EQ(shown[i], "Unable to print\r\nError: " + fields[1] + " - " + fields[2]);
        const QStringList lines = Lines(logPath);
        ASSERT_EQ(lines.size(), static_cast<qsizetype>(i + 3));
        EXPECT_EQ(std::pair(lines[0], lines[i + 1].section('\t', 1)),
                  std::pair(QString("earlier line"), "PrinterComponent." + cases[i].logged));
    }
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);
    const QLocale locale = QLocale::system();
    const QString dateText = Lines(logPath)[1].section('\t', 0, 0);
    const QString timeFormat = locale.timeFormat(QLocale::LongFormat).remove(QLatin1Char('t')).simplified();
    QDateTime stamp = locale.toDateTime(dateText, locale.dateFormat(QLocale::ShortFormat) + ' ' + timeFormat);
    if (!stamp.isValid())
        stamp = QDateTime(locale.toDate(dateText, QLocale::ShortFormat), QTime(0, 0));
    if (stamp.isValid() && stamp.date().year() < before.date().year() - 50) // a two-digit year reads as 19xx
        stamp = stamp.addYears(100);
    EXPECT_TRUE(stamp >= before && stamp <= after) << dateText.toStdString();
}

TEST(MessageBoxTest, WithoutASinkBatchModeWritesTitleAndTextToStderr) {
    MessageBox::SetSink(nullptr);
    ASSERT_TRUE(MessageBox::IsBatchMode()); // the tests run offscreen with TELMO_BATCH set
    testing::internal::CaptureStderr();
    MessageBox::Show("Please Assign the Source Grid to print or preview", "TELMO Preview", 64);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "TELMO Preview: Please Assign the Source Grid to print or preview\n");
}

} // namespace
} // namespace telmo
