// The built telmo-report run offscreen on CSV files written here: --layout against the engine run
// in-process on the same grid, PDFs read back, and the CSV reader and grid builder directly.
#include "app/CsvReader.h"
#include "app/ReportGrid.h"
#include "component/IPrinter.h"
#include "component/JobState.h"
#include "engine/PrintDataSettings.h"
#include "platform/grid/GridControl.h"
#include "platform/print/Printer.h"
#include "support/CommandRun.h"
#include "support/EngineFixture.h"
#include "support/PdfText.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace telmo;
using namespace telmo::test;
using telmo::app::CsvError;
using telmo::app::CsvTable;
using Rows = std::vector<QStringList>;

namespace {

constexpr int kOk = 0, kReported = 1, kUsage = 2;

// One --layout output: its heading lines by key, and its "page" lines as written.
struct Layout {
    explicit Layout(const QString& out) {
        for (const QString& line : out.split('\n', Qt::SkipEmptyParts))
            if (line.startsWith("page\t"))
                pageLines << line;
            else
                head[line.section('\t', 0, 0)] = line.split('\t').mid(1);
    }
    QMap<QString, QStringList> head;
    QStringList pageLines;
    int Pages() const { return head.value("pages").value(0, "-1").toInt(); }
};

class ReportCommandTest : public EngineTest {
protected:
    QString Path(const QString& name) const { return dir.filePath(name); }
    QString Write(const QString& name, const QByteArray& bytes) { return WriteFile(Path(name), bytes); }
    RunResult Run(const QStringList& arguments, bool runtimeDir = true) {
        return RunProgram(TELMO_REPORT_BINARY, arguments, CommandEnvironment(dir.path(), runtimeDir));
    }
    // The records of a CSV file read record by record, as the command reads into its grid, a chunk
    // of bytes at a time (separator 0: guessed); after an error, only its message.
    Rows Records(const QByteArray& bytes, QChar delimiter, qsizetype chunk) {
        Rows read;
        CsvError error;
        const auto sink = [&read](QStringList& fields) { read.push_back(fields); };
        return app::ReadCsvFile(Write("in.csv", bytes), sink, error, delimiter, chunk)
                   ? read
                   : Rows{{error.message}};
    }
    QTemporaryDir dir;
};

} // namespace

// Bad files and bad options: exit 2, the file (with its line) or the option named, nothing printed.
TEST_F(ReportCommandTest, BadUsageIsExitTwoNamingTheFileOrOption) {
    int files = 0;
    const auto file = [&](const QByteArray& bytes) { return Write(QString("f%1.csv").arg(++files), bytes); };
    const QString csv = file(TableCsv(5, 3)), pdf = Path("t.pdf"), png = Path("s.png");
    // clang-format off
    const std::vector<std::pair<QStringList, QString>> cases = { // "$0" stands for the first argument
        {{file("\xEF\xBB\xBF\n\n\r\n"), "--layout"}, "$0:1: the file holds no rows"},
        {{file("h,a,b\n"), "--pdf", pdf}, "$0: no data rows"},       // a heading row alone
        {{Path(QString("f%1.csv").arg(files)), "--layout"}, "$0: no data rows"}, // nor laid out
        {{file(TableCsv(300, 3)), "--start-row", "5", "--layout"}, "--start-row 5: the rows of $0 from row 5 on are "
         "more than one page, and a report of several pages always begins at row 1"},
        {{file(TableCsv(5, 40)), "--start-row", "2", "--pdf", pdf}, "--start-row 2: $0 is wider than the page"},
        {{csv, "--start-row", "6", "--pdf", pdf}, "--start-row 6 is past the last row of $0"},
        {{file("a\nb\n"), "--col-widths", "20000", "--pdf", pdf}, "$0: the only column is 20000 twips wide"},
        {{Path(QString("f%1.csv").arg(files)), "--col-widths", "20000", "--layout"}, "$0: the only column is"},
        {{file(TableCsv(32800, 2)), "--row-heights", "300,12000", "--pdf", pdf},
         "$0: the report would need more than 32,766 pages"},
        {{file(QByteArray("h").append(QByteArray(",1").repeated(32766)) + "\nr" + QByteArray(",2").repeated(32766) + "\n"),
          "--pdf", pdf}, "$0: the file has 32,766 columns after the heading column, more than the 32,765"},
        {{Path(QString("f%1.csv").arg(files)), "--layout"}, "$0: the file has 32,766 columns"}, // nor laid out
        {{Path("missing.csv"), "--pdf", pdf}, "$0: cannot read"},
        {{"/dev/zero", "--layout"}, "$0:1: a field or record of more than 16 MB"},
        {{csv, "--encoding", "klingon"}, "--encoding klingon: not an encoding"},
        {{file("id,name\n1,Ann\n2,Bob,extra,far\n"), "--columns", "id,Nope", "--pdf", pdf}, "$0 has no column headed \"Nope\""},
        {{Path(QString("f%1.csv").arg(files)), "--columns", "id,5", "--pdf", pdf},
         "$0 has no column 5; give headings of line 1 or numbers from 1 to 4: 1 \"id\", 2 \"name\", 3 \"\", 4 \"\""},
        {{}, "CSV file"},
        {{csv, csv}, "CSV file"},
        {{csv, "--no-such-option"}, "no-such-option"},
        {{csv, "--align1", "middle"}, "--align1"},
        {{csv, "--col-widths", "1000,,2000"}, "--col-widths"},
        {{csv, "--paper", "B5"}, "--paper"},
        {{csv, "--grid-size", "0"}, "--grid-size needs a size in points above 0"},
        {{csv, "--copies", "0"}, "--copies"},
        {{csv, "--page", "2"}, "--screenshot"},
        {{csv, "--screenshot", png, "--page", "99"}, "--page 99"}, // past the last page
        {{csv, "--pdf", pdf, "--printer", "Office"}, "--printer"},
        {{csv, "--layout", "--screenshot", png}, "exclude"},
        {{csv, "--print-dialog", "--pdf", pdf}, "--print-dialog needs a display"}, // none waits for a user
        {{csv, "--preview"}, "--preview needs a display"},
    };
    // clang-format on
    for (const auto& [arguments, mentions] : cases) {
        SCOPED_TRACE(S(arguments.join(' ')));
        const RunResult r = Run(arguments);
        EXPECT_EQ(r.exitCode, kUsage) << S(r.err);
        EXPECT_TRUE(r.err.contains(QString(mentions).replace("$0", arguments.value(0)))) << S(r.err);
        EXPECT_TRUE(r.out.isEmpty()) << S(r.out);
    }
    EXPECT_FALSE(QFile::exists(pdf) || QFile::exists(png));
}

// Every report is logged and told on stderr (a repeated message once, with the number of repeats).
// A log never needed is never opened, so one that cannot be written is no error then.
TEST_F(ReportCommandTest, ReportedErrorsAreExitOneLoggedAndTold) {
    const QString csv = Write("t.csv", TableCsv(300, 3)), log = Path("errors.log");
    RunResult r = Run({csv, "--pdf", Path("no/out.pdf"), "--error-log", log});
    EXPECT_EQ(r.exitCode, kReported);
    const QStringList logged = QString::fromLocal8Bit(ReadFile(log)).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_GE(logged.size(), 1);
    for (const QString& line : logged)
        EXPECT_TRUE(line.split('\t').value(1).startsWith("PrinterComponent.900")) << S(line);
    static const QRegularExpression repeats("reported (\\d+) more times?$");
    int told = 0;
    for (const QString& line : r.err.split('\n', Qt::SkipEmptyParts))
        told += line.startsWith("telmo-report: could not print the report: ") +
                repeats.match(line).captured(1).toInt();
    EXPECT_EQ(told, logged.size()) << S(r.err);
    // In the command's words, naming the folder that is not there; once, not per page.
    EXPECT_EQ(r.err.count("(error 482); the folder " + Path("no") + " does not exist"), 1) << S(r.err);

    EXPECT_EQ(Run({csv, "--pdf", Path("fine.pdf"), "--error-log", Path("no/errors.log")}).exitCode, kOk);
    EXPECT_TRUE(QFile::exists(Path("fine.pdf")));

    // A printer that does not exist: no fall back to the built-in PDF printer's default file.
    r = Run({csv, "--printer", "No Such Printer"});
    EXPECT_EQ(r.exitCode, kReported);
    EXPECT_TRUE(r.err.contains("\"No Such Printer\"")) << S(r.err);
    EXPECT_FALSE(QFile::exists(Path("telmo-report.pdf")));

    // A layout that standard output cannot take (a full disk) is no layout: exit 1, one line.
    r = RunProgram("sh", {"-c", "exec \"$0\" \"$@\" >/dev/full", TELMO_REPORT_BINARY, csv, "--layout"},
                   CommandEnvironment(dir.path()));
    EXPECT_EQ(r.exitCode, kReported) << S(r.err);
    EXPECT_TRUE(r.err.startsWith("telmo-report: cannot write the layout to standard output: ") &&
                r.err.count('\n') == 1)
        << S(r.err);
}

namespace {

// A grid shape, its command-line options, and how this process builds the same grid.
struct Shape {
    const char* name;
    int rows, cols;
    int expectMode; // what the shape is for, so a change of page size cannot quietly empty the test
    QStringList options = {};
    std::vector<int32_t> colWidths = {}, rowHeights = {}; // twips, the last repeating
    int fixedRows = 1;
    int32_t startRow = 0;
    int16_t paper = Printer::kPaperA4;
    bool landscape = false;
    friend void PrintTo(const Shape& shape, std::ostream* out) { *out << shape.name; }
};

class ReportLayoutTest : public ReportCommandTest, public ::testing::WithParamInterface<Shape> {};

// clang-format off
const Shape kShapes[] = {
    {"narrow", 260, 3, kRowsSplit},
    {"wide", 8, 40, kColumnsSplit},
    {"both", 150, 30, kRowsAndColumnsSplit},
    {"sized", 70, 15, kRowsAndColumnsSplit,
     {"--col-widths", "1500, 2600,900", "--row-heights", "400,250,900"}, {1500, 2600, 900}, {400, 250, 900}},
    {"letter_landscape_no_heading", 90, 14, kRowsSplit, {"--paper", "Letter", "--landscape", "--fixed-rows", "0"},
     {}, {}, 0, 0, Printer::kPaperLetter, true},
    {"a5_from_row_7", 25, 5, kOnePage, {"--paper", "a5", "--start-row", "7"}, {}, {}, 1, 7, Printer::kPaperA5},
};
// clang-format on

} // namespace

TEST_P(ReportLayoutTest, AgreesLineByLineWithTheEngine) {
    const Shape& shape = GetParam();
    const QString csv = Write("in.csv", TableCsv(shape.rows, shape.cols));
    const RunResult run = Run(QStringList{csv, "--layout", "--pdf", Path("unused.pdf")} + shape.options);
    ASSERT_EQ(run.exitCode, kOk) << S(run.err);
    const Layout got(run.out);

    // The same job in this process, on the command's grid builder's grid, given sizes set by hand.
    Printer& printer = UseBuiltInPdf(Path("in-process.pdf"));
    printer.SetPaperSize(shape.paper);
    if (shape.landscape)
        printer.SetOrientation(Printer::kLandscape);
    CsvTable table;
    CsvError error;
    ASSERT_TRUE(app::ReadCsvFile(csv, table, error)) << S(error.message);
    app::GridOptions options;
    options.fixedRows = shape.fixedRows;
    options.printableWidth = printer.ScaleWidth();
    const auto grid = app::BuildReportGrid(table, options);
    const auto pick = [](const auto& v, int i) { return v[std::min<size_t>(i, v.size() - 1)]; };
    for (int c = 0; c < shape.cols && !shape.colWidths.empty(); ++c)
        grid->SetColWidth(c, pick(shape.colWidths, c));
    for (int r = 0; r < shape.rows && !shape.rowHeights.empty(); ++r)
        grid->SetRowHeight(r, pick(shape.rowHeights, r));
    JobState& s = State();
    s.SourceGridObj = grid;
    if (shape.startRow > 0) // as the command hands it on: through the member, which keeps one less
        IPrinter().StartRow(Variant(shape.startRow));
    s.FixedRowCount = grid->FixedRows();
    CalculagePrintDataSettings();
    ASSERT_TRUE(messages.empty()) << S(messages.front().text);

    EXPECT_EQ(got.head.keys(), QStringList({"mode", "pages", "printer", "scale"})) << S(run.out);
    EXPECT_EQ(got.head["printer"], QStringList{printer.DeviceName()});
    EXPECT_NEAR(got.head["scale"].value(0).toDouble(), printer.ScaleWidth(), 0.05);
    EXPECT_NEAR(got.head["scale"].value(1).toDouble(), printer.ScaleHeight(), 0.05);
    EXPECT_EQ(got.head["mode"], QStringList{QString::number(s.PaginationMode)});
    EXPECT_EQ(got.Pages(), s.TotalPages);
    const auto n = [](float v) { return QString::number(static_cast<double>(v)); };
    QStringList want;
    for (int p = 1; p <= s.TotalPages; ++p) {
        const PageBlock& b = s.PageBlocks[static_cast<size_t>(p)];
        want << QStringList{"page", n(p), n(b.StartRow), n(b.EndRow), n(b.StartCol), n(b.EndCol)}.join('\t');
    }
    EXPECT_EQ(got.pageLines, want);
    EXPECT_EQ(s.PaginationMode, shape.expectMode);
    EXPECT_EQ(s.TotalPages > 1, shape.expectMode != kOnePage) << s.TotalPages << " pages";
}

INSTANTIATE_TEST_SUITE_P(Shapes, ReportLayoutTest, ::testing::ValuesIn(kShapes),
                         [](const auto& info) { return std::string(info.param.name); });

// A printed report says only where it went (with no printer, the built-in PDF printer's file) and its pages.
TEST_F(ReportCommandTest, APrintedReportSaysWhereItWentAndHowManyPages) {
    const RunResult r =
        Run({Write("w.csv", TableCsv(120, 3))}, false); // as from a shell without XDG_RUNTIME_DIR
    EXPECT_EQ(r.exitCode, kOk) << S(r.err);
    EXPECT_TRUE(r.err.startsWith("telmo-report: no printer is set up, so the report went to the built-in PDF "
                                 "printer: wrote 3 pages to " +
                                 Path("telmo-report.pdf")))
        << S(r.err);
    EXPECT_EQ(r.err.count('\n'), 1) << "nothing else on stderr:\n" << S(r.err);
    EXPECT_EQ(ReadPdf(Path("telmo-report.pdf")).pages, 3);
}

// UTF-8 with an optional byte order mark, RFC 4180 records; read also in chunks of a few bytes, so
// every case has a chunk end inside a quote pair, a CRLF, a byte order mark or a character.
TEST_F(ReportCommandTest, CsvReaderReadsRecordsOrNamesTheBadLine) {
    const QByteArray utf8 = "Stadt,Menge\nZürich,3\n東京,4\n\"naïve, 😀\",5\n";
    const Rows utf8Rows = {{"Stadt", "Menge"}, {"Zürich", "3"}, {"東京", "4"}, {"naïve, 😀", "5"}};
    // clang-format off
    struct Case { QByteArray bytes; Rows rows; const char* error = ""; };
    const Case cases[] = {
        {"name,note\n\"Smith, Jo\",\"said \"\"hi\"\"\"\n\"two\nlines\",\"\"\n",
         {{"name", "note"}, {"Smith, Jo", "said \"hi\""}, {"two\nlines", ""}}},
        {"a,b\r\n\"x\r\ny\",2\r\n3,\"4\"\r\n", {{"a", "b"}, {"x\ny", "2"}, {"3", "4"}}}, // a break reads as \n
        {"a,b\n1,\"2\"", {{"a", "b"}, {"1", "2"}}},
        {"a,", {{"a", ""}}},
        {"a\rb,\"c\rd\"\r\n", {{"a\rb", "c\rd"}}}, // a carriage return alone is text
        // A blank line between records is an empty record; blank lines at the end are none.
        {"a,b,c\n,,\n1\n\n\"\"\nx,y,z,w\n\n\r\n", {{"a", "b", "c"}, {"", "", ""}, {"1"}, {""}, {""}, {"x", "y", "z", "w"}}},
        {" a , b\n", {{" a ", " b"}}},
        {utf8, utf8Rows},
        {"\xEF\xBB\xBF" + utf8, utf8Rows},
        {"a\n\xEF\xBB\xBFz\n", {{"a"}, {QStringLiteral("\uFEFFz")}}}, // a mark only counts at the very start
        {"\xEF\xBB\xBF\xEF\xBB\xBF" "a\n", {{"a"}}}, // some programs add one to a file that has one
        {"\xEF\xBB", {}, ":1: not valid UTF-8 text"}, // a mark cut off
        {"\xFF\xFE" + QStringEncoder(QStringConverter::Utf16LE)(u"a,\"x\ny\"\n1,Zoë\n"), {{"a", "x\ny"}, {"1", "Zoë"}}},
        {"\xFE\xFF" + QStringEncoder(QStringConverter::Utf16BE)(u"東京,4\n"), {{"東京", "4"}}},
        {"Stadt\nZ\xfcrich\n", {}, ":2: not valid UTF-8 text; it is most likely latin1: give --encoding latin1"},
        {"# \"zones\"\na\n", {}, ":1: quote inside an unquoted field; line 1 starts with #: if such lines are comments, give --comment '#'"},
        {"a,b\n1,\"open\nstill\nopen", {}, ":2: quoted field is not closed"},
        {"a,b\n\"x\ny\",2\n3,4\"\n", {}, ":4: quote inside an unquoted field"},
        {"a,b\r\n\"x\" ,2\r\n", {}, ":2: unexpected character after a closing quote"},
        {"a\n\"x\"\r", {}, ":2: unexpected character after a closing quote"},
        {"", {}, ":1: the file holds no rows"},
        {"a\nb\n\xC3(\n", {}, ":3: not valid UTF-8 text"},                 // a lead byte alone
        {"\xC0\xAF,x\n", {}, ":1: not valid UTF-8 text"},                   // an overlong form
        {"ok\nok\n\"x\ny\xED\xA0\x80\"\n", {}, ":4: not valid UTF-8 text"}, // a surrogate, line 2 of a field
        {"a,b\n1,\xE6\x9D", {}, ":2: not valid UTF-8 text"},                // cut off by the end of the file
        // The first problem in the file is the one told, whichever kind it is.
        {"a,b\n1,2\"\n3,4\n\xFF\n", {}, ":2: quote inside an unquoted field"},
        {"a,b\n\xFF\n1,2\"\n", {}, ":2: not valid UTF-8 text"},
        {"a\n\"open\n\xFF\"\n", {}, ":3: not valid UTF-8 text"},
    };
    // clang-format on
    for (const qsizetype chunk :
         {qsizetype(1), qsizetype(2), qsizetype(3), qsizetype(5), app::kCsvChunkBytes})
        for (const Case& c : cases) {
            SCOPED_TRACE(c.bytes.toHex().toStdString() + " in chunks of " + std::to_string(chunk));
            const Rows read = Records(c.bytes, u',', chunk);
            if (*c.error != '\0')
                EXPECT_TRUE(read.size() == 1 && read[0].value(0).startsWith(Path("in.csv") + c.error))
                    << S(read.empty() ? QString() : read[0].join('|'));
            else
                EXPECT_EQ(read, c.rows);
        }
}

// Fitted columns are measured as the grid measures a cell's text before it shortens it.
TEST_F(ReportCommandTest, FittedGridColumnsHoldTheirWidestTextUnshortened) {
    CsvTable table{{{"id", "name"}, {"1", "WWWWWWWW"}, {"2", "iiii\nii"}}, 2};
    const auto grid = app::BuildReportGrid(table, app::GridOptions{});
    const double widest = grid->TextWidth(u"WWWWWWWW");
    EXPECT_GT(widest, grid->TextWidth(u"iiii ii"));
    EXPECT_EQ(grid->TextWidth(u"iiii\nii"), grid->TextWidth(u"iiii")); // its widest line
    EXPECT_GE(grid->ColWidth(1) - 2 * GridControl::kCellMarginX, widest);
    EXPECT_LE(grid->ColWidth(1), widest + 4 * GridControl::kCellMarginX + 1);
    EXPECT_EQ(std::tuple(grid->Rows(), grid->FixedRows(), grid->FixedCols()), std::tuple(3, 1, 1));
}

// Fitted columns print on the paper, a long text cut with an ellipsis; widths the user gives that
// cannot fit print as the component places them, off the edge, and the command says which and why.
TEST_F(ReportCommandTest, EveryCellPrintsOnThePaperOrTheUserIsToldWhichDoesNot) {
    QByteArray longCsv = "id,description,qty\n";
    for (int row = 1; row <= 4; ++row)
        longCsv += QByteArray::number(row) + ',' + QByteArray("lengthy words ").repeated(150) + ",12\n";
    const QString longText = Write("long.csv", longCsv), narrow = Write("narrow.csv", TableCsv(11, 3));
    const struct {
        QStringList arguments;
        int pages;
        QString warning; // empty: no warning, and every word lies on the paper
    } cases[] = {
        // clang-format off
        {{longText}, 1, ""},
        {{longText, "--paper", "A5", "--grid-size", "14"}, 1, ""},
        {{narrow, "--col-widths", "9000,9000,600", "--paper", "Letter"}, 2, "warning: column 2 of " + narrow +
         " is too wide to print beside the heading column (9000 twips) on a printable width of 11520 twips"},
        {{narrow, "--row-heights", "300,300,16000,300", "--paper", "Letter"}, 3, "warning: line 3 of " + narrow},
        {{Write("five.csv", TableCsv(6, 2)), "--row-heights", "240,7000"}, 4, // the last row joins page 4
         "warning: line 6 of " + Path("five.csv") + " is laid out on page 4 below the room"},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(S(c.arguments.join(' ')));
        const RunResult r = Run(QStringList(c.arguments) << "--pdf" << Path("out.pdf"));
        ASSERT_EQ(r.exitCode, kOk) << S(r.err);
        const PdfDoc doc = ReadPdf(Path("out.pdf"));
        EXPECT_EQ(doc.pages, c.pages);
        if (!c.warning.isEmpty()) {
            EXPECT_TRUE(r.err.startsWith("telmo-report: " + c.warning)) << S(r.err);
            continue;
        }
        EXPECT_EQ(r.err.count('\n'), 1) << S(r.err);
        EXPECT_TRUE(doc.Find("12") && doc.pageTexts[0].contains(QChar(0x2026))) << S(doc.pageTexts[0]);
        for (int page = 1; page <= doc.pages; ++page)
            for (const PdfWord& word : doc.WordsOn(page))
                EXPECT_LT(word.xMax, doc.pageWidthPt) << S(word.text);
    }
}

TEST_F(ReportCommandTest, AScreenshotOfAPreviewPage) {
    const QString png = Path("page2.png");
    const RunResult r = Run({Write("t.csv", TableCsv(200, 4)), "--screenshot", png, "--page", "2"});
    EXPECT_EQ(r.exitCode, kOk) << S(r.err);
    EXPECT_GT(std::min(QImage(png).width(), QImage(png).height()), 100);
}

// The separator is guessed from the first lines; separators inside quoted fields do not count.
TEST_F(ReportCommandTest, TheDelimiterIsGuessedFromTheFirstLinesOutsideQuotes) {
    const struct {
        const char* text;
        QChar delimiter;
    } cases[] = {
        {"a,b,c\n1,2,3\n", u','},
        {"Name;City;Amount\n\"Smith; Jo\";Köln;1.234,5\nLee;Bonn;12,75\n", u';'},
        {"Name\tQty\n\"x, y\"\t3\n", u'\t'},
        {"id|note\n1|\"a,b,c;d\"\n2|\"e,f\"\n", u'|'},
        {"note,qty\n\"a;b;c\",1\n\"x;y\",2\n", u','}, // semicolons only inside quotes
        {"\"two\nlines; here\",x\n1,2\n", u','},      // a quoted line break is no new line
        {"single\nfield\n", u','},
        {"Name;City;Note\nAnna;Berlin;\nBob;Paris\nCarl;Rome;vip\n", u';'}, // ragged: most lines agree
        {"code\tzone\tnote\nCH,DE,LI\tZurich\nFR\tParis\tx, y\nAQ\tCasey\tCasey, Davis, Mawson\n", u'\t'},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(app::SniffDelimiter(QString::fromUtf8(c.text)), c.delimiter);
        // Read a few bytes at a time, the file is guessed at once its first lines are in.
        EXPECT_EQ(Records(c.text, QChar(), 3), Records(c.text, c.delimiter, app::kCsvChunkBytes));
    }
    // Only the first lines count: a line with another separator further on does not.
    const QByteArray late = QByteArray("a;b\n").repeated(20) + "c,d,e\n";
    EXPECT_EQ(Records(late, QChar(), 3).back(), QStringList{"c,d,e"});
    // Through the command: a semicolon file without a flag; --delimiter, --encoding, --comment.
    const QString eu = Write("eu.csv", "Name;City;Amount\n\"Smith; Jo\";Köln;1.234,5\nLee;Bonn;12,75\n");
    const QString commas = Write("c.txt", "Name;x,Qty\nA;y,3\n");
    const struct {
        QStringList arguments;
        QStringList lines; // pdftotext -layout lines, spaces squeezed
    } runs[] = {
        {{eu}, {"Name City Amount", "Smith; Jo Köln 1.234,5", "Lee Bonn 12,75"}},
        {{commas, "--delimiter", ","}, {"Name;x Qty", "A;y 3"}},
        {{commas, "--delimiter", ";"}, {"Name x,Qty", "A y,3"}},
        {{Write("l1.csv", "Stadt;Menge\nZ\xfcrich;3\n"), "--encoding", "latin1"},
         {"Stadt Menge", "Zürich 3"}},
        {{Write("c.tab", "# zones, \"as\" listed\ncode\tzone\n#CH,DE\nCH,DE,LI\tZurich\n"), "--comment", "#"},
         {"code zone", "CH,DE,LI Zurich"}},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(S(run.arguments.join(' ')));
        const RunResult r = Run(QStringList(run.arguments) << "--pdf" << Path("d.pdf"));
        ASSERT_EQ(r.exitCode, kOk) << S(r.err);
        QStringList lines;
        for (const QString& line :
             RunProgram("pdftotext", {"-layout", Path("d.pdf"), "-"}, CommandEnvironment(dir.path()))
                 .out.split('\n'))
            lines << line.simplified();
        for (const QString& line : run.lines)
            EXPECT_TRUE(lines.contains(line)) << S(line) << "\n" << S(lines.join('\n'));
    }
    EXPECT_EQ(Run({eu, "--delimiter", "colon"}).exitCode, kUsage);
    // A close call is told, with the option that picks the other.
    EXPECT_TRUE(Run({commas, "--layout"})
                    .err.startsWith("telmo-report: note: " + commas +
                                    ": fields taken as separated by , (it splits 2 of the first 2 lines "
                                    "alike); ; would split 2 of them alike: give --delimiter ;"));
}

// A column of numbers (as in the --locale given, if any) is aligned right, heading included. Through
// the command: right edges met, quoted fields and non-ASCII text intact, under the titles given.
TEST_F(ReportCommandTest, NumberColumnsAreAlignedRight) {
    const QString csv = Write("n.csv", "Name,Amount,Note\nSmith,\"1.234,5\",\"said \"\"hi\"\"\"\n"
                                       "Zoë Ångström,\"12,75\",\"first\r\nsecond\"\nRay,,c\n");
    const RunResult r = Run({csv, "--pdf", Path("n.pdf"), "--locale", "de_DE", "--title1", "Quarterly",
                             "--title2", "Warehouse", "--date", "Printed today", "--title3", "Third"});
    ASSERT_EQ(r.exitCode, kOk) << S(r.err);
    const PdfDoc doc = ReadPdf(Path("n.pdf"));
    const PdfWord *big = doc.Find("1.234,5"), *small = doc.Find("12,75");
    ASSERT_TRUE(big && small) << S(doc.pageTexts.value(0));
    EXPECT_NEAR(big->xMax, small->xMax, 0.6);
    for (const char* expected : {"Page 1 of 1", "Quarterly", "Warehouse", "Printed today", "Third",
                                 "said \"hi\"", "Zoë Ångström", "first…"}) // a one-line row: the first line
        EXPECT_TRUE(doc.pageTexts[0].contains(QString::fromUtf8(expected))) << expected;
    EXPECT_EQ(Run({csv, "--locale", "Klingon"}).exitCode, kUsage);

    // On the grid: which columns count as numbers, with and without a locale and a heading row.
    const auto numbersRight = [](const Rows& rows, int fixedRows, std::optional<QLocale> locale) {
        app::GridOptions options;
        options.fixedRows = fixedRows;
        options.numberLocale = locale;
        constexpr int16_t kAlignRightCenter = 7;
        return app::BuildReportGrid(CsvTable{rows, 2}, options)->ColAlignment(1) == kAlignRightCenter;
    };
    const Rows numbers{{"h", "n"}, {"1", "3.5"}, {"2", ""}, {"3", "-1e3"}},
        german{{"h", "n"}, {"1", "1.234,5"}, {"2", "12,75"}};
    EXPECT_TRUE(numbersRight(numbers, 1, {}));
    EXPECT_FALSE(numbersRight(numbers, 0, {})) << "the heading is read as data";
    EXPECT_FALSE(numbersRight({{"h", "n"}, {"1", "3.5"}, {"2", "n/a"}}, 1, {}));
    EXPECT_TRUE(numbersRight(german, 1, QLocale("de_DE")));
    EXPECT_FALSE(numbersRight(german, 1, {})) << "in the C locale they are no numbers";
    EXPECT_FALSE(numbersRight({{"h", "n"}, {"1", "a"}, {"2", "bbbb"}}, 1, QLocale("de_DE")));
    // 1,000 characters may be a number; a longer text is not copied to be read as one.
    EXPECT_TRUE(numbersRight({{"h", "n"}, {"1", QString(999, u'0') + u'1'}}, 1, {}));
    EXPECT_FALSE(numbersRight({{"h", "n"}, {"1", QString(1000, u'0') + u'1'}}, 1, {}));
}

// --fit-width shrinks the font to one page wide or says it cannot; --columns picks and orders columns.
TEST_F(ReportCommandTest, FitWidthColumnsAndTitleFromFile) {
    const auto wide = [&](const QString& name, int cols, const QByteArray& cell) {
        QByteArray csv = "id";
        for (int c = 0; c < cols; ++c)
            csv += ",heading " + QByteArray::number(c);
        for (int r = 0; r < 30; ++r) {
            csv += '\n' + QByteArray::number(r);
            for (int c = 0; c < cols; ++c)
                csv += ',' + cell + QByteArray::number(c);
        }
        return Write(name, csv + '\n');
    };
    const QString thirteen = wide("thirteen.csv", 13, "value "),
                  forty = wide("forty.csv", 40, "a longer value ");
    EXPECT_EQ(Layout(Run({thirteen, "--layout"}).out).head.value("mode"), QStringList{"3"});
    RunResult r = Run({thirteen, "--layout", "--fit-width"});
    EXPECT_EQ(Layout(r.out).head.value("mode"), QStringList{"2"}) << S(r.out);
    EXPECT_TRUE(r.err.isEmpty()) << S(r.err);
    r = Run({forty, "--fit-width", "--layout"});
    EXPECT_EQ(r.exitCode, kOk);
    EXPECT_GT(Layout(r.out).Pages(), 1);
    EXPECT_TRUE(r.err.startsWith("telmo-report: warning: --fit-width: " + forty) &&
                r.err.contains("even at 6 pt") && r.err.contains("or use --landscape or larger --paper"))
        << S(r.err);
    // Advice already taken is not given again; a grid font not installed is named with its stand-in.
    r = Run({forty, "--fit-width", "--landscape", "--grid-font", "No Such Font", "--layout"});
    EXPECT_TRUE(
        r.err.contains("or use larger --paper") &&
        r.err.contains("--grid-font No Such Font: no font of that name is installed; the grid prints in "))
        << S(r.err);
    EXPECT_EQ(Run({thirteen, "--fit-width", "--col-widths", "900"}).exitCode, kUsage);

    // Columns by heading (any case) and number, in the order given; the first is the heading column.
    r = Run({thirteen, "--columns", "HEADING 3,1,heading 0", "--title-from-file", "--pdf", Path("c.pdf")});
    ASSERT_EQ(r.exitCode, kOk) << S(r.err);
    const PdfDoc picked = ReadPdf(Path("c.pdf"));
    const PdfWord *h3 = picked.Find("3", 1), *id = picked.Find("id"), *v0 = picked.Find("value");
    ASSERT_TRUE(h3 && id && v0) << S(picked.pageTexts[0]);
    EXPECT_LT(h3->xMin, id->xMin);
    EXPECT_TRUE(picked.pageTexts[0].contains("thirteen.csv") && !picked.pageTexts[0].contains("heading 4"));
    // Picked per record: a number past line 1's fields may be a longer line's.
    const QString ragged = Write("ragged.csv", "id,name\n1,Ann\n2,Bob,extra,far\n");
    r = Run({ragged, "--columns", "1,4", "--pdf", Path("r.pdf")});
    ASSERT_EQ(r.exitCode, kOk) << S(r.err);
    const PdfDoc four = ReadPdf(Path("r.pdf"));
    EXPECT_TRUE(four.Find("far") && four.Find("Ann") == nullptr) << S(four.pageTexts.value(0));
}

// --wrap: long texts print in full, a cell's own lines one under the other, all on the paper; a
// text longer than a page keeps what fits and ends in an ellipsis there.
TEST_F(ReportCommandTest, WrapPrintsLongCellsInFull) {
    const auto wrapped = [&](const QString& file) {
        const RunResult r = Run({file, "--wrap", "--pdf", Path("wrap.pdf")});
        EXPECT_EQ(r.exitCode, kOk) << S(r.err);
        EXPECT_EQ(r.err.count('\n'), 1) << "no warning of a row off the paper:\n" << S(r.err);
        PdfDoc doc = ReadPdf(Path("wrap.pdf"));
        for (const PdfWord& word : doc.words)
            EXPECT_TRUE(word.xMax < doc.pageWidthPt && word.yMax < doc.pageHeightPt) << S(word.text);
        return doc;
    };
    const PdfDoc capped =
        wrapped(Write("huge.csv", "id,text\n1," + QByteArray("many words ").repeated(6000)));
    EXPECT_TRUE(capped.pages == 1 && capped.pageTexts[0].contains(QChar(0x2026)));

    QByteArray csv = "id,description,qty\n";
    for (int row = 1; row <= 4; ++row) {
        csv += QByteArray::number(row) + ',';
        for (int word = 0; word < 300; ++word)
            csv += "word" + QByteArray::number(word) + ' ';
        csv += "END" + QByteArray::number(row) + ",12\n";
    }
    const PdfDoc doc = wrapped(Write("desc.csv", csv));
    EXPECT_FALSE(doc.pageTexts.join(' ').contains(QChar(0x2026)));
    for (int word = 0; word < 300; ++word)
        EXPECT_TRUE(doc.Find(QString("word%1").arg(word)) && doc.Find(QString("END%1").arg(word % 4 + 1)))
            << word;
    const PdfDoc lines = wrapped(Write("lines.csv", "id,address\n1,\"Main St\nBerlin\nGermany\"\n"));
    const PdfWord *street = lines.Find("St"), *city = lines.Find("Berlin"), *country = lines.Find("Germany");
    ASSERT_TRUE(street && city && country) << S(lines.pageTexts[0]);
    EXPECT_TRUE(street->yMax < city->yMax && city->yMax < country->yMax);
}

// Ctrl-C stops a run between pages: exit 130, the pages printed told, no unfinished PDF saved (an
// earlier report stays); before the run begins it prints nothing. The run lasts some seconds.
TEST_F(ReportCommandTest, CtrlCStopsARunBetweenPagesAndSavesNoUnfinishedPdf) {
    const QString csv = Write("long.csv", TableCsv(400000, 3));
    const QString fifo = Path("piped.csv");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QDir().mkpath(Path("out"));
    const QString pdf = Path("out/long.pdf");
    QProcessEnvironment env = CommandEnvironment(dir.path());
    env.insert("TMPDIR", Path("out")); // where a file the PDF is written through would appear too
    for (const bool waitForPages : {true, false}) {
        SCOPED_TRACE(waitForPages ? "during the run" : "before it");
        const QByteArray earlier = "%PDF an earlier report";
        Write("out/long.pdf", earlier);
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(TELMO_REPORT_BINARY, {waitForPages ? csv : fifo, "--pdf", pdf});
        ASSERT_TRUE(process.waitForStarted());
        int pipe = -1;
        if (waitForPages) {
            // The output (or a file it is written through) appears as the first page goes out.
            SeenWhileRunning(process, [&] { return QDir(Path("out")).entryList(QDir::Files).size() >= 2; });
        } else {
            // The command opens its input once it watches for Ctrl-C; a pipe is still being read then.
            ASSERT_TRUE(SeenWhileRunning(process, [&] {
                return (pipe = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK)) >= 0;
            }));
        }
        ASSERT_EQ(process.state(), QProcess::Running) << "the run ended before Ctrl-C";
        ::kill(static_cast<pid_t>(process.processId()), SIGINT);
        if (pipe >= 0) {
            const QByteArray rows = TableCsv(10, 3);
            EXPECT_EQ(::write(pipe, rows.constData(), rows.size()), rows.size());
            ::close(pipe);
        }
        ASSERT_TRUE(process.waitForFinished(60000));
        const QString err = QString::fromUtf8(process.readAllStandardError());
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 130) << S(err);
        EXPECT_EQ(ReadFile(pdf), earlier) << S(err);
        EXPECT_EQ(QDir(Path("out")).entryList(QDir::Files), QStringList{"long.pdf"}) << "no temporary left";
        static const QRegularExpression told(
            "Printing cancelled after (\\d+) of (\\d+) pages; the unfinished "
            "PDF was not saved to (.+)\\.\n");
        const QRegularExpressionMatch m = told.match(err);
        if (waitForPages) {
            ASSERT_TRUE(m.hasMatch()) << S(err);
            EXPECT_LT(m.captured(1).toInt(), m.captured(2).toInt());
            EXPECT_EQ(m.captured(3), pdf);
            EXPECT_EQ(err.count('\n'), 1) << S(err);
        } else {
            EXPECT_EQ(err, "telmo-report: interrupted (Ctrl-C) before printing began; nothing was printed\n");
        }
    }
}

// With no font for a script (fontconfig knowing only Liberation and DejaVu), Qt falls back to a face
// with no name, tables or size and draws boxes: the report prints, and its text reads back.

TEST_F(ReportCommandTest, AScriptNoFontHasPrintsAsBoxesThatReadBack) {
    QProcessEnvironment env = CommandEnvironment(dir.path());
    env.insert("FONTCONFIG_FILE",
               Write("fonts.conf", "<fontconfig><dir>/usr/share/fonts/truetype/liberation</dir>"
                                   "<dir>/usr/share/fonts/truetype/dejavu</dir><cachedir>" +
                                       Path("cache").toUtf8() + "</cachedir></fontconfig>"));
    const QString tamil = QString::fromUtf8("இந்தியா");
    const RunResult r =
        RunProgram(TELMO_REPORT_BINARY,
                   {Write("t.csv", "Code,Name\nIN," + tamil.toUtf8()), "--pdf", Path("t.pdf")}, env);
    ASSERT_EQ(r.exitCode, kOk) << S(r.err);
    EXPECT_FALSE(r.err.contains("OpenType")) << S(r.err); // standard error holds the command's own words
    EXPECT_TRUE(ReadPdf(Path("t.pdf")).pageTexts.value(0).contains(tamil));
    EXPECT_TRUE(MuPdfText(Path("t.pdf")).contains(tamil));
}
