#include "app/ReportCommand.h"

#include "app/CsvReader.h"
#include "component/IPrinter.h"
#include "component/JobState.h"
#include "engine/PrintDataSettings.h"
#include "platform/FontSpec.h"
#include "platform/GridControl.h"
#include "platform/MessageBox.h"
#include "platform/Printer.h"
#include "platform/RuntimeError.h"
#include "preview/PreviewWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QMessageBox>
#include <QPixmap>
#include <QTextStream>
#include <cstdio>
#include <memory>

namespace telmo::app {
namespace {

class UsageError {
public:
    explicit UsageError(QString message) : message(std::move(message)) {}
    QString message;
};

void Err(const QString& text) {
    std::fprintf(stderr, "telmo-report: %s\n", qPrintable(text));
}

int ToInt(const QCommandLineParser& parser, const QString& option, int min, int max) {
    bool ok = false;
    const int value = parser.value(option).toInt(&ok);
    if (!ok || value < min || value > max)
        throw UsageError(
            QStringLiteral("--%1 needs a whole number from %2 to %3").arg(option).arg(min).arg(max));
    return value;
}

double ToPoints(const QCommandLineParser& parser, const QString& option) {
    bool ok = false;
    const double value = parser.value(option).toDouble(&ok);
    if (!ok || value <= 0 || value > 500)
        throw UsageError(QStringLiteral("--%1 needs a size in points above 0 and at most 500").arg(option));
    return value;
}

TitleAlignment ToAlignment(const QString& text, const QString& option) {
    if (text == QLatin1String("left"))
        return ALIGNLEFT;
    if (text == QLatin1String("center") || text == QLatin1String("centre"))
        return ALIGNCENTER;
    if (text == QLatin1String("right"))
        return ALIGNRIGHT;
    throw UsageError(QStringLiteral("--%1 takes left, center or right").arg(option));
}

// A comma-separated list of twips; its last value repeats for the columns or rows past its end.
std::vector<int32_t> ToTwipsList(const QString& text, const QString& option) {
    std::vector<int32_t> values;
    for (const QString& part : text.split(QLatin1Char(','))) {
        bool ok = false;
        const int value = part.trimmed().toInt(&ok);
        if (!ok || value < 0 || value > 1000000)
            throw UsageError(
                QStringLiteral("--%1 takes twips from 0 to 1000000, comma-separated").arg(option));
        values.push_back(value);
    }
    return values;
}

int16_t PaperCode(const QString& name) {
    const QString upper = name.toUpper();
    if (upper == QLatin1String("A4"))
        return Printer::kPaperA4;
    if (upper == QLatin1String("LETTER"))
        return Printer::kPaperLetter;
    if (upper == QLatin1String("LEGAL"))
        return Printer::kPaperLegal;
    if (upper == QLatin1String("A3"))
        return Printer::kPaperA3;
    if (upper == QLatin1String("A5"))
        return Printer::kPaperA5;
    throw UsageError(QStringLiteral("--paper takes A4, Letter, Legal, A3 or A5"));
}

std::shared_ptr<GridControl> BuildGrid(const CsvTable& table, const QCommandLineParser& parser) {
    auto grid = std::make_shared<GridControl>();
    if (parser.isSet(QStringLiteral("grid-font")))
        grid->SetFontName(parser.value(QStringLiteral("grid-font")));
    if (parser.isSet(QStringLiteral("grid-size")))
        grid->SetFontSize(static_cast<float>(ToPoints(parser, QStringLiteral("grid-size"))));
    const int rows = static_cast<int>(table.rows.size());
    const int cols = std::max(1, table.maxFields);
    grid->SetRows(rows);
    grid->SetCols(cols);
    const int fixedRows =
        parser.isSet(QStringLiteral("fixed-rows")) ? ToInt(parser, QStringLiteral("fixed-rows"), 0, 1) : 1;
    grid->SetFixedRows(static_cast<int16_t>(std::min(fixedRows, rows)));
    grid->SetFixedCols(1);
    for (int r = 0; r < rows; ++r) {
        const QStringList& fields = table.rows[static_cast<size_t>(r)];
        for (int c = 0; c < fields.size(); ++c)
            grid->SetTextMatrix(r, c, fields[c]);
    }
    if (parser.isSet(QStringLiteral("col-widths"))) {
        const auto widths =
            ToTwipsList(parser.value(QStringLiteral("col-widths")), QStringLiteral("col-widths"));
        for (int c = 0; c < cols; ++c)
            grid->SetColWidth(c, widths[std::min<size_t>(static_cast<size_t>(c), widths.size() - 1)]);
    } else {
        // Fitted to the widest text of each column, with the cell margins.
        const QFontMetricsF metrics(ToTwipsFont(FontSpec{grid->FontName(), grid->FontSize(), false}));
        std::vector<double> widest(static_cast<size_t>(cols), 0.0);
        for (int r = 0; r < rows; ++r) {
            const QStringList& fields = table.rows[static_cast<size_t>(r)];
            for (int c = 0; c < fields.size(); ++c)
                widest[static_cast<size_t>(c)] =
                    std::max(widest[static_cast<size_t>(c)], metrics.horizontalAdvance(fields[c]));
        }
        for (int c = 0; c < cols; ++c)
            grid->SetColWidth(c, static_cast<int32_t>(std::min(widest[static_cast<size_t>(c)], 11000.0)) +
                                     static_cast<int32_t>(4 * GridControl::kCellMarginX));
    }
    if (parser.isSet(QStringLiteral("row-heights"))) {
        const auto heights =
            ToTwipsList(parser.value(QStringLiteral("row-heights")), QStringLiteral("row-heights"));
        for (int r = 0; r < rows; ++r)
            grid->SetRowHeight(r, heights[std::min<size_t>(static_cast<size_t>(r), heights.size() - 1)]);
    }
    return grid;
}

void SetTitles(IPrinter& printer, const QCommandLineParser& parser) {
    for (int line = 1; line <= 4; ++line) {
        const QString title = QStringLiteral("title%1").arg(line);
        if (!parser.isSet(title))
            continue;
        const QString align = QStringLiteral("align%1").arg(line);
        const QString font = QStringLiteral("font%1").arg(line);
        const QString size = QStringLiteral("size%1").arg(line);
        const TitleAlignment alignment =
            parser.isSet(align) ? ToAlignment(parser.value(align), align) : ALIGNCENTER;
        const QString fontName = parser.isSet(font) ? parser.value(font) : QStringLiteral("Times New Roman");
        const int16_t defaultSize = line == 1 ? 16 : line == 4 ? 16 : 12;
        const int16_t points =
            parser.isSet(size) ? static_cast<int16_t>(std::lround(ToPoints(parser, size))) : defaultSize;
        const QString message = parser.value(title);
        switch (line) {
        case 1:
            printer.Title1(message, alignment, fontName, points);
            break;
        case 2:
            printer.Title2(message, alignment, fontName, points);
            break;
        case 3:
            printer.Title3(message, alignment, fontName, points);
            break;
        default:
            printer.Title4(message, alignment, fontName, points);
            break;
        }
    }
    if (parser.isSet(QStringLiteral("date"))) {
        const QString font = parser.isSet(QStringLiteral("date-font"))
                                 ? parser.value(QStringLiteral("date-font"))
                                 : QStringLiteral("Times New Roman");
        const int16_t size =
            parser.isSet(QStringLiteral("date-size"))
                ? static_cast<int16_t>(std::lround(ToPoints(parser, QStringLiteral("date-size"))))
                : 10;
        printer.CurrDate(parser.value(QStringLiteral("date")), font, size);
    }
    if (parser.isSet(QStringLiteral("separator")))
        printer.TitleSeprator(kAutomationTrue);
    if (parser.isSet(QStringLiteral("start-row")))
        printer.StartRow(
            Variant(static_cast<int32_t>(ToInt(parser, QStringLiteral("start-row"), 0, 2000000000))));
    if (parser.isSet(QStringLiteral("error-log")))
        printer.ErrorLogFile(parser.value(QStringLiteral("error-log")));
}

void ChoosePrinter(const QCommandLineParser& parser) {
    if (parser.isSet(QStringLiteral("pdf"))) {
        Printers::SetPdfOutputFile(QFileInfo(parser.value(QStringLiteral("pdf"))).absoluteFilePath());
        Printers::SelectByName(Printers::BuiltInPdfName());
    } else if (parser.isSet(QStringLiteral("printer"))) {
        Printers::SelectByName(parser.value(QStringLiteral("printer")));
    }
    Printer& printer = Printers::Current();
    if (parser.isSet(QStringLiteral("paper")))
        printer.SetPaperSize(PaperCode(parser.value(QStringLiteral("paper"))));
    if (parser.isSet(QStringLiteral("landscape")))
        printer.SetOrientation(Printer::kLandscape);
    if (parser.isSet(QStringLiteral("copies")))
        printer.SetCopies(static_cast<int16_t>(ToInt(parser, QStringLiteral("copies"), 1, 999)));
}

void WriteLayout() {
    QTextStream out(stdout);
    const JobState& s = State();
    const Printer& printer = Printers::Current();
    out << "printer\t" << printer.DeviceName() << '\n';
    out << "scale\t" << printer.ScaleWidth() << '\t' << printer.ScaleHeight() << '\n';
    out << "mode\t" << s.PaginationMode << '\n';
    out << "pages\t" << s.TotalPages << '\n';
    for (int page = 1; page <= s.TotalPages && page < static_cast<int>(s.PageBlocks.size()); ++page) {
        const PageBlock& b = s.PageBlocks[static_cast<size_t>(page)];
        out << "page\t" << page << '\t' << b.StartRow << '\t' << b.EndRow << '\t' << b.StartCol << '\t'
            << b.EndCol << '\n';
    }
}

bool SaveScreenshot(const QString& path, int page) {
    JobState& s = State();
    s.IsPreviewMode = true;
    PreviewWindow& preview = s.frmPreview.Get();
    if (preview.IsUnloaded())
        return false;
    if (page < 1 || page > s.TotalPages) {
        Err(QStringLiteral("--page %1 is not a page of this report (1 to %2)").arg(page).arg(s.TotalPages));
        return false;
    }
    preview.show();
    QCoreApplication::processEvents();
    if (page != s.CurrentPage) {
        s.CurrentPage = static_cast<int16_t>(page);
        UpdatePageLabel(s.CurrentPage);
        PageBlock& b = s.PageBlocks[static_cast<size_t>(page)];
        preview.CopyMorePagesA(b.StartCol, b.EndCol, b.StartRow, b.EndRow);
    }
    QCoreApplication::processEvents();
    const bool saved = preview.grab().save(path);
    if (!saved)
        Err(QStringLiteral("cannot write %1").arg(path));
    preview.Unload();
    return saved;
}

} // namespace

int RunReportCommand(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Prints a CSV file as a paginated report, or shows it in the print preview.\n"
        "The first line is the heading row, the first field of each line the heading column."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("file.csv"),
                                 QStringLiteral("The table to print (RFC 4180, UTF-8)."));
    const auto add = [&](const QString& name, const QString& help, const QString& valueName = QString()) {
        parser.addOption(QCommandLineOption(name, help, valueName));
    };
    for (int i = 1; i <= 4; ++i) {
        add(QStringLiteral("title%1").arg(i), QStringLiteral("Title line %1.").arg(i),
            QStringLiteral("TEXT"));
        add(QStringLiteral("align%1").arg(i),
            QStringLiteral("Alignment of title %1: left, center or right.").arg(i), QStringLiteral("ALIGN"));
        add(QStringLiteral("font%1").arg(i), QStringLiteral("Font of title %1.").arg(i),
            QStringLiteral("NAME"));
        add(QStringLiteral("size%1").arg(i), QStringLiteral("Size of title %1 in points.").arg(i),
            QStringLiteral("PT"));
    }
    add(QStringLiteral("date"), QStringLiteral("The date line, printed at the right of title 2."),
        QStringLiteral("TEXT"));
    add(QStringLiteral("date-font"), QStringLiteral("Font of the date line."), QStringLiteral("NAME"));
    add(QStringLiteral("date-size"), QStringLiteral("Size of the date line in points."),
        QStringLiteral("PT"));
    add(QStringLiteral("separator"), QStringLiteral("Draw a line under the titles."));
    add(QStringLiteral("start-row"), QStringLiteral("First data row of a one-page report."),
        QStringLiteral("N"));
    add(QStringLiteral("error-log"), QStringLiteral("Append reported errors to FILE."),
        QStringLiteral("FILE"));
    add(QStringLiteral("fixed-rows"), QStringLiteral("Heading rows of the grid, 0 or 1 (default 1)."),
        QStringLiteral("N"));
    add(QStringLiteral("col-widths"),
        QStringLiteral(
            "Column widths in twips, comma-separated; the last repeats (default: fitted to the text)."),
        QStringLiteral("LIST"));
    add(QStringLiteral("row-heights"),
        QStringLiteral(
            "Row heights in twips, comma-separated; the last repeats (default: from the grid font)."),
        QStringLiteral("LIST"));
    add(QStringLiteral("grid-font"), QStringLiteral("Font of the grid cells."), QStringLiteral("NAME"));
    add(QStringLiteral("grid-size"), QStringLiteral("Size of the grid font in points."),
        QStringLiteral("PT"));
    add(QStringLiteral("printer"), QStringLiteral("A spooler printer, or PDF for the built-in PDF printer."),
        QStringLiteral("NAME"));
    add(QStringLiteral("pdf"), QStringLiteral("Print to FILE on the built-in PDF printer."),
        QStringLiteral("FILE"));
    add(QStringLiteral("paper"), QStringLiteral("Paper size: A4, Letter, Legal, A3 or A5."),
        QStringLiteral("SIZE"));
    add(QStringLiteral("landscape"), QStringLiteral("Landscape orientation."));
    add(QStringLiteral("copies"), QStringLiteral("Number of copies."), QStringLiteral("N"));
    add(QStringLiteral("print-dialog"), QStringLiteral("Choose the printer in the print dialog first."));
    add(QStringLiteral("preview"), QStringLiteral("Open the print preview window (needs a display)."));
    add(QStringLiteral("screenshot"),
        QStringLiteral("Compose page N in the preview window offscreen, save it as PNG."),
        QStringLiteral("FILE.png"));
    add(QStringLiteral("page"), QStringLiteral("The page for --screenshot (default 1)."),
        QStringLiteral("N"));
    add(QStringLiteral("layout"), QStringLiteral("Write the page layout, tab-separated, without printing."));

    QStringList withProgram = arguments;
    withProgram.prepend(QStringLiteral("telmo-report"));
    if (!parser.parse(withProgram)) {
        Err(parser.errorText());
        return kExitUsage;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return kExitOk;
    }
    if (parser.positionalArguments().size() != 1) {
        Err(QStringLiteral("give exactly one CSV file (see --help)"));
        return kExitUsage;
    }

    int reported = 0;
    // Every reported error is counted for the exit status; in batch mode it goes to stderr.
    MessageBox::SetSink([&reported](const QString& text, const QString& title, int) {
        ++reported;
        if (MessageBox::IsBatchMode())
            std::fprintf(stderr, "%s: %s\n", qPrintable(title),
                         qPrintable(QString(text).replace(QLatin1String("\r\n"), QLatin1String(" - "))));
        else
            QMessageBox::information(QApplication::activeWindow(), title, text);
    });
    try {
        CsvTable table;
        CsvError error;
        if (!ReadCsvFile(parser.positionalArguments().first(), table, error)) {
            Err(error.message);
            return kExitUsage;
        }
        std::shared_ptr<GridControl> grid = BuildGrid(table, parser);
        try {
            ChoosePrinter(parser);
        } catch (const RuntimeError& e) {
            Err(e.Description());
            return kExitReported;
        }
        IPrinter printer;
        SetTitles(printer, parser);
        printer.SourceGrid(grid);
        if (parser.isSet(QStringLiteral("layout"))) {
            State().FixedRowCount = grid->FixedRows();
            CalculagePrintDataSettings();
            WriteLayout();
        } else if (parser.isSet(QStringLiteral("screenshot"))) {
            State().FixedRowCount = grid->FixedRows();
            const int page =
                parser.isSet(QStringLiteral("page")) ? ToInt(parser, QStringLiteral("page"), 1, 32767) : 1;
            if (!SaveScreenshot(parser.value(QStringLiteral("screenshot")), page) && reported == 0)
                return kExitUsage;
        } else if (parser.isSet(QStringLiteral("preview"))) {
            printer.ShowPreview();
        } else {
            printer.PrintReport(parser.isSet(QStringLiteral("print-dialog")) ? kAutomationTrue
                                                                             : kAutomationFalse);
        }
    } catch (const UsageError& e) {
        Err(e.message);
        return kExitUsage;
    }
    MessageBox::SetSink(nullptr);
    return reported > 0 ? kExitReported : kExitOk;
}

} // namespace telmo::app
