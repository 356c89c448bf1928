// Printing through a private CUPS scheduler, started once for this program, whose queues print
// to a folder, fail in their backend or refuse jobs. What Qt hides (an unknown queue, one that
// refuses jobs) the component must see and report itself.
#include "component/IPrinter.h"
#include "component/JobState.h"
#include "platform/RuntimeError.h"
#include "platform/print/PrintDialogModule.h"
#include "platform/print/Printer.h"
#include "preview/PreviewWindow.h"
#include "support/EngineFixture.h"
#include "support/PdfText.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

using namespace telmo;
using namespace telmo::test;

namespace {

// Runs a command; its exit status (-1 if it did not finish) and all it printed.
std::pair<int, QString> RunCommand(const QString& program, const QStringList& args) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    const bool finished = process.waitForFinished(40000);
    if (!finished) {
        process.kill();
        process.waitForFinished();
    }
    const int status = finished && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return {status, finished ? QString::fromLocal8Bit(process.readAll()) : program + " did not finish"};
}

// One scheduler for the whole program: the CUPS client library keeps the server it first
// talked to. skip or failure says why there is none.
struct PrivateCups {
    QString root, out, skip, failure;
} cups;

class SpoolerTest : public EngineTest {
protected:
    static void SetUpTestSuite() {
        if (!cups.root.isEmpty() || !cups.skip.isEmpty() || !cups.failure.isEmpty())
            return;
        // --owner stops the scheduler when this program ends, however it ends.
        const auto [status, output] = RunCommand("sh", {TELMO_PRIVATE_CUPS_SCRIPT, "start", "--owner",
                                                        QString::number(QCoreApplication::applicationPid())});
        if (status != 0)
            (status == 77 ? cups.skip : cups.failure) = output.trimmed();
        for (const QString& line : output.split('\n')) {
            const QString name = line.section('=', 0, 0), value = line.section('=', 1).trimmed();
            if (name == "CUPS_SERVER")
                qputenv("CUPS_SERVER", value.toLocal8Bit());
            if (name == "TELMO_CUPS_ROOT" || name == "TELMO_CUPS_OUT")
                (name.endsWith("ROOT") ? cups.root : cups.out) = value;
        }
        if (status == 0 && cups.out.isEmpty())
            cups.failure = "the script said nothing usable: " + output;
    }
    static void TearDownTestSuite() {
        if (!cups.root.isEmpty())
            RunCommand("sh", {TELMO_PRIVATE_CUPS_SCRIPT, "stop", cups.root});
        cups.root.clear();
    }
    void SetUp() override {
        EngineTest::SetUp();
        if (!cups.skip.isEmpty())
            GTEST_SKIP() << "no private CUPS scheduler: " << cups.skip.toStdString();
        ASSERT_TRUE(cups.failure.isEmpty()) << cups.failure.toStdString();
        Printers::SetBuiltInPdfListed(false); // only the spooler's queues
        jobsBefore_ = NewJobs(); // once idle, so that a job of an earlier test cannot land in this one
    }
    void TearDown() override {
        SetPrintDialogRunner(nullptr);
        Printers::SetBuiltInPdfListed(true);
        UnloadAllForms();
        EngineTest::TearDown();
    }

    // A CUPS command line tool (lpadmin and friends live in sbin), expected to succeed.
    static QString Lp(const QString& tool, const QStringList& args) {
        const QString sbin = "/usr/sbin/" + tool;
        const auto [status, output] = RunCommand(QFile::exists(sbin) ? sbin : tool, args);
        EXPECT_EQ(status, 0) << tool.toStdString() << ": " << output.toStdString();
        return output;
    }
    // The jobs in the output folder not there when the test began, once the spooler is idle.
    QStringList NewJobs() const {
        const auto [status, output] = RunCommand("sh", {TELMO_PRIVATE_CUPS_SCRIPT, "wait-idle", "30"});
        EXPECT_EQ(status, 0) << output.toStdString();
        QStringList jobs;
        for (const QString& file : QDir(cups.out).entryList({"job-*.pdf"}, QDir::Files, QDir::Name))
            if (!jobsBefore_.contains(QDir(cups.out).filePath(file)))
                jobs << QDir(cups.out).filePath(file);
        return jobs;
    }
    static QString JobInfo(QString pdfPath) {
        QFile info(pdfPath.replace(".pdf", ".info"));
        return info.open(QIODevice::ReadOnly) ? QString::fromUtf8(info.readAll()) : QString();
    }
    // Prints a report of `rows` rows to the named queue through the public interface.
    void PrintReportTo(const QString& queue, int rows) {
        Printers::SelectByName(queue);
        printer.SourceGrid(MakeSourceGrid(rows, 4, 1500, 600));
        printer.PrintReport(kAutomationFalse);
    }
    std::string Said() const {
        std::string all;
        for (const CaughtMessage& m : messages)
            all += m.text.toStdString() + "\n";
        return all;
    }

    IPrinter printer;
    QStringList jobsBefore_;
};

} // namespace

TEST_F(SpoolerTest, TheQueuesAreSeenAndAnUnknownOneIsRefused) {
    EXPECT_TRUE(printer.HasPrinter());
    EXPECT_TRUE(printer.IsDefaultPrinter().IsTrue());
    const QStringList names = Printers::InstalledNames();
    EXPECT_TRUE(names.contains("pdfout") && names.contains("broken") && names.contains("rejecting"))
        << names.join(' ').toStdString();
    EXPECT_FALSE(names.contains(Printers::BuiltInPdfName()));
    Printers::SetCurrent(nullptr); // with nothing chosen, the spooler's default queue is the printer
    EXPECT_EQ(Printers::Current().DeviceName(), "pdfout");
    try {
        Printers::SelectByName("no-such-queue");
        ADD_FAILURE() << "an unknown queue was accepted";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Number(), err::kPrinterError);
        EXPECT_TRUE(error.Description().contains("no-such-queue"));
    }
    EXPECT_EQ(Printers::Current().DeviceName(), "pdfout");
    Printers::SelectByName("ppdout");
    MakeSourceGrid(5, 3);
    PreviewWindow& preview = State().frmPreview.Get();
    preview.show();
    QApplication::processEvents();
    EXPECT_EQ(preview.windowTitle(), "Print Preview  [ ppdout ]");
}

TEST_F(SpoolerTest, AMultiPageReportArrivesAsOneJobWithEveryPage) {
    printer.Title1("Spooled");
    printer.Title2("Through CUPS"); // the date line goes with line 2
    printer.CurrDate("07.12.2026");
    Printers::SelectByName("pdfout");
    PrintReportTo("pdfout", RowsForRowBands(3, Printers::Current().ScaleHeight()));
    EXPECT_TRUE(messages.empty()) << Said();
    ASSERT_EQ(State().TotalPages, 3);
    const QStringList jobs = NewJobs();
    ASSERT_EQ(jobs.size(), 1) << jobs.join(' ').toStdString();
    const PdfDoc pdf = ReadPdf(jobs[0]);
    ASSERT_EQ(pdf.pages, 3) << pdf.error.toStdString();
    // Written by the component's own PDF writer, and named in the queue by title 1.
    EXPECT_EQ(std::tuple(pdf.producer, pdf.title), std::tuple(QString("TELMOPreview"), QString("Spooled")));
    EXPECT_TRUE(JobInfo(jobs[0]).contains("title=Spooled\n")) << JobInfo(jobs[0]).toStdString();
    for (int page = 1; page <= 3; ++page) {
        SCOPED_TRACE(page);
        for (const QString& text :
             {QString("Page %1 of 3").arg(page), QString("Spooled"), QString("07.12.2026")})
            EXPECT_TRUE(pdf.pageTexts[page - 1].contains(text)) << text.toStdString();
        // The heading row on every page, and the last row of the page's own block.
        EXPECT_NE(pdf.Find("r0c3", page), nullptr);
        EXPECT_NE(pdf.Find(QString("r%1c2").arg(State().PageBlocks[page].EndRow), page), nullptr);
    }
}

TEST_F(SpoolerTest, CopiesOrientationAndPaperChosenInTheSetupDialogReachTheJob) {
    Printers::SelectByName("pdfout");
    bool cancel = true;
    SetPrintDialogRunner([&](QWidget*, uint32_t, DeviceMode& mode) {
        // The user picks the queue with a paper list, two copies, landscape US Letter.
        mode.dmDeviceName = "PPDOUT";
        mode.dmCopies = 2;
        mode.dmOrientation = Printer::kLandscape;
        mode.dmPaperSize = Printer::kPaperLetter;
        mode.dmDuplex = Printer::kSimplex;
        return !cancel;
    });
    printer.SourceGrid(MakeSourceGrid(8, 3, 1500, 300));
    printer.PrintReport(kAutomationTrue);
    EXPECT_TRUE(NewJobs().isEmpty()) << "a cancelled dialog prints nothing";
    cancel = false;
    printer.PrintReport(kAutomationTrue);
    EXPECT_TRUE(messages.empty()) << Said();
    EXPECT_EQ(Printers::Current().DeviceName(), "ppdout");
    const QStringList jobs = NewJobs();
    ASSERT_EQ(jobs.size(), 1);
    const QString info = JobInfo(jobs[0]);
    EXPECT_TRUE(info.contains("copies=2")) << info.toStdString();
    EXPECT_TRUE(info.contains("PageSize=Letter") || info.contains("media=Letter")) << info.toStdString();
    const PdfDoc pdf = ReadPdf(jobs[0]); // Letter is 612 x 792 points, here on its side
    ASSERT_FALSE(pdf.pageSizesPt.empty()) << pdf.error.toStdString();
    EXPECT_NEAR(pdf.pageSizesPt[0].width(), 792, 1);
    EXPECT_NEAR(pdf.pageSizesPt[0].height(), 612, 1);
}

TEST_F(SpoolerTest, AQueueThatCannotTakeTheJobIsReportedByNameAndGetsNothing) {
    // One that refuses jobs, one removed after it was chosen (Qt would print to the default
    // queue, whose jobs land in the same folder) and one that stops accepting after it was chosen.
    Lp("lpadmin", {"-p", "doomed", "-E", "-v", "tofolder:" + cups.out});
    Lp("lpadmin", {"-p", "paused", "-E", "-v", "tofolder:" + cups.out});
    const std::vector<std::pair<QString, QStringList>> queues{
        {"rejecting", {}},
        {"doomed", {"lpadmin", "-x", "doomed"}},
        {"paused", {"cupsreject", "-r", "jam", "paused"}}};
    for (const auto& [queue, afterSelection] : queues) {
        SCOPED_TRACE(queue.toStdString());
        messages.clear();
        Printers::SelectByName(queue);
        if (!afterSelection.isEmpty())
            Lp(afterSelection[0], afterSelection.mid(1));
        printer.SourceGrid(MakeSourceGrid(8, 3));
        printer.PrintReport(kAutomationFalse);
        ASSERT_EQ(messages.size(), 1u) << Said();
        const QString why =
            queue == "doomed" ? "\"" : "\" does not accept jobs"; // a removed queue is unknown
        EXPECT_TRUE(messages[0].text.contains("482") && messages[0].text.contains('"' + queue + why))
            << Said();
        EXPECT_EQ(State().TotalPages, 0); // nothing was laid out, no progress window opened
        EXPECT_FALSE(State().frmPrintStatus.IsLoaded());
        EXPECT_TRUE(NewJobs().isEmpty());
    }
    EXPECT_TRUE(LogText().contains("PrinterComponent.9000.PrintReport\t482\t")) << LogText().toStdString();
    EXPECT_TRUE(Lp("lpstat", {"-W", "all", "-o", "rejecting"}).trimmed().isEmpty());
    // Once the queue accepts again, the same printer prints: nothing of the refusal stays behind.
    Lp("cupsaccept", {"paused"});
    messages.clear();
    printer.PrintReport(kAutomationFalse);
    EXPECT_TRUE(messages.empty()) << Said();
    const QStringList jobs = NewJobs();
    ASSERT_EQ(jobs.size(), 1);
    EXPECT_EQ(ReadPdf(jobs[0]).pages, 1);
    Lp("lpadmin", {"-x", "paused"});
}

// A job that fails after the spooler took it is watched briefly and told with the spooler's reason.
TEST_F(SpoolerTest, AJobTheBackendFailsIsAbortedByCupsAndTheUserIsToldWhyAndWhichQueue) {
    PrintReportTo("broken", 8);
    ASSERT_EQ(messages.size(), 1u) << Said();
    EXPECT_TRUE(
        QRegularExpression("482 - Printer error: printer \"broken\" did not print the report's 1 page: "
                           "the spooler aborted job broken-\\d+ \\(simulated backend failure\\)")
            .match(messages[0].text)
            .hasMatch())
        << Said();
    EXPECT_TRUE(NewJobs().isEmpty());
}

// Cancel, Esc and Ctrl-C end a run with CancelDoc: the job being sent is withdrawn, nothing prints.
TEST_F(SpoolerTest, ACancelledDocumentWithdrawsItsJob) {
    Printers::SelectByName("pdfout");
    Printer& surface = Printers::Current();
    surface.Print("page 1");
    surface.NewPage();
    surface.Print("page 2");
    surface.CancelDoc();
    EXPECT_FALSE(surface.InDocument());
    EXPECT_TRUE(NewJobs().isEmpty());
    EXPECT_TRUE(Lp("lpstat", {"-o", "pdfout"}).trimmed().isEmpty()); // nor does it wait in the queue
}

// The job is created when the document starts and sent as its pages are drawn. A queue that
// stops accepting jobs meanwhile still prints the job it had taken; a disabled one keeps it: the
// user is told it waits, and it prints once the queue is enabled again; a queue removed under the
// job is named, and nothing of it prints.
TEST_F(SpoolerTest, AQueueThatGoesOrStopsWhileTheDocumentIsDrawnIsNamedAndTheNextJobPrints) {
    Lp("lpadmin", {"-p", "midway", "-E", "-v", "tofolder:" + cups.out});
    const std::vector<std::tuple<QStringList, QStringList, QStringList>> faults{
        // fault, told (nothing: it prints), undone by
        {{"cupsreject", "-r", "jam", "midway"}, {}, {"cupsaccept", "midway"}},
        {{"cupsdisable", "midway"},
         {"printer \"midway\" is stopped: job midway-", "(the report's 3 pages) waits in its queue"},
         {"cupsenable", "midway"}},
        {{"lpadmin", "-x", "midway"},
         {"no printer named \"midway\" is installed", "nothing was printed"},
         {}},
    };
    for (const auto& [fault, told, undo] : faults) {
        SCOPED_TRACE(fault.join(' ').toStdString());
        Printers::SelectByName("midway");
        Printer& surface = Printers::Current();
        surface.Print("page 1");
        surface.NewPage();
        surface.Print("page 2");
        Lp(fault[0], fault.mid(1));
        surface.NewPage();
        surface.Print("page 3");
        surface.NewPage();
        try {
            surface.EndDoc();
            EXPECT_TRUE(told.isEmpty()) << "the job was lost without a word";
        } catch (const RuntimeError& error) {
            EXPECT_EQ(error.Number(), err::kPrinterError);
            EXPECT_FALSE(told.isEmpty()) << error.Description().toStdString();
            for (const QString& text : told)
                EXPECT_TRUE(error.Description().contains(text)) << error.Description().toStdString();
        }
        EXPECT_FALSE(surface.InDocument());
        if (!undo.isEmpty())
            Lp(undo[0], undo.mid(1));
        // The job taken before the refusal, and the one the disabled queue kept, print in full.
        const QStringList jobs = NewJobs();
        EXPECT_EQ(jobs.size(), fault[0] == "lpadmin" ? 0 : 1);
        for (const QString& job : jobs)
            EXPECT_EQ(ReadPdf(job).pages, 3);
        jobsBefore_ += jobs;
    }
    PrintReportTo("pdfout", 8);
    EXPECT_TRUE(messages.empty()) << Said();
    const QStringList jobs = NewJobs();
    ASSERT_EQ(jobs.size(), 1);
    EXPECT_EQ(ReadPdf(jobs[0]).pages, 1);
}
