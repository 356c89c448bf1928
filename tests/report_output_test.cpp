// The built telmo-report writing PDFs that cannot be written, or not to the end: the user is told
// once, naming the file, and nothing at the target path looks like a finished report.
#include "platform/ControlCharacters.h"
#include "support/CommandRun.h"
#include "support/PdfText.h"
#include "support/PrivateCups.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

using namespace telmo::test;

namespace {

constexpr int kOk = 0, kReported = 1;

class ReportOutputTest : public ::testing::Test {
protected:
    QString Path(const QString& name) const { return dir.filePath(name); }
    // Without XDG_RUNTIME_DIR, as from a shell without one: Qt's note about it stays away.
    QProcessEnvironment Environment() const { return CommandEnvironment(dir.path(), false); }
    RunResult Run(const QStringList& arguments) {
        return RunProgram(TELMO_REPORT_BINARY, arguments, Environment());
    }
    static QStringList Leftovers(const QString& folder) { // the temporary files a run may leave
        return QDir(folder).entryList({"*.part"}, QDir::Files | QDir::Hidden);
    }
    // A failed print: exit 1, one line naming the file and the reason, nothing else on stderr.
    void ExpectToldOnce(const RunResult& r, const QString& target, const QString& reason) {
        EXPECT_EQ(r.exitCode, kReported) << S(r.err);
        const QString told = "cannot write \"" + telmo::QuoteControlCharacters(target) + "\": " + reason;
        EXPECT_EQ(r.err.count(told), 1) << S(r.err);
        EXPECT_EQ(r.err.count(reason), 1) << "the reason is named once:\n" << S(r.err);
        EXPECT_EQ(r.err.count('\n'), 1) << "one line on stderr:\n" << S(r.err);
    }

    QTemporaryDir dir;
};

} // namespace

// Where nothing can be written: told at the first page, no file made, no temporary file left.
TEST_F(ReportOutputTest, ATargetThatCannotBeWrittenIsNamedOnceAndGetsNothing) {
    const QString csv = WriteFile(Path("t.csv"), TableCsv(400, 3));
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path("fifo")).constData(), 0600), 0);
    // clang-format off
    const std::vector<std::pair<QString, QString>> cases = { // target, reason
        {"/dev/full", "it is a device or socket, not a regular file"},
        {Path("fifo"), "it is a pipe (FIFO), not a regular file"}, // nobody reads it: never opened
        {Path("no/out.pdf"), "No such file or directory"},
        {Path("no\n\x1b[2Jx/out.pdf"), "No such file or directory"}, // told on one plain line
        {csv + "/out.pdf", "Not a directory"},               // under a file
        {dir.path(), "it is a folder"},
    };
    // clang-format on
    for (const auto& [target, reason] : cases) {
        SCOPED_TRACE(S(target));
        const RunResult r = Run({csv, "--pdf", target});
        ExpectToldOnce(r, target, reason);
        EXPECT_FALSE(QFileInfo(target).isFile());
    }
    EXPECT_TRUE(Leftovers(dir.path()).isEmpty()) << S(Leftovers(dir.path()).join(' '));
    // Under the longest name allowed it prints; a temporary file left by a killed run goes.
    const QString longest = Path(QString(251, 'n') + ".pdf");
    WriteFile(longest.left(longest.size() - 21) + ".7ffffffe-abcdef.part", "left by a killed run");
    const RunResult r = Run({csv, "--pdf", longest});
    EXPECT_EQ(r.exitCode, kOk) << S(r.err);
    EXPECT_GT(ReadPdf(longest).pages, 1);
    EXPECT_TRUE(Leftovers(dir.path()).isEmpty()) << S(Leftovers(dir.path()).join(' '));
}

// A disk that fills after some pages: the page named, the partial file removed, an earlier report
// kept; the error log on the same full disk is told once, after the error it could not log.
TEST_F(ReportOutputTest, ADiskThatFillsMidRunLeavesNoHalfReportAndTellsItOnce) {
    const QString csv = WriteFile(Path("t.csv"), TableCsv(3000, 3)), disk = Path("disk");
    QDir().mkpath(disk); // a small filesystem of its own; without the privileges to mount, skipped
    const RunResult mount = RunProgram("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", disk},
                                       QProcessEnvironment::systemEnvironment());
    if (mount.exitCode != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root): " << S(mount.err);
    const auto unmount = qScopeGuard([&] { QProcess::execute("umount", {disk}); });
    const QString target = disk + "/report.pdf";
    WriteFile(target, "an earlier report");
    RunResult r = Run({csv, "--pdf", target});
    ExpectToldOnce(r, target, "No space left on device");
    static const QRegularExpression page("while page (\\d+) was written");
    EXPECT_GT(page.match(r.err).captured(1).toInt(), 1) << "fills after some pages:\n" << S(r.err);
    EXPECT_EQ(ReadFile(target), "an earlier report");
    EXPECT_TRUE(Leftovers(disk).isEmpty()) << S(Leftovers(disk).join(' '));

    // Full to the last byte: the report fails at once, and so does its log.
    QProcess::execute("dd", {"if=/dev/zero", "of=" + disk + "/fill", "bs=4k", "status=none"});
    const QString log = disk + "/errors.log";
    r = Run({csv, "--pdf", disk + "/again.pdf", "--error-log", log});
    EXPECT_EQ(r.exitCode, kReported);
    EXPECT_EQ(r.err.count("cannot write \"" + disk + "/again.pdf\": No space left on device"), 1) << S(r.err);
    EXPECT_EQ(r.err.count("cannot write the error log file \"" + log + "\" (No space left on device)"), 1)
        << S(r.err);
    EXPECT_EQ(r.err.count('\n'), 2) << S(r.err);
}

// Ended by a signal (a second Ctrl-C, the file size limit too): neither report nor temporary stays.
TEST_F(ReportOutputTest, ARunEndedBySignalLeavesNoFile) {
    const QString csv = WriteFile(Path("t.csv"), TableCsv(60000, 3)), target = Path("big.pdf");
    const QString command = "ulimit -f %1; exec \"$0\" \"$@\"";
    // clang-format off
    const std::vector<std::tuple<int, int, const char*>> cases = { // signal, times sent, ulimit -f
        {SIGTERM, 1, "unlimited"}, {SIGQUIT, 1, "unlimited"}, {SIGUSR1, 1, "unlimited"},
        {SIGINT, 2, "unlimited"},  {SIGXFSZ, 0, "1000"},  // sent by the kernel at 1000 blocks
    };
    // clang-format on
    for (const auto& [signal, times, limit] : cases) {
        SCOPED_TRACE(signal);
        QProcess process;
        process.setProcessEnvironment(Environment());
        process.start("sh", {"-c", command.arg(limit), TELMO_REPORT_BINARY, csv, "--pdf", target});
        ASSERT_TRUE(process.waitForStarted());
        ASSERT_TRUE(times == 0 || SeenWhileRunning(process, [&] { return !Leftovers(dir.path()).isEmpty(); }))
            << "the run ended before its file was seen being written";
        for (int i = 0; i < times; ++i, QThread::msleep(20)) // two signals, not one merged
            ::kill(static_cast<pid_t>(process.processId()), signal);
        ASSERT_TRUE(process.waitForFinished(60000));
        // The first Ctrl-C alone may already have stopped the run (exit 130).
        EXPECT_TRUE(signal == SIGINT || process.exitStatus() == QProcess::CrashExit);
        EXPECT_FALSE(QFile::exists(target));
        EXPECT_TRUE(Leftovers(dir.path()).isEmpty()) << S(Leftovers(dir.path()).join(' '));
    }
}

// In a shared folder (sticky, writable by all, as /tmp) another user's link under the default name
// or a given one does not make the command replace the file it points to.
TEST_F(ReportOutputTest, LinksInASharedFolderAreNotFollowed) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "making a link owned by another user needs root";
    const QString csv = WriteFile(Path("t.csv"), TableCsv(50, 3)), shared = Path("shared");
    QDir().mkpath(shared);
    ::chmod(QFile::encodeName(shared).constData(), 01777);
    const QString victim = WriteFile(Path("victim"), "not yours");
    for (const QString name : {"telmo-report.pdf", "given.pdf"}) {
        const QByteArray link = QFile::encodeName(shared + '/' + name);
        ASSERT_EQ(::symlink(QFile::encodeName(victim).constData(), link.constData()), 0);
        ASSERT_EQ(::lchown(link.constData(), 65534, 65534), 0);
    }
    QProcessEnvironment env = Environment();
    env.insert("TMPDIR", shared);
    RunResult r = RunProgram(TELMO_REPORT_BINARY, {csv}, env); // no printer is set up
    EXPECT_EQ(r.exitCode, kOk) << S(r.err);
    EXPECT_EQ(ReadPdf(shared + QStringLiteral("/telmo-%1/telmo-report.pdf").arg(::geteuid())).pages, 1);
    r = RunProgram(TELMO_REPORT_BINARY, {csv, "--pdf", shared + "/given.pdf"}, env);
    EXPECT_EQ(r.exitCode, kReported);
    EXPECT_TRUE(r.err.contains("symbolic link that another user made")) << S(r.err);
    EXPECT_EQ(ReadFile(victim), "not yours");
}

// Once the report is renamed into place its folder is synced, so the rename survives a power loss.
TEST_F(ReportOutputTest, TheFolderIsSyncedAfterTheRename) {
    const QString csv = WriteFile(Path("t.csv"), TableCsv(50, 3)), log = Path("strace.log");
    // The leak checker of a sanitizer build cannot work under a tracer.
    QProcessEnvironment env = Environment();
    env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":detect_leaks=0");
    const RunResult r = RunProgram("strace",
                                   {"-f", "-qq", "-e", "trace=openat,rename,fsync", "-o", log,
                                    TELMO_REPORT_BINARY, csv, "--pdf", Path("o.pdf")},
                                   env);
    ASSERT_EQ(r.exitCode, kOk) << S(r.err);
    const QString trace = QString::fromLocal8Bit(ReadFile(log));
    const qsizetype renamed = trace.indexOf("\", \"" + Path("o.pdf") + "\") = 0");
    ASSERT_GE(renamed, 0) << S(trace.right(2000));
    static const QRegularExpression folderOpened(
        "openat\\(AT_FDCWD, \"([^\"]*)\", [^)]*O_DIRECTORY[^)]*\\) = (\\d+)");
    const QRegularExpressionMatch opened = folderOpened.match(trace, renamed);
    ASSERT_TRUE(opened.hasMatch()) << S(trace.mid(renamed, 2000));
    EXPECT_EQ(opened.captured(1), dir.path());
    const QRegularExpression synced("fsync\\(" + opened.captured(2) + "\\) +=\\s0\n");
    EXPECT_TRUE(synced.match(trace, opened.capturedEnd()).hasMatch()) << S(trace.mid(renamed, 2000));
}

// The scheduler stops mid-job: the queue named, the run ends; without one, told so; with one back,
// the queue gets what --pdf writes, under the file's name, and overlapping runs watch their own job.

TEST_F(ReportOutputTest, ASchedulerStoppedMidJobIsToldAndTheNextRunsPrintWhatTheFileHolds) {
    const QString big = WriteFile(Path("big.csv"), TableCsv(300000, 3));
    auto scheduler = std::make_unique<PrivateCups>(TELMO_PRIVATE_CUPS_SCRIPT);
    if (scheduler->status == 77)
        GTEST_SKIP() << "no private CUPS scheduler: " << S(scheduler->why);
    ASSERT_EQ(scheduler->status, 0) << S(scheduler->why);
    QProcessEnvironment env = Environment();
    env.insert("CUPS_SERVER", scheduler->vars.value("CUPS_SERVER"));
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(TELMO_REPORT_BINARY, {big, "--printer", "pdfout"});
    ASSERT_TRUE(process.waitForStarted());
    // The scheduler holds an unfinished job: the one the run is sending.
    ASSERT_TRUE(SeenWhileRunning(process, [&] {
        return !RunProgram("lpstat", {"-o"}, env).out.trimmed().isEmpty();
    })) << "the run ended before its job was seen being sent";
    scheduler->Stop();
    ASSERT_TRUE(process.waitForFinished(60000)) << "the run hangs without its scheduler";
    QString err = QString::fromUtf8(process.readAllStandardError());
    EXPECT_EQ(process.exitCode(), kReported) << S(err);
    EXPECT_TRUE(err.contains(
        QRegularExpression("^[^\\n]*the print spooler does not answer for printer \"pdfout\" "
                           "while page \\d+ of the report was sent; nothing was printed \\(error 482\\)\n$")))
        << S(err);
    const QString small = WriteFile(Path("small.csv"), TableCsv(100, 3));
    RunResult r = RunProgram(TELMO_REPORT_BINARY, {small, "--printer", "pdfout"}, env);
    EXPECT_EQ(r.exitCode, kReported) << S(r.err);
    EXPECT_TRUE(r.err.contains("is not running or does not answer, so printer \"pdfout\" cannot be reached"))
        << S(r.err);

    scheduler = std::make_unique<PrivateCups>(TELMO_PRIVATE_CUPS_SCRIPT);
    ASSERT_EQ(scheduler->status, 0) << S(scheduler->why);
    env.insert("CUPS_SERVER", scheduler->vars.value("CUPS_SERVER"));
    r = RunProgram(TELMO_REPORT_BINARY, {small, "--printer", "ppdout", "--paper", "A4"}, env);
    EXPECT_EQ(std::pair(r.exitCode, r.err),
              std::pair(kOk, QString("telmo-report: sent 2 pages to printer ppdout\n")));
    ASSERT_EQ(Run({small, "--pdf", Path("small.pdf"), "--paper", "A4"}).exitCode, kOk);
    ASSERT_TRUE(scheduler->WaitIdle());
    const PdfDoc job = ReadPdf(scheduler->vars.value("TELMO_CUPS_OUT") + "/job-1.pdf"),
                 file = ReadPdf(Path("small.pdf"));
    EXPECT_EQ(std::tuple(job.pages, job.pageTexts, job.title),
              std::tuple(file.pages, file.pageTexts, QString("small.csv")));
    std::vector<std::unique_ptr<QProcess>> runs;
    for (int i = 0; i < 8; ++i) {
        runs.push_back(std::make_unique<QProcess>());
        runs.back()->setProcessEnvironment(env);
        runs.back()->start(TELMO_REPORT_BINARY, {small, "--printer", "pdfout"});
    }
    for (const auto& run : runs) {
        ASSERT_TRUE(run->waitForFinished(60000));
        EXPECT_EQ(run->exitCode(), kOk) << S(QString::fromUtf8(run->readAllStandardError()));
    }
}
