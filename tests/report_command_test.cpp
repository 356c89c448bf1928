// The report command as its users run it: the built telmo-report binary in a subprocess,
// offscreen, against CSV files written by the tests. Its page layout is checked against the
// engine run in this process on the same grid, its PDFs are read back with poppler, and the
// CSV reader it uses is checked directly.
#include "app/CsvReader.h"
#include "app/ReportGrid.h"
#include "component/IPrinter.h"
#include "component/JobState.h"
#include "engine/PrintDataSettings.h"
#include "platform/GridControl.h"
#include "platform/Printer.h"
#include "support/EngineFixture.h"
#include "support/PdfText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

using namespace telmo;
using namespace telmo::test;
using telmo::app::CsvError;
using telmo::app::CsvTable;

namespace {

std::string S(const QString& text) {
    return text.toStdString();
}

struct RunResult {
    bool finished = false;
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs telmo-report with no display, the way a batch job does. The command's temporary folder
// is `tempDir` (where the built-in PDF printer writes when no file is named), and it talks to
// the print spooler at `cupsServer`, by default a socket that does not exist, so that no test
// depends on the printers of the machine.
RunResult RunReport(const QStringList& arguments, const QString& tempDir,
                    const QString& cupsServer = QString()) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("TELMO_BATCH"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.insert(QStringLiteral("TMPDIR"), tempDir);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), tempDir);
    env.insert(QStringLiteral("CUPS_SERVER"),
               cupsServer.isEmpty() ? QDir(tempDir).filePath(QStringLiteral("no-cups.sock")) : cupsServer);
    QFile::setPermissions(tempDir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(TELMO_REPORT_BINARY), arguments);
    RunResult result;
    if (!process.waitForStarted(10000)) {
        ADD_FAILURE() << "telmo-report did not start: " << S(process.errorString());
        return result;
    }
    process.closeWriteChannel();
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << "telmo-report " << S(arguments.join(QLatin1Char(' '))) << " did not finish";
        return result;
    }
    result.finished = process.exitStatus() == QProcess::NormalExit;
    result.exitCode = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << S(path);
    file.write(bytes);
    return path;
}

// The text of a generated table: the heading row "h<col>", the heading column "k<row>" and
// "r<row>c<col>" in every other cell, so that each cell can be found on its page.
QString CellText(int row, int col) {
    if (row == 0)
        return QStringLiteral("h%1").arg(col);
    if (col == 0)
        return QStringLiteral("k%1").arg(row);
    return QStringLiteral("r%1c%2").arg(row).arg(col);
}

QByteArray TableCsv(int rows, int cols) {
    QByteArray csv;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            if (c > 0)
                csv += ',';
            csv += CellText(r, c).toUtf8();
        }
        csv += '\n';
    }
    return csv;
}

// One parsed --layout output.
struct Layout {
    QString printer;
    double scaleWidth = -1, scaleHeight = -1;
    int mode = -1;
    int pages = -1;
    QStringList pageLines; // "page\tN\t..." as written
    struct Block {
        int startRow, endRow, startCol, endCol;
    };
    std::vector<Block> blocks;
};

Layout ParseLayout(const QString& out) {
    Layout layout;
    for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList f = line.split(QLatin1Char('\t'));
        if (f[0] == QLatin1String("printer") && f.size() == 2) {
            layout.printer = f[1];
        } else if (f[0] == QLatin1String("scale") && f.size() == 3) {
            layout.scaleWidth = f[1].toDouble();
            layout.scaleHeight = f[2].toDouble();
        } else if (f[0] == QLatin1String("mode") && f.size() == 2) {
            layout.mode = f[1].toInt();
        } else if (f[0] == QLatin1String("pages") && f.size() == 2) {
            layout.pages = f[1].toInt();
        } else if (f[0] == QLatin1String("page") && f.size() == 6) {
            layout.pageLines << line;
            layout.blocks.push_back({f[2].toInt(), f[3].toInt(), f[4].toInt(), f[5].toInt()});
        } else {
            ADD_FAILURE() << "unexpected layout line: " << S(line);
        }
    }
    return layout;
}

// The command's exit statuses.
constexpr int kOk = 0;
constexpr int kReported = 1;
constexpr int kUsage = 2;

class ReportCommandTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString Path(const QString& name) const { return dir.filePath(name); }
    RunResult Run(const QStringList& arguments) { return RunReport(arguments, dir.path()); }
    QTemporaryDir dir;
};

} // namespace

// ---------------------------------------------------------------------------------------
// Exit statuses and messages

TEST_F(ReportCommandTest, HelpNamesEveryOption) {
    const RunResult r = Run({QStringLiteral("--help")});
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, kOk);
    QStringList options;
    for (int i = 1; i <= 4; ++i)
        options << QStringLiteral("title%1").arg(i) << QStringLiteral("align%1").arg(i)
                << QStringLiteral("font%1").arg(i) << QStringLiteral("size%1").arg(i);
    options << "date"
            << "date-font"
            << "date-size"
            << "separator"
            << "start-row"
            << "error-log"
            << "fixed-rows"
            << "col-widths"
            << "row-heights"
            << "grid-font"
            << "grid-size"
            << "printer"
            << "pdf"
            << "paper"
            << "landscape"
            << "copies"
            << "print-dialog"
            << "preview"
            << "screenshot"
            << "page"
            << "layout";
    for (const QString& option : options)
        EXPECT_TRUE(r.out.contains(QStringLiteral("--") + option + QLatin1Char(' ')) ||
                    r.out.contains(QStringLiteral("--") + option + QLatin1Char('\n')))
            << "--" << S(option) << " is not in the help text";
}

TEST_F(ReportCommandTest, AnUnterminatedQuoteNamesTheFileAndTheLineWhereItOpened) {
    const QString csv = WriteFile(dir, QStringLiteral("broken.csv"), "a,b\n1,2\n3,\"never\nclosed\n4,5\n");
    const QString pdf = Path(QStringLiteral("broken.pdf"));
    const RunResult r = Run({csv, QStringLiteral("--pdf"), pdf});
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, kUsage);
    EXPECT_TRUE(r.err.contains(csv + QStringLiteral(":3:"))) << S(r.err);
    EXPECT_TRUE(r.err.contains(QStringLiteral("not closed"))) << S(r.err);
    EXPECT_FALSE(QFile::exists(pdf));
}

TEST_F(ReportCommandTest, OtherMalformedLinesAreNamedToo) {
    const QString stray = WriteFile(dir, QStringLiteral("stray.csv"), "a,b\r\n1,2\r\n3,x\"y\r\n");
    RunResult r = Run({stray, QStringLiteral("--layout")});
    EXPECT_EQ(r.exitCode, kUsage);
    EXPECT_TRUE(r.err.contains(stray + QStringLiteral(":3:"))) << S(r.err);
    EXPECT_TRUE(r.out.isEmpty()) << S(r.out);

    const QString after = WriteFile(dir, QStringLiteral("after.csv"), "a,b\n\"x\"y,2\n");
    r = Run({after, QStringLiteral("--layout")});
    EXPECT_EQ(r.exitCode, kUsage);
    EXPECT_TRUE(r.err.contains(after + QStringLiteral(":2:"))) << S(r.err);

    const QString latin1 = WriteFile(dir, QStringLiteral("latin1.csv"), "a,b\n1,2\nZ\xfcrich,3\n");
    r = Run({latin1, QStringLiteral("--layout")});
    EXPECT_EQ(r.exitCode, kUsage);
    EXPECT_TRUE(r.err.contains(latin1 + QStringLiteral(":3:"))) << S(r.err);
    EXPECT_TRUE(r.err.contains(QStringLiteral("UTF-8"))) << S(r.err);
}

TEST_F(ReportCommandTest, AnEmptyFileIsRefused) {
    for (const QByteArray& bytes : {QByteArray(), QByteArray("\xEF\xBB\xBF"), QByteArray("\n\n\r\n")}) {
        const QString csv = WriteFile(dir, QStringLiteral("empty.csv"), bytes);
        const RunResult r = Run({csv, QStringLiteral("--pdf"), Path(QStringLiteral("empty.pdf"))});
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(r.exitCode, kUsage) << bytes.toHex().toStdString();
        EXPECT_TRUE(r.err.contains(csv + QStringLiteral(":1:"))) << S(r.err);
        EXPECT_TRUE(r.err.contains(QStringLiteral("no rows"))) << S(r.err);
        EXPECT_FALSE(QFile::exists(Path(QStringLiteral("empty.pdf"))));
    }
}

// A file of one line is its heading row alone: a report with no data rows, printed as the
// engine lays out a grid of one row, on one page with the headings.
TEST_F(ReportCommandTest, AFileOfOneLinePrintsItsHeadingsOnOnePage) {
    const QString csv = WriteFile(dir, QStringLiteral("one.csv"), "Name,Town,Amount\n");
    const QString pdf = Path(QStringLiteral("one.pdf"));
    RunResult r = Run({csv, QStringLiteral("--pdf"), pdf});
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, kOk) << S(r.err);
    const PdfDoc doc = ReadPdf(pdf);
    ASSERT_EQ(doc.pages, 1);
    for (const char* word : {"Name", "Town", "Amount"})
        EXPECT_NE(doc.Find(QLatin1String(word), 1), nullptr) << word;
    EXPECT_TRUE(doc.pageTexts[0].contains(QStringLiteral("Page 1 of 1")));

    r = Run({csv, QStringLiteral("--layout"), QStringLiteral("--pdf"), pdf});
    EXPECT_EQ(r.exitCode, kOk);
    EXPECT_EQ(ParseLayout(r.out).pages, 1);
}

TEST_F(ReportCommandTest, AMissingOrUnreadableFileIsBadUsage) {
    const QString missing = Path(QStringLiteral("missing.csv"));
    RunResult r = Run({missing, QStringLiteral("--layout")});
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, kUsage);
    EXPECT_TRUE(r.err.contains(missing)) << S(r.err);
    EXPECT_TRUE(r.err.contains(QStringLiteral("cannot read"))) << S(r.err);

    r = Run({dir.path(), QStringLiteral("--layout")});
    EXPECT_EQ(r.exitCode, kUsage);
    EXPECT_TRUE(r.err.contains(QStringLiteral("cannot read"))) << S(r.err);
}

TEST_F(ReportCommandTest, BadUsageIsExitTwoWithTheOptionNamed) {
    const QString csv = WriteFile(dir, QStringLiteral("t.csv"), TableCsv(5, 3));
    const QString pdf = Path(QStringLiteral("t.pdf"));
    struct Case {
        QStringList arguments;
        QString mentions;
    };
    const std::vector<Case> cases = {
        {{}, QStringLiteral("CSV file")},
        {{csv, csv}, QStringLiteral("CSV file")},
        {{csv, QStringLiteral("--no-such-option")}, QStringLiteral("no-such-option")},
        {{csv, QStringLiteral("--align1"), QStringLiteral("middle")}, QStringLiteral("--align1")},
        {{csv, QStringLiteral("--title2"), QStringLiteral("T"), QStringLiteral("--size2"),
          QStringLiteral("0")},
         QStringLiteral("--size2")},
        {{csv, QStringLiteral("--size3"), QStringLiteral("big")}, QStringLiteral("--size3")},
        {{csv, QStringLiteral("--date-size"), QStringLiteral("-4")}, QStringLiteral("--date-size")},
        {{csv, QStringLiteral("--grid-size"), QStringLiteral("501")}, QStringLiteral("--grid-size")},
        {{csv, QStringLiteral("--start-row"), QStringLiteral("-1")}, QStringLiteral("--start-row")},
        {{csv, QStringLiteral("--start-row"), QStringLiteral("0")}, QStringLiteral("--start-row")},
        {{csv, QStringLiteral("--fixed-rows"), QStringLiteral("2")}, QStringLiteral("--fixed-rows")},
        {{csv, QStringLiteral("--col-widths"), QStringLiteral("1000,,2000")}, QStringLiteral("--col-widths")},
        {{csv, QStringLiteral("--row-heights"), QStringLiteral("tall")}, QStringLiteral("--row-heights")},
        {{csv, QStringLiteral("--paper"), QStringLiteral("B5")}, QStringLiteral("--paper")},
        {{csv, QStringLiteral("--copies"), QStringLiteral("0")}, QStringLiteral("--copies")},
        {{csv, QStringLiteral("--copies"), QStringLiteral("two")}, QStringLiteral("--copies")},
        {{csv, QStringLiteral("--screenshot"), Path(QStringLiteral("s.png")), QStringLiteral("--page"),
          QStringLiteral("0")},
         QStringLiteral("--page")},
        {{csv, QStringLiteral("--page"), QStringLiteral("2")}, QStringLiteral("--screenshot")},
        {{csv, QStringLiteral("--pdf"), pdf, QStringLiteral("--printer"), QStringLiteral("Office")},
         QStringLiteral("--printer")},
        {{csv, QStringLiteral("--layout"), QStringLiteral("--screenshot"), Path(QStringLiteral("s.png"))},
         QStringLiteral("exclude")},
        // Offscreen no window can wait for a user.
        {{csv, QStringLiteral("--preview")}, QStringLiteral("display")},
        {{csv, QStringLiteral("--print-dialog"), QStringLiteral("--pdf"), pdf}, QStringLiteral("display")},
    };
    for (const Case& c : cases) {
        const RunResult r = Run(c.arguments);
        const std::string label = S(c.arguments.join(QLatin1Char(' ')));
        ASSERT_TRUE(r.finished) << label;
        EXPECT_EQ(r.exitCode, kUsage) << label << "\n" << S(r.err);
        EXPECT_TRUE(r.err.contains(c.mentions)) << label << "\n" << S(r.err);
        EXPECT_TRUE(r.out.isEmpty()) << label << "\n" << S(r.out);
    }
    EXPECT_FALSE(QFile::exists(pdf));
}

// Error log problems never end the run: the error itself is told on stderr, the log's
// failure after it, and the exit status is that of the error (1). A log that is never needed
// is never opened, so a run without errors still ends with 0.
TEST_F(ReportCommandTest, AnUnwritableErrorLogStillTellsTheErrorOnStderr) {
    const QString csv = WriteFile(dir, QStringLiteral("t.csv"), TableCsv(40, 3));
    const QString noDir = Path(QStringLiteral("no/such/folder"));
    const QString log = noDir + QStringLiteral("/errors.log");
    RunResult r = Run({csv, QStringLiteral("--pdf"), noDir + QStringLiteral("/out.pdf"),
                       QStringLiteral("--error-log"), log});
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, kReported) << S(r.err);
    const qsizetype told = r.err.indexOf(QStringLiteral("Unable to print"));
    EXPECT_GE(told, 0) << S(r.err);
    EXPECT_GT(r.err.indexOf(QStringLiteral("cannot write the error log file")), told) << S(r.err);
    EXPECT_TRUE(r.err.contains(log)) << S(r.err);

    r = Run(
        {csv, QStringLiteral("--pdf"), Path(QStringLiteral("fine.pdf")), QStringLiteral("--error-log"), log});
    EXPECT_EQ(r.exitCode, kOk) << S(r.err);
    EXPECT_TRUE(QFile::exists(Path(QStringLiteral("fine.pdf"))));
}

// A run that fails on every page reports its error page after page: each report is logged,
// while stderr tells a repeated message once with the number of repeats.
TEST_F(ReportCommandTest, EveryReportedErrorIsLoggedAndAccountedForOnStderr) {
    const QString csv = WriteFile(dir, QStringLiteral("t.csv"), TableCsv(300, 3));
    const QString log = Path(QStringLiteral("errors.log"));
    const RunResult r = Run({csv, QStringLiteral("--pdf"), Path(QStringLiteral("no/out.pdf")),
                             QStringLiteral("--error-log"), log});
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, kReported);
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList logged =
        QString::fromLocal8Bit(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_GE(logged.size(), 1);
    for (const QString& line : logged)
        EXPECT_TRUE(line.split(QLatin1Char('\t')).value(1).startsWith(QLatin1String("PrinterComponent.900")))
            << S(line);
    static const QRegularExpression repeats(QStringLiteral("reported (\\d+) more times?$"));
    int told = 0;
    for (const QString& line : r.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (line.startsWith(QLatin1String("TELMO Preview: Unable to print - Error: ")))
            ++told;
        const QRegularExpressionMatch m = repeats.match(line);
        if (m.hasMatch())
            told += m.captured(1).toInt();
    }
    EXPECT_EQ(told, logged.size()) << S(r.err);
    if (logged.size() > 1) {
        EXPECT_LT(r.err.count(QStringLiteral("Unable to print")), logged.size())
            << "a repeated error is told once";
    }
}

TEST_F(ReportCommandTest, AnUnknownPrinterIsReportedAndNothingIsPrinted) {
    const QString csv = WriteFile(dir, QStringLiteral("t.csv"), TableCsv(20, 3));
    const RunResult r = Run({csv, QStringLiteral("--printer"), QStringLiteral("No Such Printer")});
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, kReported);
    EXPECT_TRUE(r.err.contains(QStringLiteral("\"No Such Printer\""))) << S(r.err);
    // The built-in PDF printer, the fallback when there is no spooler, writes here by default.
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("telmo-report.pdf"))));
    // Without --printer the same run does print there: the check above could have failed.
    const RunResult control = Run({csv});
    EXPECT_EQ(control.exitCode, kOk) << S(control.err);
    EXPECT_TRUE(QFile::exists(Path(QStringLiteral("telmo-report.pdf"))));
}

// Against a private scheduler with a default queue: an unknown printer must not fall back to it.
TEST_F(ReportCommandTest, AnUnknownPrinterNeverReachesTheDefaultQueue) {
    const QString script = QStringLiteral(TELMO_SOURCE_DIR "/scripts/private-cups.sh");
    if (!QFileInfo::exists(script))
        GTEST_SKIP() << "no private spooler script";
    QProcess start;
    start.start(QStringLiteral("sh"), {script, QStringLiteral("start"), QStringLiteral("--owner"),
                                       QString::number(QCoreApplication::applicationPid())});
    ASSERT_TRUE(start.waitForFinished(60000));
    if (start.exitCode() == 77)
        GTEST_SKIP() << "cupsd cannot run here";
    ASSERT_EQ(start.exitCode(), 0) << start.readAllStandardError().toStdString();
    QString server, root, out;
    for (const QString& line : QString::fromUtf8(start.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("CUPS_SERVER=")))
            server = line.mid(12);
        else if (line.startsWith(QLatin1String("TELMO_CUPS_ROOT=")))
            root = line.mid(16);
        else if (line.startsWith(QLatin1String("TELMO_CUPS_OUT=")))
            out = line.mid(15);
    }
    ASSERT_FALSE(server.isEmpty());
    struct Stop {
        QString script, root;
        ~Stop() { QProcess::execute(QStringLiteral("sh"), {script, QStringLiteral("stop"), root}); }
    } stop{script, root};
    const auto waitIdle = [&] {
        QProcess wait;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("CUPS_SERVER"), server);
        wait.setProcessEnvironment(env);
        wait.start(QStringLiteral("sh"), {script, QStringLiteral("wait-idle"), QStringLiteral("20")});
        wait.waitForFinished(30000);
    };
    const auto jobs = [&] { return QDir(out).entryList({QStringLiteral("job-*.pdf")}, QDir::Files).size(); };

    const QString csv = WriteFile(dir, QStringLiteral("t.csv"), TableCsv(20, 3));
    RunResult r =
        RunReport({csv, QStringLiteral("--printer"), QStringLiteral("pdfoutt")}, dir.path(), server);
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, kReported);
    EXPECT_TRUE(r.err.contains(QStringLiteral("\"pdfoutt\""))) << S(r.err);
    waitIdle();
    EXPECT_EQ(jobs(), 0);

    // The default queue is there and takes a job when it is asked for.
    r = RunReport({csv, QStringLiteral("--layout")}, dir.path(), server);
    EXPECT_EQ(ParseLayout(r.out).printer, QStringLiteral("pdfout"));
    r = RunReport({csv}, dir.path(), server);
    EXPECT_EQ(r.exitCode, kOk) << S(r.err);
    waitIdle();
    EXPECT_EQ(jobs(), 1);
}

// ---------------------------------------------------------------------------------------
// --layout against the engine

namespace {

// A grid shape, the command-line options that lay it out, and how the test builds the same
// grid in this process.
struct Shape {
    const char* name;
    int rows, cols;
    QStringList options;
    // By hand: column widths and row heights given in twips, the last repeating.
    std::vector<int32_t> colWidths, rowHeights;
    int fixedRows = 1;
    int32_t startRow = 0; // --start-row, 0 when not given
    int16_t paper = Printer::kPaperA4;
    bool landscape = false;
    // What the shape is for, so that a change of page size cannot quietly empty the test.
    int expectMode;
    bool expectSeveralPages;
};

class LayoutTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        ASSERT_TRUE(dir.isValid());
    }
    void TearDown() override {
        Printers::SetCurrent(std::make_unique<RecordingPrinter>());
        EngineTest::TearDown();
    }

    // The grid the command builds from the file: through the command's own grid builder when
    // the sizes are fitted, otherwise set up here from the shape's sizes.
    std::shared_ptr<GridControl> ExpectedGrid(const Shape& shape, const QString& csvPath) {
        if (shape.colWidths.empty()) {
            CsvTable table;
            CsvError error;
            EXPECT_TRUE(ReadCsvFile(csvPath, table, error)) << S(error.message);
            app::GridOptions options;
            options.fixedRows = shape.fixedRows;
            options.rowHeights = shape.rowHeights;
            return app::BuildReportGrid(table, options);
        }
        auto grid = std::make_shared<GridControl>();
        grid->SetRows(shape.rows);
        grid->SetCols(shape.cols);
        grid->SetFixedRows(static_cast<int16_t>(std::min(shape.fixedRows, shape.rows)));
        grid->SetFixedCols(1);
        for (int r = 0; r < shape.rows; ++r)
            for (int c = 0; c < shape.cols; ++c)
                grid->SetTextMatrix(r, c, CellText(r, c));
        const auto pick = [](const std::vector<int32_t>& v, int i) {
            return v[std::min<size_t>(static_cast<size_t>(i), v.size() - 1)];
        };
        for (int c = 0; c < shape.cols; ++c)
            grid->SetColWidth(c, pick(shape.colWidths, c));
        if (!shape.rowHeights.empty())
            for (int r = 0; r < shape.rows; ++r)
                grid->SetRowHeight(r, pick(shape.rowHeights, r));
        return grid;
    }

    void Check(const Shape& shape) {
        SCOPED_TRACE(shape.name);
        const QString csv = WriteFile(dir, QStringLiteral("%1.csv").arg(QLatin1String(shape.name)),
                                      TableCsv(shape.rows, shape.cols));
        QStringList arguments{csv, QStringLiteral("--layout"), QStringLiteral("--pdf"),
                              dir.filePath(QStringLiteral("unused.pdf"))};
        arguments << shape.options;
        const RunResult run = RunReport(arguments, dir.path());
        ASSERT_TRUE(run.finished);
        ASSERT_EQ(run.exitCode, kOk) << S(run.err);
        const Layout got = ParseLayout(run.out);

        // The same job in this process.
        Printers::SetPdfOutputFile(dir.filePath(QStringLiteral("in-process.pdf")));
        Printers::SelectByName(Printers::BuiltInPdfName());
        Printer& printer = Printers::Current();
        printer.SetPaperSize(shape.paper);
        if (shape.landscape)
            printer.SetOrientation(Printer::kLandscape);
        auto grid = ExpectedGrid(shape, csv);
        JobState& s = State();
        s.SourceGridObj = grid;
        // As the command hands it to the component: through the member, which keeps one less.
        if (shape.startRow > 0)
            IPrinter().StartRow(Variant(shape.startRow));
        s.FixedRowCount = grid->FixedRows();
        CalculagePrintDataSettings();
        ASSERT_TRUE(messages.empty()) << S(messages.front().text);

        EXPECT_EQ(got.printer, printer.DeviceName());
        EXPECT_NEAR(got.scaleWidth, printer.ScaleWidth(), 0.05);
        EXPECT_NEAR(got.scaleHeight, printer.ScaleHeight(), 0.05);
        EXPECT_EQ(got.mode, s.PaginationMode);
        EXPECT_EQ(got.pages, s.TotalPages);
        QStringList expected;
        for (int page = 1; page <= s.TotalPages; ++page) {
            const PageBlock& b = s.PageBlocks[static_cast<size_t>(page)];
            expected << QStringLiteral("page\t%1\t%2\t%3\t%4\t%5")
                            .arg(page)
                            .arg(static_cast<double>(b.StartRow))
                            .arg(static_cast<double>(b.EndRow))
                            .arg(static_cast<double>(b.StartCol))
                            .arg(static_cast<double>(b.EndCol));
        }
        ASSERT_EQ(got.pageLines.size(), expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i)
            EXPECT_EQ(S(got.pageLines[i]), S(expected[i])) << "line " << i + 1;

        EXPECT_EQ(s.PaginationMode, shape.expectMode);
        EXPECT_EQ(s.TotalPages > 1, shape.expectSeveralPages) << s.TotalPages << " pages";
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(LayoutTest, NarrowAndTallSplitsByRows) {
    Check({"narrow", 260, 3, {}, {}, {}, 1, 0, Printer::kPaperA4, false, kRowsSplit, true});
}

TEST_F(LayoutTest, WideSplitsByColumns) {
    Check({"wide", 8, 40, {}, {}, {}, 1, 0, Printer::kPaperA4, false, kColumnsSplit, true});
}

TEST_F(LayoutTest, WideAndTallSplitsBothWays) {
    Check({"both", 150, 30, {}, {}, {}, 1, 0, Printer::kPaperA4, false, kRowsAndColumnsSplit, true});
}

TEST_F(LayoutTest, OneRow) {
    Check({"one-row", 1, 5, {}, {}, {}, 1, 0, Printer::kPaperA4, false, kOnePage, false});
    Check({"one-wide-row", 1, 60, {}, {}, {}, 1, 0, Printer::kPaperA4, false, kColumnsSplit, true});
}

TEST_F(LayoutTest, OneColumn) {
    Check({"one-col", 20, 1, {}, {}, {}, 1, 0, Printer::kPaperA4, false, kOnePage, false});
    Check({"one-tall-col", 200, 1, {}, {}, {}, 1, 0, Printer::kPaperA4, false, kRowsSplit, true});
}

TEST_F(LayoutTest, WithoutAHeadingRow) {
    const QStringList options{QStringLiteral("--fixed-rows"), QStringLiteral("0")};
    Check({"no-heading", 12, 4, options, {}, {}, 0, 0, Printer::kPaperA4, false, kOnePage, false});
    Check({"no-heading-tall", 120, 4, options, {}, {}, 0, 0, Printer::kPaperA4, false, kRowsSplit, true});
}

TEST_F(LayoutTest, GivenColumnWidthsAndRowHeightsRepeatTheirLastValue) {
    Check({"sized",
           70,
           15,
           {QStringLiteral("--col-widths"), QStringLiteral("1500, 2600,900"), QStringLiteral("--row-heights"),
            QStringLiteral("400,250,900")},
           {1500, 2600, 900},
           {400, 250, 900},
           1,
           0,
           Printer::kPaperA4,
           false,
           kRowsAndColumnsSplit,
           true});
    // Only the heights given; the widths stay fitted to the texts.
    Check({"tall-rows",
           30,
           4,
           {QStringLiteral("--row-heights"), QStringLiteral("2000")},
           {},
           {2000},
           1,
           0,
           Printer::kPaperA4,
           false,
           kRowsSplit,
           true});
}

TEST_F(LayoutTest, PaperOrientationAndStartRow) {
    Check({"letter-landscape",
           90,
           14,
           {QStringLiteral("--paper"), QStringLiteral("Letter"), QStringLiteral("--landscape")},
           {},
           {},
           1,
           0,
           Printer::kPaperLetter,
           true,
           kRowsSplit,
           true});
    Check({"start-row",
           25,
           5,
           {QStringLiteral("--paper"), QStringLiteral("a5"), QStringLiteral("--start-row"),
            QStringLiteral("7")},
           {},
           {},
           1,
           7,
           Printer::kPaperA5,
           false,
           kOnePage,
           false});
}

// ---------------------------------------------------------------------------------------
// --pdf pages against the layout

namespace {

QSet<QString> CellWordsOn(const PdfDoc& doc, int page) {
    static const QRegularExpression cell(QStringLiteral("^r\\d+c\\d+$"));
    QSet<QString> words;
    for (const PdfWord& word : doc.WordsOn(page))
        if (cell.match(word.text).hasMatch())
            words.insert(word.text);
    return words;
}

} // namespace

TEST_F(ReportCommandTest, EveryPdfPageHoldsItsBlockUnderTheTitles) {
    const QString csv = WriteFile(dir, QStringLiteral("t.csv"), TableCsv(140, 22));
    const QString pdf = Path(QStringLiteral("t.pdf"));
    const QStringList common{csv,
                             QStringLiteral("--pdf"),
                             pdf,
                             QStringLiteral("--title1"),
                             QStringLiteral("Quarterly stock"),
                             QStringLiteral("--title2"),
                             QStringLiteral("Second line"),
                             QStringLiteral("--align2"),
                             QStringLiteral("left"),
                             QStringLiteral("--date"),
                             QStringLiteral("Printed today")};
    const RunResult layoutRun = Run(QStringList(common) << QStringLiteral("--layout"));
    ASSERT_EQ(layoutRun.exitCode, kOk) << S(layoutRun.err);
    EXPECT_FALSE(QFile::exists(pdf)) << "--layout must not print";
    const Layout layout = ParseLayout(layoutRun.out);
    ASSERT_GT(layout.pages, 2);
    ASSERT_EQ(static_cast<int>(layout.blocks.size()), layout.pages);

    const RunResult printRun = Run(common);
    ASSERT_EQ(printRun.exitCode, kOk) << S(printRun.err);
    EXPECT_FALSE(printRun.err.contains(QStringLiteral("Unable"))) << S(printRun.err);
    const PdfDoc doc = ReadPdf(pdf);
    ASSERT_EQ(doc.pages, layout.pages);
    for (int page = 1; page <= layout.pages; ++page) {
        SCOPED_TRACE(page);
        const Layout::Block& b = layout.blocks[static_cast<size_t>(page - 1)];
        const QString& text = doc.pageTexts[page - 1];
        EXPECT_TRUE(text.contains(QStringLiteral("Page %1 of %2").arg(page).arg(layout.pages)));
        EXPECT_TRUE(text.contains(QStringLiteral("Quarterly stock")));
        EXPECT_TRUE(text.contains(QStringLiteral("Second line")));
        EXPECT_TRUE(text.contains(QStringLiteral("Printed today")));
        // The heading row over the block's columns and the heading column beside its rows.
        EXPECT_NE(doc.Find(CellText(0, 0), page), nullptr);
        for (int c = b.startCol; c <= b.endCol; ++c)
            EXPECT_NE(doc.Find(CellText(0, c), page), nullptr) << "heading " << c;
        for (int r = b.startRow; r <= b.endRow; ++r)
            EXPECT_NE(doc.Find(CellText(r, 0), page), nullptr) << "heading of row " << r;
        // Exactly the block's cells.
        QSet<QString> expected;
        for (int r = b.startRow; r <= b.endRow; ++r)
            for (int c = b.startCol; c <= b.endCol; ++c)
                expected.insert(CellText(r, c));
        EXPECT_EQ(CellWordsOn(doc, page), expected);
    }
}

TEST_F(ReportCommandTest, ACopiesPaperAndOrientationRunReadsBack) {
    const QString csv = WriteFile(dir, QStringLiteral("t.csv"), TableCsv(6, 4));
    const QString pdf = Path(QStringLiteral("small.pdf"));
    const RunResult r =
        Run({csv, QStringLiteral("--pdf"), pdf, QStringLiteral("--paper"), QStringLiteral("A5"),
             QStringLiteral("--landscape"), QStringLiteral("--title3"), QStringLiteral("Third")});
    ASSERT_EQ(r.exitCode, kOk) << S(r.err);
    const PdfDoc doc = ReadPdf(pdf);
    ASSERT_EQ(doc.pages, 1);
    // A5 landscape: 210 x 148 mm.
    EXPECT_NEAR(doc.pageWidthPt, 595.3, 2);
    EXPECT_NEAR(doc.pageHeightPt, 419.5, 2);
    EXPECT_TRUE(doc.pageTexts[0].contains(QStringLiteral("Page 1 of 1")));
    EXPECT_TRUE(doc.pageTexts[0].contains(QStringLiteral("Third")));
    EXPECT_EQ(CellWordsOn(doc, 1).size(), 5 * 3);
}

// ---------------------------------------------------------------------------------------
// CSV reading

namespace {

struct Parsed {
    bool ok = false;
    CsvTable table;
    QString error;
};

Parsed Parse(const QString& text) {
    Parsed p;
    CsvError error;
    p.ok = app::ParseCsv(text, QStringLiteral("in.csv"), p.table, error);
    p.error = error.message;
    return p;
}

std::vector<QStringList> Rows(const Parsed& p) {
    return p.table.rows;
}

} // namespace

TEST(CsvReader, PlainFieldsAndRecords) {
    const Parsed p = Parse(QStringLiteral("a,b,c\n1,2,3\n"));
    ASSERT_TRUE(p.ok) << S(p.error);
    EXPECT_EQ(Rows(p), (std::vector<QStringList>{{"a", "b", "c"}, {"1", "2", "3"}}));
    EXPECT_EQ(p.table.maxFields, 3);
}

TEST(CsvReader, QuotedFieldsKeepCommasQuotesAndLineBreaks) {
    const Parsed p =
        Parse(QStringLiteral("name,note\n\"Smith, Jo\",\"said \"\"hi\"\"\"\n\"two\nlines\",\"\"\n"));
    ASSERT_TRUE(p.ok) << S(p.error);
    EXPECT_EQ(Rows(p),
              (std::vector<QStringList>{{"name", "note"}, {"Smith, Jo", "said \"hi\""}, {"two\nlines", ""}}));
}

TEST(CsvReader, CrlfLineEndsAndLineBreaksInsideFields) {
    const Parsed p = Parse(QStringLiteral("a,b\r\n\"x\r\ny\",2\r\n3,\"4\"\r\n"));
    ASSERT_TRUE(p.ok) << S(p.error);
    // A line break in a field reads as a line feed, whatever the file used.
    EXPECT_EQ(Rows(p), (std::vector<QStringList>{{"a", "b"}, {"x\ny", "2"}, {"3", "4"}}));
}

TEST(CsvReader, TheLastRecordNeedsNoLineEnd) {
    EXPECT_EQ(Rows(Parse(QStringLiteral("a,b\n1,2"))), (std::vector<QStringList>{{"a", "b"}, {"1", "2"}}));
    EXPECT_EQ(Rows(Parse(QStringLiteral("a,b\n\"1\",\"2\""))),
              (std::vector<QStringList>{{"a", "b"}, {"1", "2"}}));
    EXPECT_EQ(Rows(Parse(QStringLiteral("a,"))), (std::vector<QStringList>{{"a", ""}}));
}

TEST(CsvReader, EmptyFieldsUnevenRecordsAndBlankLines) {
    const Parsed p = Parse(QStringLiteral("a,b,c\n,,\n1\n\n\"\"\nx,y,z,w\n\n\r\n"));
    ASSERT_TRUE(p.ok) << S(p.error);
    // A blank line between records is an empty record; blank lines at the end are no records.
    EXPECT_EQ(Rows(p), (std::vector<QStringList>{
                           {"a", "b", "c"}, {"", "", ""}, {"1"}, {""}, {""}, {"x", "y", "z", "w"}}));
    EXPECT_EQ(p.table.maxFields, 4);
}

TEST(CsvReader, SpacesArePartOfTheirField) {
    EXPECT_EQ(Rows(Parse(QStringLiteral(" a , b\n"))), (std::vector<QStringList>{{" a ", " b"}}));
}

TEST(CsvReader, MalformedInputNamesTheFileAndLine) {
    Parsed p = Parse(QStringLiteral("a,b\n1,\"open\nstill\nopen"));
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(S(p.error), "in.csv:2: quoted field is not closed");
    p = Parse(QStringLiteral("a,b\n\"x\ny\",2\n3,4\"\n"));
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(S(p.error), "in.csv:4: quote inside an unquoted field");
    p = Parse(QStringLiteral("a,b\r\n\"x\" ,2\r\n"));
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(S(p.error), "in.csv:2: unexpected character after a closing quote");
    p = Parse(QString());
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(S(p.error), "in.csv:1: the file holds no rows");
}

TEST(CsvReader, FilesAreUtf8WithOrWithoutAByteOrderMark) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray body = QStringLiteral("Stadt,Menge\nZürich,3\n東京,4\n\"naïve, 😀\",5\n").toUtf8();
    for (const QByteArray& bytes : {body, QByteArray("\xEF\xBB\xBF") + body}) {
        const QString path = WriteFile(dir, QStringLiteral("u.csv"), bytes);
        CsvTable table;
        CsvError error;
        ASSERT_TRUE(app::ReadCsvFile(path, table, error)) << S(error.message);
        EXPECT_EQ(table.rows, (std::vector<QStringList>{{QStringLiteral("Stadt"), QStringLiteral("Menge")},
                                                        {QStringLiteral("Zürich"), QStringLiteral("3")},
                                                        {QStringLiteral("東京"), QStringLiteral("4")},
                                                        {QStringLiteral("naïve, 😀"), QStringLiteral("5")}}));
    }
    // A byte order mark only counts at the very start.
    const QString path = WriteFile(dir, QStringLiteral("bom2.csv"), "a\n\xEF\xBB\xBFz\n");
    CsvTable table;
    CsvError error;
    ASSERT_TRUE(app::ReadCsvFile(path, table, error));
    EXPECT_EQ(table.rows[1][0], QStringLiteral("\uFEFFz"));
}

TEST(CsvReader, InvalidUtf8IsNamedWithItsLine) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::vector<std::pair<QByteArray, int>> cases = {
        {"a\nb\n\xC3(\n", 3},                  // a lead byte without its continuation
        {"a\n\xE2\x82\n", 2},                  // cut short at the line end
        {"\xC0\xAF,x\n", 1},                   // an overlong form
        {"ok\nok\n\"x\ny\xED\xA0\x80\"\n", 4}, // a surrogate, inside a quoted field's second line
    };
    for (const auto& [bytes, line] : cases) {
        const QString path = WriteFile(dir, QStringLiteral("bad.csv"), bytes);
        CsvTable table;
        CsvError error;
        EXPECT_FALSE(app::ReadCsvFile(path, table, error)) << bytes.toHex().toStdString();
        EXPECT_EQ(S(error.message), S(QStringLiteral("%1:%2: not valid UTF-8 text").arg(path).arg(line)))
            << bytes.toHex().toStdString();
    }
}

// The fields as the command prints them: commas, quotes, line breaks and non-ASCII text reach
// the PDF intact (a line break in a cell is drawn as a space).
TEST_F(ReportCommandTest, QuotedFieldsReachThePrintedPage) {
    const QString csv = WriteFile(dir, QStringLiteral("q.csv"),
                                  QStringLiteral("\xEF\xBB\xBFItem,\"Name, full\",Note\r\n"
                                                 "1,\"Smith, Jo\",\"said \"\"hello\"\"\"\r\n"
                                                 "2,Zoë Ångström,\"first\r\nsecond\"\r\n")
                                      .toUtf8());
    const QString pdf = Path(QStringLiteral("q.pdf"));
    const RunResult r = Run({csv, QStringLiteral("--pdf"), pdf});
    ASSERT_EQ(r.exitCode, kOk) << S(r.err);
    const PdfDoc doc = ReadPdf(pdf);
    ASSERT_EQ(doc.pages, 1);
    const QString& text = doc.pageTexts[0];
    for (const char* expected :
         {"Item", "Name, full", "Smith, Jo", "said \"hello\"", "Zoë Ångström", "first second"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << "\n" << S(text);
    EXPECT_FALSE(text.contains(QChar(0xFEFF)));
}

// Fitted columns are measured as the grid measures a cell's text before it shortens it.
TEST(ReportGrid, FittedColumnsHoldTheirWidestTextUnshortened) {
    CsvTable table;
    table.rows = {{QStringLiteral("id"), QStringLiteral("name")},
                  {QStringLiteral("1"), QStringLiteral("WWWWWWWW")},
                  {QStringLiteral("2"), QStringLiteral("iiii\nii")}};
    table.maxFields = 2;
    const auto grid = app::BuildReportGrid(table, app::GridOptions{});
    const double widest = grid->TextWidth(QStringLiteral("WWWWWWWW"));
    EXPECT_GT(widest, grid->TextWidth(QStringLiteral("iiii ii")));
    EXPECT_EQ(grid->TextWidth(QStringLiteral("iiii\nii")), grid->TextWidth(QStringLiteral("iiii ii")));
    // Room for the text between the cell margins, and not much more.
    EXPECT_GE(grid->ColWidth(1) - 2 * GridControl::kCellMarginX, widest);
    EXPECT_LE(grid->ColWidth(1), widest + 4 * GridControl::kCellMarginX + 1);
    EXPECT_EQ(grid->Rows(), 3);
    EXPECT_EQ(grid->FixedRows(), 1);
    EXPECT_EQ(grid->FixedCols(), 1);
    EXPECT_EQ(grid->TextMatrix(2, 1), QStringLiteral("iiii\nii"));
}

TEST_F(ReportCommandTest, AScreenshotOfAPreviewPage) {
    const QString csv = WriteFile(dir, QStringLiteral("t.csv"), TableCsv(200, 4));
    const QString png = Path(QStringLiteral("page2.png"));
    RunResult r =
        Run({csv, QStringLiteral("--screenshot"), png, QStringLiteral("--page"), QStringLiteral("2")});
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, kOk) << S(r.err);
    const QImage image(png);
    ASSERT_FALSE(image.isNull());
    EXPECT_GT(image.width(), 100);
    EXPECT_GT(image.height(), 100);

    r = Run({csv, QStringLiteral("--screenshot"), Path(QStringLiteral("page99.png")),
             QStringLiteral("--page"), QStringLiteral("99")});
    EXPECT_EQ(r.exitCode, kUsage);
    EXPECT_TRUE(r.err.contains(QStringLiteral("--page 99"))) << S(r.err);
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("page99.png"))));
}
