// Printing through a real CUPS scheduler: a private one, started for this test program with
// queues that print to a folder, fail in their backend, or refuse jobs. What Qt hides (an
// unknown queue, a queue that refuses jobs) the component must see and report itself; what
// happens to a job after the spooler took it is learnt from CUPS.
#include "component/IPrinter.h"
#include "component/JobState.h"
#include "platform/MessageBox.h"
#include "platform/PrintDialogModule.h"
#include "platform/Printer.h"
#include "platform/QtPrinter.h"
#include "platform/RuntimeError.h"
#include "preview/PreviewWindow.h"
#include "support/EngineFixture.h"
#include "support/PdfText.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

using namespace telmo;
using namespace telmo::test;

namespace {

// One scheduler for the whole program: the CUPS client library keeps the server it first
// talked to, so a second scheduler on another socket would not be seen.
struct PrivateCups {
    QString root, out, skipReason, failure;
    bool Running() const { return !root.isEmpty(); }
};

PrivateCups& Cups() {
    static PrivateCups cups;
    return cups;
}

struct CommandResult {
    int exitCode = -1;
    QString output; // standard output and error together
};

CommandResult RunCommand(const QString& program, const QStringList& args, int timeoutMs = 30000) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    CommandResult result;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        result.output = QStringLiteral("%1 did not finish").arg(program);
        return result;
    }
    result.output = QString::fromLocal8Bit(process.readAll());
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return result;
}

// lpadmin and cupsreject live in sbin.
QString Sbin(const QString& tool) {
    return QFile::exists(QStringLiteral("/usr/sbin/") + tool) ? QStringLiteral("/usr/sbin/") + tool : tool;
}

class SpoolerTest : public EngineTest {
protected:
    static void SetUpTestSuite() {
        PrivateCups& cups = Cups();
        if (cups.Running() || !cups.skipReason.isEmpty() || !cups.failure.isEmpty())
            return;
        // --owner stops the scheduler when this program ends, however it ends.
        const CommandResult started =
            RunCommand(QStringLiteral("sh"),
                       {QStringLiteral(TELMO_PRIVATE_CUPS_SCRIPT), QStringLiteral("start"),
                        QStringLiteral("--owner"), QString::number(QCoreApplication::applicationPid())});
        if (started.exitCode == 77) {
            cups.skipReason = started.output.trimmed();
            return;
        }
        if (started.exitCode != 0) {
            cups.failure = started.output.trimmed();
            return;
        }
        for (const QString& line : started.output.split(QLatin1Char('\n'))) {
            const qsizetype eq = line.indexOf(QLatin1Char('='));
            if (eq < 0)
                continue;
            const QString key = line.left(eq), value = line.mid(eq + 1).trimmed();
            if (key == QLatin1String("CUPS_SERVER"))
                qputenv("CUPS_SERVER", value.toLocal8Bit());
            else if (key == QLatin1String("TELMO_CUPS_ROOT"))
                cups.root = value;
            else if (key == QLatin1String("TELMO_CUPS_OUT"))
                cups.out = value;
        }
        if (cups.out.isEmpty())
            cups.failure = QStringLiteral("the script said nothing usable: ") + started.output;
    }

    static void TearDownTestSuite() {
        PrivateCups& cups = Cups();
        if (!cups.Running())
            return;
        RunCommand(QStringLiteral("sh"),
                   {QStringLiteral(TELMO_PRIVATE_CUPS_SCRIPT), QStringLiteral("stop"), cups.root});
        cups.root.clear();
    }

    void SetUp() override {
        EngineTest::SetUp();
        const PrivateCups& cups = Cups();
        if (!cups.skipReason.isEmpty())
            GTEST_SKIP() << "no private CUPS scheduler: " << cups.skipReason.toStdString();
        ASSERT_TRUE(cups.failure.isEmpty()) << cups.failure.toStdString();
        ASSERT_TRUE(cups.Running());
        // Only the spooler's queues: the built-in PDF printer would make every list non-empty.
        Printers::SetBuiltInPdfListed(false);
        jobsBefore_ = JobFiles();
    }

    void TearDown() override {
        SetPrintDialogRunner(nullptr);
        Printers::SetBuiltInPdfListed(true);
        UnloadAllForms();
        EngineTest::TearDown();
    }

    static QString Lp(const QString& tool, const QStringList& args) {
        const CommandResult result = RunCommand(tool, args);
        EXPECT_EQ(result.exitCode, 0) << tool.toStdString() << ": " << result.output.toStdString();
        return result.output;
    }

    // Waits until the scheduler has no unfinished job.
    static void WaitIdle() {
        const CommandResult idle = RunCommand(
            QStringLiteral("sh"),
            {QStringLiteral(TELMO_PRIVATE_CUPS_SCRIPT), QStringLiteral("wait-idle"), QStringLiteral("30")},
            40000);
        ASSERT_EQ(idle.exitCode, 0) << idle.output.toStdString();
    }

    static QStringList JobFiles() {
        return QDir(Cups().out).entryList({QStringLiteral("job-*.pdf")}, QDir::Files, QDir::Name);
    }

    // The jobs that reached the output folder since the test began.
    QStringList NewJobs() const {
        QStringList jobs;
        for (const QString& file : JobFiles())
            if (!jobsBefore_.contains(file))
                jobs << QDir(Cups().out).filePath(file);
        return jobs;
    }

    static QString JobInfo(const QString& pdfPath) {
        QFile info(QString(pdfPath).replace(QStringLiteral(".pdf"), QStringLiteral(".info")));
        return info.open(QIODevice::ReadOnly) ? QString::fromUtf8(info.readAll()) : QString();
    }

    // A source grid that makes three row bands on the current printer.
    std::shared_ptr<GridControl> ThreePageGrid() {
        const int rows = RowsForRowBands(3, Printers::Current().ScaleHeight());
        EXPECT_GT(rows, 0);
        return MakeSourceGrid(rows, 4, 1500, 600);
    }

    QString Messages() const {
        QString all;
        for (const CaughtMessage& m : messages)
            all += m.text + QLatin1Char('\n');
        return all;
    }

    QStringList jobsBefore_;
};

} // namespace

TEST_F(SpoolerTest, TheComponentSeesTheQueuesAndNamesTheChosenOneInThePreview) {
    IPrinter printer;
    EXPECT_TRUE(printer.HasPrinter());
    EXPECT_TRUE(printer.IsDefaultPrinter().IsTrue());
    const QStringList names = Printers::InstalledNames();
    for (const char* queue : {"pdfout", "ppdout", "broken", "rejecting"})
        EXPECT_TRUE(names.contains(QLatin1String(queue))) << queue;
    EXPECT_FALSE(names.contains(Printers::BuiltInPdfName()));

    // With nothing chosen, the spooler's default queue is the printer.
    Printers::SetCurrent(nullptr);
    EXPECT_EQ(Printers::Current().DeviceName(), "pdfout");
    Printers::SelectByName(QStringLiteral("ppdout"));
    MakeSourceGrid(5, 3);
    PreviewWindow& preview = State().frmPreview.Get();
    preview.show();
    QApplication::processEvents();
    EXPECT_EQ(preview.windowTitle(), "Print Preview  [ ppdout ]");
}

TEST_F(SpoolerTest, AnUnknownQueueIsRefusedAndTheChosenPrinterStays) {
    Printers::SelectByName(QStringLiteral("pdfout"));
    try {
        Printers::SelectByName(QStringLiteral("no-such-queue"));
        ADD_FAILURE() << "an unknown queue was accepted";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Number(), err::kPrinterError);
        EXPECT_TRUE(error.Description().contains(QStringLiteral("no-such-queue")));
    }
    EXPECT_EQ(Printers::Current().DeviceName(), "pdfout");
}

TEST_F(SpoolerTest, AMultiPageReportArrivesAsOneJobWithEveryPage) {
    Printers::SelectByName(QStringLiteral("pdfout"));
    auto grid = ThreePageGrid();
    IPrinter printer;
    printer.SourceGrid(grid);
    printer.Title1(QStringLiteral("Spooled"));
    printer.Title2(QStringLiteral("Through CUPS"));
    printer.CurrDate(QStringLiteral("07.12.2026"));
    printer.PrintReport(kAutomationFalse);
    EXPECT_TRUE(messages.empty()) << Messages().toStdString();
    ASSERT_EQ(State().TotalPages, 3);

    WaitIdle();
    const QStringList jobs = NewJobs();
    ASSERT_EQ(jobs.size(), 1) << jobs.join(QLatin1Char(' ')).toStdString();
    const PdfDoc pdf = ReadPdf(jobs[0]);
    ASSERT_EQ(pdf.pages, 3) << pdf.error.toStdString();
    for (int page = 1; page <= 3; ++page) {
        const QString text = pdf.pageTexts[page - 1];
        EXPECT_TRUE(text.contains(QStringLiteral("Page %1 of 3").arg(page))) << "page " << page;
        EXPECT_TRUE(text.contains(QStringLiteral("Spooled"))) << "page " << page;
        EXPECT_TRUE(text.contains(QStringLiteral("07.12.2026"))) << "page " << page;
        // The heading row on every page, and the last row of the page's own block.
        EXPECT_NE(pdf.Find(QStringLiteral("r0c3"), page), nullptr) << "page " << page;
        const int lastRow = static_cast<int>(State().PageBlocks[page].EndRow);
        EXPECT_NE(pdf.Find(QStringLiteral("r%1c2").arg(lastRow), page), nullptr) << "page " << page;
    }
    EXPECT_TRUE(JobInfo(jobs[0]).contains(QStringLiteral("copies=1")));
}

TEST_F(SpoolerTest, CopiesOrientationAndPaperChosenInTheSetupDialogReachTheJob) {
    Printers::SelectByName(QStringLiteral("pdfout"));
    int dialogs = 0;
    SetPrintDialogRunner([&](QWidget*, uint32_t, DeviceMode& mode) {
        ++dialogs;
        // The user picks the queue with a paper list, two copies, landscape US Letter.
        mode.dmDeviceName = QStringLiteral("PPDOUT");
        mode.dmCopies = 2;
        mode.dmOrientation = Printer::kLandscape;
        mode.dmPaperSize = Printer::kPaperLetter;
        mode.dmDuplex = Printer::kSimplex;
        return true;
    });
    auto grid = MakeSourceGrid(8, 3, 1500, 300);
    IPrinter printer;
    printer.SourceGrid(grid);
    printer.PrintReport(kAutomationTrue);
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(messages.empty()) << Messages().toStdString();
    EXPECT_TRUE(State().PrintDialogAccepted);
    EXPECT_EQ(Printers::Current().DeviceName(), "ppdout");

    WaitIdle();
    const QStringList jobs = NewJobs();
    ASSERT_EQ(jobs.size(), 1);
    const QString info = JobInfo(jobs[0]);
    EXPECT_TRUE(info.contains(QStringLiteral("copies=2"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QStringLiteral("PageSize=Letter")) ||
                info.contains(QStringLiteral("media=Letter")))
        << info.toStdString();
    const PdfDoc pdf = ReadPdf(jobs[0]);
    ASSERT_GE(pdf.pages, 1) << pdf.error.toStdString();
    // Letter is 612 x 792 points; landscape lays it on its side.
    ASSERT_FALSE(pdf.pageSizesPt.empty());
    EXPECT_NEAR(pdf.pageSizesPt[0].width(), 792, 1);
    EXPECT_NEAR(pdf.pageSizesPt[0].height(), 612, 1);
}

TEST_F(SpoolerTest, ACancelledSetupDialogSendsNothing) {
    Printers::SelectByName(QStringLiteral("pdfout"));
    SetPrintDialogRunner([](QWidget*, uint32_t, DeviceMode&) { return false; });
    auto grid = MakeSourceGrid(8, 3);
    IPrinter printer;
    printer.SourceGrid(grid);
    printer.PrintReport(kAutomationTrue);
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(State().frmPrintStatus.IsLoaded());
    WaitIdle();
    EXPECT_TRUE(NewJobs().isEmpty());
}

TEST_F(SpoolerTest, AQueueThatRefusesJobsIsReportedByNameAndGetsNothing) {
    Printers::SelectByName(QStringLiteral("rejecting"));
    auto grid = ThreePageGrid();
    IPrinter printer;
    printer.SourceGrid(grid);
    printer.PrintReport(kAutomationFalse);
    ASSERT_EQ(messages.size(), 1u) << Messages().toStdString();
    EXPECT_TRUE(messages[0].text.contains(QStringLiteral("482"))) << messages[0].text.toStdString();
    EXPECT_TRUE(messages[0].text.contains(QStringLiteral("\"rejecting\" does not accept jobs")))
        << messages[0].text.toStdString();
    EXPECT_TRUE(LogText().contains(QStringLiteral("PrinterComponent.9000.PrintReport\t482\t")))
        << LogText().toStdString();
    // Nothing was laid out for it, and the progress window never opened.
    EXPECT_EQ(State().TotalPages, 0);
    EXPECT_FALSE(State().frmPrintStatus.IsLoaded());
    WaitIdle();
    EXPECT_TRUE(NewJobs().isEmpty());
    EXPECT_TRUE(Lp(QStringLiteral("lpstat"), {QStringLiteral("-W"), QStringLiteral("all"),
                                              QStringLiteral("-o"), QStringLiteral("rejecting")})
                    .trimmed()
                    .isEmpty());
}

TEST_F(SpoolerTest, AQueueThatStopsAcceptingAfterSelectionIsReportedThenPrintsAgain) {
    Lp(Sbin(QStringLiteral("lpadmin")), {QStringLiteral("-p"), QStringLiteral("paused"), QStringLiteral("-E"),
                                         QStringLiteral("-v"), QStringLiteral("tofolder:") + Cups().out});
    Printers::SelectByName(QStringLiteral("paused"));
    Lp(Sbin(QStringLiteral("cupsreject")),
       {QStringLiteral("-r"), QStringLiteral("paper jam"), QStringLiteral("paused")});
    auto grid = MakeSourceGrid(8, 3);
    IPrinter printer;
    printer.SourceGrid(grid);
    printer.PrintReport(kAutomationFalse);
    ASSERT_EQ(messages.size(), 1u) << Messages().toStdString();
    EXPECT_TRUE(messages[0].text.contains(QStringLiteral("\"paused\" does not accept jobs")))
        << messages[0].text.toStdString();

    // Once the queue accepts again, the same printer prints: nothing of the refusal stays behind.
    Lp(Sbin(QStringLiteral("cupsaccept")), {QStringLiteral("paused")});
    messages.clear();
    printer.PrintReport(kAutomationFalse);
    EXPECT_TRUE(messages.empty()) << Messages().toStdString();
    WaitIdle();
    const QStringList jobs = NewJobs();
    ASSERT_EQ(jobs.size(), 1);
    EXPECT_EQ(ReadPdf(jobs[0]).pages, 1);
    Lp(Sbin(QStringLiteral("lpadmin")), {QStringLiteral("-x"), QStringLiteral("paused")});
}

TEST_F(SpoolerTest, AQueueRemovedAfterSelectionIsReportedNotSentToTheDefault) {
    Lp(Sbin(QStringLiteral("lpadmin")), {QStringLiteral("-p"), QStringLiteral("doomed"), QStringLiteral("-E"),
                                         QStringLiteral("-v"), QStringLiteral("tofolder:") + Cups().out});
    Printers::SelectByName(QStringLiteral("doomed"));
    Lp(Sbin(QStringLiteral("lpadmin")), {QStringLiteral("-x"), QStringLiteral("doomed")});
    auto grid = MakeSourceGrid(8, 3);
    IPrinter printer;
    printer.SourceGrid(grid);
    printer.PrintReport(kAutomationFalse);
    ASSERT_EQ(messages.size(), 1u) << Messages().toStdString();
    EXPECT_TRUE(messages[0].text.contains(QStringLiteral("482")));
    EXPECT_TRUE(messages[0].text.contains(QStringLiteral("\"doomed\""))) << messages[0].text.toStdString();
    // Qt would have printed to pdfout, the default queue, whose jobs land in the same folder.
    WaitIdle();
    EXPECT_TRUE(NewJobs().isEmpty());
}

TEST_F(SpoolerTest, AJobTheBackendFailsIsAbortedByCups) {
    Printers::SelectByName(QStringLiteral("broken"));
    auto grid = MakeSourceGrid(8, 3);
    IPrinter printer;
    printer.SourceGrid(grid);
    printer.PrintReport(kAutomationFalse);
    // The queue took the job: for the component it printed.
    EXPECT_TRUE(messages.empty()) << Messages().toStdString();
    WaitIdle();
    EXPECT_TRUE(NewJobs().isEmpty());
    // CUPS tells what became of it: finished, with the backend's error as its status.
    const QString done =
        Lp(QStringLiteral("lpstat"), {QStringLiteral("-W"), QStringLiteral("completed"), QStringLiteral("-l"),
                                      QStringLiteral("-o"), QStringLiteral("broken")});
    EXPECT_TRUE(done.contains(QStringLiteral("broken-"))) << done.toStdString();
    EXPECT_TRUE(done.contains(QStringLiteral("simulated backend failure"))) << done.toStdString();
}
