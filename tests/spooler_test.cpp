// Printing through a private CUPS scheduler whose queues print to a folder, fail or refuse jobs:
// what Qt hides (an unknown queue, one that refuses jobs) the component must see and report itself.
#include "component/IPrinter.h"
#include "component/JobState.h"
#include "platform/RuntimeError.h"
#include "platform/grid/GridControl.h"
#include "platform/print/PrintDialogModule.h"
#include "platform/print/Printer.h"
#include "support/AutomationError.h"
#include "support/CommandRun.h"
#include "support/EngineFixture.h"
#include "support/PdfText.h"
#include "support/PrivateCups.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

using namespace telmo;
using namespace telmo::test;

namespace {

// One scheduler for the whole program: the CUPS client library keeps the server it first talked to.
std::unique_ptr<PrivateCups> cups;

class SpoolerTest : public EngineTest {
protected:
    static void SetUpTestSuite() {
        if (cups)
            return;
        cups = std::make_unique<PrivateCups>(TELMO_PRIVATE_CUPS_SCRIPT);
        qputenv("CUPS_SERVER", cups->vars.value("CUPS_SERVER").toLocal8Bit());
    }
    static void TearDownTestSuite() { cups.reset(); }
    void SetUp() override {
        EngineTest::SetUp();
        if (cups->status == 77)
            GTEST_SKIP() << "no private CUPS scheduler: " << S(cups->why);
        ASSERT_TRUE(cups->status == 0 && !Out().isEmpty()) << S(cups->why);
        Printers::SetBuiltInPdfListed(false); // only the spooler's queues
        jobsBefore_ = NewJobs(); // once idle, so that a job of an earlier test cannot land in this one
    }
    void TearDown() override {
        Printers::SetBuiltInPdfListed(true);
        EngineTest::TearDown();
    }
    static QString Out() { return cups->vars.value("TELMO_CUPS_OUT"); }
    // A CUPS command line tool (lpadmin and friends live in sbin), expected to succeed.
    static QString Lp(const QString& tool, const QStringList& args) {
        const QString sbin = "/usr/sbin/" + tool;
        const RunResult r =
            RunProgram(QFile::exists(sbin) ? sbin : tool, args, QProcessEnvironment::systemEnvironment());
        EXPECT_EQ(r.exitCode, 0) << S(tool) << ": " << S(r.err);
        return r.out;
    }
    // The jobs in the output folder not there when the test began, once the spooler is idle.
    QStringList NewJobs() const {
        cups->WaitIdle();
        QStringList jobs;
        for (const QString& file : QDir(Out()).entryList({"job-*.pdf"}, QDir::Files, QDir::Name))
            if (!jobsBefore_.contains(QDir(Out()).filePath(file)))
                jobs << QDir(Out()).filePath(file);
        return jobs;
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
    EXPECT_TRUE(printer.HasPrinter() && printer.IsDefaultPrinter().IsTrue());
    const QStringList names = Printers::InstalledNames();
    EXPECT_TRUE(names.contains("pdfout") && names.contains("broken") && names.contains("rejecting"))
        << names.join(' ').toStdString();
    EXPECT_FALSE(names.contains(Printers::BuiltInPdfName()));
    Printers::SetCurrent(nullptr); // with nothing chosen, the spooler's default queue is the printer
    EXPECT_EQ(Printers::Current().DeviceName(), "pdfout");
    QString why;
    EXPECT_EQ(ErrorOf([] { Printers::SelectByName("no-such-queue"); }, &why), err::kPrinterError);
    EXPECT_TRUE(why.contains("no-such-queue")) << S(why);
    EXPECT_EQ(Printers::Current().DeviceName(), "pdfout");
}

// A report arrives as one job of the component's PDF, named by title 1, with the dialog's settings.
TEST_F(SpoolerTest, AReportArrivesAsOneJobWithTheSettingsChosenInTheSetupDialog) {
    Printers::SelectByName("pdfout");
    SetPrintDialogRunner([](QWidget*, uint32_t, DeviceMode& mode) {
        // The user picks the queue with a paper list, two copies, landscape US Letter.
        std::tie(mode.dmDeviceName, mode.dmCopies, mode.dmOrientation, mode.dmPaperSize, mode.dmDuplex) =
            std::tuple("PPDOUT", 2, Printer::kLandscape, Printer::kPaperLetter, Printer::kSimplex);
        return true;
    });
    printer.Title1("Spooled");
    printer.SourceGrid(MakeSourceGrid(60, 3, 1500, 300));
    printer.PrintReport(kAutomationTrue);
    EXPECT_TRUE(messages.empty()) << Said();
    EXPECT_EQ(Printers::Current().DeviceName(), "ppdout");
    const QStringList jobs = NewJobs();
    ASSERT_EQ(jobs.size(), 1);
    const QString info = ReadFile(QString(jobs[0]).replace(".pdf", ".info"));
    EXPECT_TRUE(info.contains("copies=2") && info.contains("title=Spooled\n")) << S(info);
    EXPECT_TRUE(info.contains("PageSize=Letter") || info.contains("media=Letter")) << S(info);
    const PdfDoc pdf = ReadPdf(jobs[0]); // Letter is 612 x 792 points, here on its side
    ASSERT_GT(State().TotalPages, 1);
    ASSERT_EQ(pdf.pages, State().TotalPages) << S(pdf.error);
    EXPECT_EQ(std::tuple(pdf.producer, pdf.title), std::tuple(QString("TELMOPreview"), QString("Spooled")));
    EXPECT_EQ(pdf.pageSizesPt[0].toSize(), QSize(792, 612));
}

// One that refuses jobs, one removed after it was chosen (Qt would print to the default queue, whose jobs
// land in the same folder) and one that stops accepting after it was chosen are refused before anything
// is laid out; a job the backend fails after the spooler took it is watched briefly and told with the
// spooler's reason.
TEST_F(SpoolerTest, AQueueThatCannotTakeTheJobIsReportedByNameAndGetsNothing) {
    Lp("lpadmin", {"-p", "doomed", "-E", "-v", "tofolder:" + Out()});
    Lp("lpadmin", {"-p", "paused", "-E", "-v", "tofolder:" + Out()});
    const std::vector<std::tuple<QString, QStringList, QString>> queues{
        {"broken", {}, " did not print .* 1 page: the spooler aborted job broken-\\d+ \\(simulated backend"},
        {"rejecting", {}, " does not accept jobs"},
        {"doomed", {"lpadmin", "-x", "doomed"}, ""}, // a removed queue is unknown
        {"paused", {"cupsreject", "-r", "jam", "paused"}, " does not accept jobs"}};
    for (const auto& [queue, afterSelection, why] : queues) {
        SCOPED_TRACE(queue.toStdString());
        messages.clear(), State().TotalPages = 0;
        Printers::SelectByName(queue);
        if (!afterSelection.isEmpty())
            Lp(afterSelection[0], afterSelection.mid(1));
        printer.SourceGrid(MakeSourceGrid(8, 3));
        printer.PrintReport(kAutomationFalse);
        ASSERT_EQ(messages.size(), 1u) << Said();
        EXPECT_TRUE(
            messages[0].text.contains(QRegularExpression("482 - Printer error: .*\"" + queue + '"' + why)))
            << Said();
        // A refused queue gets nothing laid out and no progress window.
        EXPECT_EQ(std::tuple(State().TotalPages, State().frmPrintStatus.IsLoaded(), NewJobs()),
                  std::tuple(queue == "broken" ? 1 : 0, false, QStringList()));
    }
    EXPECT_TRUE(LogText().contains("PrinterComponent.9000.PrintReport\t482\t")) << LogText().toStdString();
    EXPECT_TRUE(Lp("lpstat", {"-W", "all", "-o", "rejecting"}).trimmed().isEmpty());
    // Once the last queue accepts again, the same printer prints: nothing of the refusal stays behind.
    Lp("cupsaccept", {"paused"});
    messages.clear();
    printer.PrintReport(kAutomationFalse);
    EXPECT_TRUE(messages.empty()) << Said();
    const QStringList jobs = NewJobs();
    ASSERT_EQ(jobs.size(), 1);
    EXPECT_EQ(ReadPdf(jobs[0]).pages, 1);
    Lp("lpadmin", {"-x", "paused"});
}

// The job is sent as its pages are drawn: a queue that stops accepting meanwhile still prints it; a
// disabled one keeps it, told, until enabled; a queue removed under the job is named, nothing prints.
// Cancel, Esc and Ctrl-C end a run with CancelDoc: the job being sent is withdrawn, nothing prints.
TEST_F(SpoolerTest, AQueueThatGoesOrStopsWhileTheDocumentIsDrawnIsNamedAndTheNextJobPrints) {
    Lp("lpadmin", {"-p", "midway", "-E", "-v", "tofolder:" + Out()});
    const std::vector<std::tuple<QStringList, QStringList, QStringList>> faults{
        // fault (none: cancelled), told (nothing: it prints), undone by
        {{}, {}, {}},
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
        if (!fault.isEmpty()) {
            Lp(fault[0], fault.mid(1));
            surface.NewPage();
            surface.Print("page 3");
            surface.NewPage();
        }
        QString why;
        EXPECT_EQ(ErrorOf([&] { fault.isEmpty() ? surface.CancelDoc() : surface.EndDoc(); }, &why),
                  told.isEmpty() ? 0 : err::kPrinterError)
            << S(why);
        for (const QString& text : told)
            EXPECT_TRUE(why.contains(text)) << S(why);
        EXPECT_FALSE(surface.InDocument());
        if (!undo.isEmpty())
            Lp(undo[0], undo.mid(1));
        // The job taken before the refusal, and the one the disabled queue kept, print in full.
        const QStringList jobs = NewJobs();
        EXPECT_EQ(jobs.size(), undo.isEmpty() ? 0 : 1);
        for (const QString& job : jobs)
            EXPECT_EQ(ReadPdf(job).pages, 3);
        jobsBefore_ += jobs;
        if (fault.value(0) != "lpadmin") { // nor does a job wait in the queue
            EXPECT_TRUE(Lp("lpstat", {"-o", "midway"}).trimmed().isEmpty());
        }
    }
    Printers::SelectByName("pdfout");
    printer.SourceGrid(MakeSourceGrid(8, 4, 1500, 600));
    printer.PrintReport(kAutomationFalse);
    EXPECT_TRUE(messages.empty()) << Said();
    const QStringList jobs = NewJobs();
    ASSERT_EQ(jobs.size(), 1);
    EXPECT_EQ(ReadPdf(jobs[0]).pages, 1);
}
