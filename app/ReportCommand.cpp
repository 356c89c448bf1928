#include "app/ReportCommand.h"

#include "app/CsvReader.h"
#include "app/InterruptWatch.h"
#include "app/ReportGrid.h"
#include "app/ReportPreflight.h"
#include "app/TerminalProgress.h"
#include "component/IPrinter.h"
#include "component/JobState.h"
#include "dialogs/PrintStatusWindow.h"
#include "engine/GridSizes.h"
#include "engine/Pagination.h"
#include "engine/PrintAllPages.h"
#include "engine/PrintDataSettings.h"
#include "platform/ControlCharacters.h"
#include "platform/FontSpec.h"
#include "platform/RuntimeError.h"
#include "platform/grid/GridControl.h"
#include "platform/pdf/PrivateOutputFolder.h"
#include "platform/print/Printer.h"
#include "platform/ui/MessageBox.h"
#include "preview/PreviewWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLocale>
#include <QMessageBox>
#include <QPixmap>
#include <QTextStream>
#include <array>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>

namespace telmo::app {
namespace {

class UsageError {
public:
    explicit UsageError(QString message) : message(std::move(message)) {}
    QString message;
};

void Err(const QString& text) {
    std::fprintf(stderr, "telmo-report: %s\n", qPrintable(QuoteControlCharacters(text)));
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

struct TitleLine {
    QString text;
    TitleAlignment alignment = ALIGNCENTER;
    QString fontName = QStringLiteral("Times New Roman");
    int16_t points = 12;
};

// Everything the command line asks for, checked before the file is read, so that a bad value
// is told at once, also for an option that would only be used later (or not at all).
struct Options {
    QString csvPath;
    std::array<std::optional<TitleLine>, 4> titles;
    std::optional<TitleLine> date;
    bool separator = false;
    std::optional<int32_t> startRow;
    std::optional<QString> errorLog;
    GridOptions grid;
    std::optional<QString> printer;
    std::optional<QString> pdf;
    std::optional<int16_t> paper;
    bool landscape = false;
    std::optional<int16_t> copies;
    bool printDialog = false;
    bool preview = false;
    bool layout = false;
    std::optional<QString> screenshot;
    int page = 1;
    QChar delimiter; // null: guessed from the file's first lines
    bool fitWidth = false;
    QStringList columns; // headings or numbers from 1, in the order to print
    bool titleFromFile = false;
};

int16_t ToTitlePoints(const QCommandLineParser& parser, const QString& option, int16_t defaultPoints) {
    if (!parser.isSet(option))
        return defaultPoints;
    const long points = std::lround(ToPoints(parser, option));
    if (points < 1)
        throw UsageError(QStringLiteral("--%1 needs a size of at least 1 point").arg(option));
    return static_cast<int16_t>(points);
}

bool HasDisplay() {
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

Options ReadOptions(const QCommandLineParser& parser) {
    Options o;
    const auto has = [&](const char* name) { return parser.isSet(QLatin1String(name)); };
    const auto value = [&](const char* name) { return parser.value(QLatin1String(name)); };
    o.csvPath = parser.positionalArguments().first();
    for (int line = 1; line <= 4; ++line) {
        const QString title = QStringLiteral("title%1").arg(line);
        const QString align = QStringLiteral("align%1").arg(line);
        const QString font = QStringLiteral("font%1").arg(line);
        const QString size = QStringLiteral("size%1").arg(line);
        TitleLine t;
        t.text = parser.value(title);
        if (parser.isSet(align))
            t.alignment = ToAlignment(parser.value(align), align);
        if (parser.isSet(font))
            t.fontName = parser.value(font);
        t.points = ToTitlePoints(parser, size, line == 1 || line == 4 ? 16 : 12);
        if (parser.isSet(title))
            o.titles[static_cast<size_t>(line - 1)] = t;
    }
    {
        TitleLine d;
        d.text = value("date");
        if (has("date-font"))
            d.fontName = value("date-font");
        d.points = ToTitlePoints(parser, QStringLiteral("date-size"), 10);
        if (has("date"))
            o.date = d;
    }
    o.separator = has("separator");
    if (has("start-row"))
        o.startRow = ToInt(parser, QStringLiteral("start-row"), 1, 2000000000);
    if (has("error-log"))
        o.errorLog = value("error-log");
    if (has("grid-font"))
        o.grid.fontName = value("grid-font");
    if (has("grid-size"))
        o.grid.fontSize = static_cast<float>(ToPoints(parser, QStringLiteral("grid-size")));
    if (has("fixed-rows"))
        o.grid.fixedRows = ToInt(parser, QStringLiteral("fixed-rows"), 0, 1);
    if (has("col-widths"))
        o.grid.colWidths = ToTwipsList(value("col-widths"), QStringLiteral("col-widths"));
    if (has("row-heights"))
        o.grid.rowHeights = ToTwipsList(value("row-heights"), QStringLiteral("row-heights"));
    if (has("printer"))
        o.printer = value("printer");
    if (has("pdf")) {
        o.pdf = value("pdf");
        if (o.pdf->isEmpty())
            throw UsageError(QStringLiteral("--pdf needs a file name"));
        if (o.printer && *o.printer != Printers::BuiltInPdfName())
            throw UsageError(QStringLiteral("--pdf prints on the built-in PDF printer; it cannot go with "
                                            "--printer %1")
                                 .arg(*o.printer));
    }
    if (has("paper"))
        o.paper = PaperCode(value("paper"));
    o.landscape = has("landscape");
    if (has("copies"))
        o.copies = static_cast<int16_t>(ToInt(parser, QStringLiteral("copies"), 1, 999));
    o.printDialog = has("print-dialog");
    o.preview = has("preview");
    o.layout = has("layout");
    if (has("screenshot")) {
        o.screenshot = value("screenshot");
        if (o.screenshot->isEmpty())
            throw UsageError(QStringLiteral("--screenshot needs a file name"));
    }
    if (has("delimiter")) {
        const QString d = value("delimiter");
        if (d == QLatin1String("tab") || d == QLatin1String("\\t") || d == QLatin1String("\t"))
            o.delimiter = u'\t';
        else if (d == QLatin1String(",") || d == QLatin1String(";") || d == QLatin1String("|"))
            o.delimiter = d.front();
        else if (d != QLatin1String("auto"))
            throw UsageError(QStringLiteral("--delimiter takes , ; | tab or auto (the default: guessed "
                                            "from the first lines), not \"%1\"")
                                 .arg(d));
    }
    if (has("locale")) {
        const QLocale locale(value("locale"));
        if (locale.language() == QLocale::C && value("locale") != QLatin1String("C"))
            throw UsageError(QStringLiteral("--locale takes a locale name such as de_DE or en_US, not \"%1\"")
                                 .arg(value("locale")));
        o.grid.numberLocale = locale;
    }
    o.grid.wrap = has("wrap");
    o.fitWidth = has("fit-width");
    if (o.fitWidth && !o.grid.colWidths.empty())
        throw UsageError(QStringLiteral("--fit-width fits the columns to their text; it cannot go with "
                                        "--col-widths"));
    if (o.grid.wrap && !o.grid.rowHeights.empty())
        throw UsageError(QStringLiteral("--wrap sizes the rows to their text; it cannot go with "
                                        "--row-heights"));
    if (has("columns")) {
        for (const QString& part : value("columns").split(QLatin1Char(',')))
            o.columns << part.trimmed();
        if (o.columns.contains(QString()))
            throw UsageError(QStringLiteral("--columns takes headings or column numbers from 1, "
                                            "comma-separated, e.g. --columns Name,3,City"));
    }
    o.titleFromFile = has("title-from-file");
    if (o.titleFromFile && o.titles[0])
        throw UsageError(QStringLiteral("--title-from-file sets title 1; it cannot go with --title1"));
    if (has("page")) {
        o.page = ToInt(parser, QStringLiteral("page"), 1, 32767);
        if (!o.screenshot)
            throw UsageError(QStringLiteral("--page goes with --screenshot"));
    }
    if (int(o.printDialog) + int(o.preview) + int(o.layout) + int(o.screenshot.has_value()) > 1)
        throw UsageError(
            QStringLiteral("--print-dialog, --preview, --layout and --screenshot exclude each other"));
    // Offscreen, a modal window would wait for a user who cannot reach it.
    if ((o.preview || o.printDialog) && !HasDisplay())
        throw UsageError(QStringLiteral("--%1 needs a display").arg(o.preview ? "preview" : "print-dialog"));
    return o;
}

// The columns asked for, in their order: a number counts from 1, any other text is a heading
// of line 1 (exactly, or else ignoring case). Fields are picked from each record as it is
// read; whether a number names a column is only known once every record has been counted.
class ColumnPicker {
public:
    explicit ColumnPicker(const QStringList& wanted) : wanted_(wanted) {}

    // The fields of a record to print, in the order asked for; nothing once a column asked
    // for is known not to be in the file.
    bool Pick(QStringList& fields) {
        maxFields_ = std::max(maxFields_, static_cast<int>(fields.size()));
        if (!resolved_)
            Resolve(fields);
        if (missing_)
            return false;
        QStringList kept;
        kept.reserve(static_cast<qsizetype>(picked_.size()));
        for (const int c : picked_)
            kept << fields.value(c);
        fields = std::move(kept);
        return true;
    }

    // After the last record: why the columns cannot be printed, or nothing.
    std::optional<QString> Problem(const QString& csvPath) const {
        for (size_t k = 0; k < picked_.size(); ++k) {
            if (picked_[k] >= 0 && picked_[k] < maxFields_)
                continue;
            const QString& want = wanted_[static_cast<qsizetype>(k)];
            bool isNumber = false;
            const int number = want.toInt(&isNumber);
            QStringList listed;
            for (int c = 0; c < maxFields_; ++c)
                listed << QStringLiteral("%1 \"%2\"").arg(c + 1).arg(headings_.value(c));
            return QStringLiteral("--columns: %1 has no column %2; give headings of line 1 or numbers "
                                  "from 1 to %3: %4. Nothing was printed.")
                .arg(csvPath, isNumber ? QString::number(number) : QStringLiteral("headed \"%1\"").arg(want))
                .arg(maxFields_)
                .arg(listed.join(QStringLiteral(", ")));
        }
        return std::nullopt;
    }

private:
    void Resolve(const QStringList& headings) {
        resolved_ = true;
        headings_ = headings;
        for (const QString& want : wanted_) {
            bool isNumber = false;
            const int number = want.toInt(&isNumber);
            int index = -1;
            if (isNumber && number >= 1)
                index = number - 1; // checked against the widest record at the end
            else if (!isNumber) {
                index = static_cast<int>(headings.indexOf(want));
                for (int c = 0; index < 0 && c < headings.size(); ++c)
                    if (headings[c].trimmed().compare(want, Qt::CaseInsensitive) == 0)
                        index = c;
            }
            missing_ = missing_ || index < 0;
            picked_.push_back(index);
        }
    }

    QStringList wanted_;
    QStringList headings_; // line 1
    std::vector<int> picked_;
    bool resolved_ = false;
    bool missing_ = false;
    int maxFields_ = 0;
};

// The grid at the largest font size, from the one asked for down to kSmallestFitPoints, whose
// fitted columns fit the printable width on one page; at that smallest size when none does.
// Each size is tried on the same grid, measured again, so no second copy of the texts is made.
constexpr float kSmallestFitPoints = 6;
void FitToWidth(GridControl& built, const GridOptions& grid, const QString& csvPath) {
    const float width = grid.printableWidth;
    float points = built.FontSize();
    for (int attempt = 0;; ++attempt) {
        if (attempt > 0)
            ReportGridBuilder::Refit(built, points, grid);
        const float total = static_cast<float>(pagination::TotalColWidth(GridSizes::Of(built)));
        if (total <= width || width <= 0)
            return;
        if (points <= kSmallestFitPoints || attempt >= 12) {
            Err(QStringLiteral("warning: --fit-width: %1 is %2 twips wide even at %3 pt, wider than the "
                               "printable width of %4 twips; printed at %3 pt, its columns split over "
                               "pages. Pick fewer with --columns, or use --landscape or larger --paper")
                    .arg(csvPath)
                    .arg(static_cast<int>(total))
                    .arg(static_cast<double>(points))
                    .arg(static_cast<int>(width)));
            return;
        }
        // Text widths scale with the font, the cell margins do not: step a little below the ratio.
        points = std::max(kSmallestFitPoints, std::floor(points * width / total * 0.98f * 4) / 4);
    }
}

void SetTitles(IPrinter& printer, const Options& o) {
    for (size_t line = 0; line < o.titles.size(); ++line) {
        if (!o.titles[line])
            continue;
        const TitleLine& t = *o.titles[line];
        switch (line) {
        case 0:
            printer.Title1(t.text, t.alignment, t.fontName, t.points);
            break;
        case 1:
            printer.Title2(t.text, t.alignment, t.fontName, t.points);
            break;
        case 2:
            printer.Title3(t.text, t.alignment, t.fontName, t.points);
            break;
        default:
            printer.Title4(t.text, t.alignment, t.fontName, t.points);
            break;
        }
    }
    if (o.date)
        printer.CurrDate(o.date->text, o.date->fontName, o.date->points);
    if (o.separator)
        printer.TitleSeprator(kAutomationTrue);
    if (o.startRow)
        printer.StartRow(Variant(*o.startRow));
    if (o.errorLog)
        printer.ErrorLogFile(*o.errorLog);
}

void ChoosePrinter(const Options& o) {
    if (o.pdf) {
        Printers::SetPdfOutputFile(QFileInfo(*o.pdf).absoluteFilePath());
        Printers::SelectByName(Printers::BuiltInPdfName());
    } else if (o.printer) {
        Printers::SelectByName(*o.printer);
    }
    Printer& printer = Printers::Current();
    if (!o.pdf && !o.layout && !o.screenshot && printer.DeviceName() == Printers::BuiltInPdfName())
        Printers::SetPdfOutputFile(PrivateDefaultFile(QStringLiteral("telmo-report.pdf")));
    if (o.paper)
        printer.SetPaperSize(*o.paper);
    if (o.landscape)
        printer.SetOrientation(Printer::kLandscape);
    if (o.copies)
        printer.SetCopies(*o.copies);
}

// A printed report says where it went, above all when that is not a place the user named.
void TellWhereItWent(const Options& o) {
    const Printer& printer = Printers::Current();
    const int pages = State().TotalPages;
    const QString count = QStringLiteral("%1 page%2").arg(pages).arg(pages == 1 ? "" : "s");
    if (printer.DeviceName() != Printers::BuiltInPdfName())
        Err(QStringLiteral("sent %1 to printer %2").arg(count, printer.DeviceName()));
    else if (o.pdf)
        Err(QStringLiteral("wrote %1 to %2").arg(count, Printers::PdfOutputFile()));
    else
        Err(QStringLiteral(
                "no printer is set up, so the report went to the built-in PDF printer: wrote %1 to %2 "
                "(choose with --pdf FILE or --printer NAME)")
                .arg(count, Printers::PdfOutputFile()));
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
    parser.setApplicationDescription(
        QStringLiteral("Prints a CSV file as a paginated report, or shows it in the print preview.\n"
                       "The first line is the heading row, the first field of each line the heading column.\n"
                       "Without a display it runs offscreen: errors go to standard error, no window waits.\n"
                       "Ctrl-C while printing stops after the page being printed; pages printed to a\n"
                       "printer stay printed, an unfinished PDF is not saved (an earlier file stays).\n"
                       "Exit status: 0 done, 1 an error was reported, 2 bad usage or an unreadable,\n"
                       "malformed or empty file (nothing is printed then), 130 stopped by Ctrl-C."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("file.csv"),
                                 QStringLiteral("The table to print (RFC 4180, UTF-8)."));
    const auto add = [&](const QString& name, const QString& help, const QString& valueName = QString()) {
        parser.addOption(QCommandLineOption(name, help, valueName));
    };
    for (int i = 1; i <= 4; ++i) {
        add(QStringLiteral("title%1").arg(i),
            i == 4 ? QStringLiteral("Title line 4, near the foot of the preview page (not printed).")
                   : QStringLiteral("Title line %1.").arg(i),
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
    add(QStringLiteral("start-row"),
        QStringLiteral("First row of a one-page report (1 is the line after the heading row)."),
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
    add(QStringLiteral("delimiter"),
        QStringLiteral("Field separator: , ; | tab, or auto (default): the one the first lines use."),
        QStringLiteral("SEP"));
    add(QStringLiteral("columns"),
        QStringLiteral("The columns to print, in this order, by heading or number from 1, "
                       "comma-separated (e.g. Name,3,City); the first is the heading column."),
        QStringLiteral("LIST"));
    add(QStringLiteral("locale"),
        QStringLiteral("Read numbers also as in this locale (e.g. de_DE for 1.234,5). A column whose "
                       "cells are all numbers is aligned right."),
        QStringLiteral("NAME"));
    add(QStringLiteral("fit-width"),
        QStringLiteral("Make the grid font smaller (down to 6 pt) so the report is one page wide; "
                       "warns and prints at 6 pt when even that is too wide."));
    add(QStringLiteral("wrap"),
        QStringLiteral("Make each row as tall as its texts wrapped in their columns (at most a page)."));
    add(QStringLiteral("title-from-file"), QStringLiteral("Title 1 is the file's name."));
    add(QStringLiteral("printer"), QStringLiteral("A spooler printer, or PDF for the built-in PDF printer."),
        QStringLiteral("NAME"));
    add(QStringLiteral("pdf"), QStringLiteral("Print to FILE on the built-in PDF printer."),
        QStringLiteral("FILE"));
    add(QStringLiteral("paper"), QStringLiteral("Paper size: A4, Letter, Legal, A3 or A5."),
        QStringLiteral("SIZE"));
    add(QStringLiteral("landscape"), QStringLiteral("Landscape orientation."));
    add(QStringLiteral("copies"), QStringLiteral("Number of copies."), QStringLiteral("N"));
    add(QStringLiteral("print-dialog"),
        QStringLiteral("Choose the printer in the print dialog first (needs a display)."));
    add(QStringLiteral("preview"), QStringLiteral("Open the print preview window (needs a display)."));
    add(QStringLiteral("screenshot"),
        QStringLiteral("Compose page N in the preview window offscreen, save it as PNG."),
        QStringLiteral("FILE.png"));
    add(QStringLiteral("page"), QStringLiteral("The page for --screenshot (default 1)."),
        QStringLiteral("N"));
    add(QStringLiteral("layout"),
        QStringLiteral("Write the page layout, tab-separated, without printing: printer, scale, "
                       "mode, pages, and a line per page (page, rows and columns from-to)."));

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

    Options options;
    try {
        options = ReadOptions(parser);
    } catch (const UsageError& e) {
        Err(e.message);
        return kExitUsage;
    }

    // Every reported error counts for the exit status; in batch mode it goes to stderr. A run
    // that fails on every page reports the same error page after page: it is told once, with
    // the number of repeats.
    struct {
        int count = 0;
        QString last;
        int repeats = 0;
        void Flush() {
            if (repeats > 0)
                Err(QStringLiteral("the error above was reported %1 more time%2")
                        .arg(repeats)
                        .arg(repeats == 1 ? "" : "s"));
            repeats = 0;
        }
    } reported;
    MessageBox::SetSink([&reported](const QString& text, const QString& title, int) {
        ++reported.count;
        if (!MessageBox::IsBatchMode()) {
            QMessageBox::information(QApplication::activeWindow(), title, text);
            return;
        }
        const QString line =
            title + QStringLiteral(": ") +
            QuoteControlCharacters(QString(text).replace(QLatin1String("\r\n"), QLatin1String(" - ")));
        if (line == reported.last) {
            ++reported.repeats;
            return;
        }
        reported.Flush();
        reported.last = line;
        std::fprintf(stderr, "%s\n", qPrintable(line));
    });
    struct SinkReset {
        ~SinkReset() { MessageBox::SetSink(nullptr); }
    } sinkReset;

    // Ctrl-C stops a print run between pages; other runs end at once, as usual.
    std::optional<InterruptWatch> interrupts;
    if (!options.layout && !options.screenshot && !options.preview)
        interrupts.emplace();
    const auto interruptedBeforePrinting = [&] {
        if (!InterruptWatch::Interrupted())
            return false;
        Err(QStringLiteral("interrupted (Ctrl-C) before printing began; nothing was printed"));
        return true;
    };

    // The file goes straight into the grid, record by record, with no copy of the table
    // held beside it; picked columns are taken from each record as it comes.
    std::optional<ReportGridBuilder> builder(std::in_place, options.grid);
    std::optional<ColumnPicker> picker;
    if (!options.columns.isEmpty())
        picker.emplace(options.columns);
    CsvError error;
    const bool read = ReadCsvFile(
        options.csvPath,
        [&](QStringList& fields) {
            if (!picker)
                builder->Add(fields);
            else if (picker->Pick(fields))
                builder->Add(fields);
            else
                builder.reset(); // nothing will print: only the records are counted on
        },
        error, options.delimiter);
    if (!read) {
        Err(error.message);
        return kExitUsage;
    }
    if (picker) {
        if (const std::optional<QString> problem = picker->Problem(options.csvPath)) {
            Err(*problem);
            return kExitUsage;
        }
    }
    if (options.titleFromFile) {
        TitleLine title;
        title.text = QFileInfo(options.csvPath).fileName();
        title.points = 16;
        options.titles[0] = title;
    }
    if (interruptedBeforePrinting())
        return kExitInterrupted;
    try {
        ChoosePrinter(options);
    } catch (const RuntimeError& e) {
        // Never fall back to another printer: the report would come out where nobody asked.
        Err(e.Description());
        return kExitReported;
    }
    const Printer& chosen = Printers::Current();
    options.grid.printableWidth = chosen.ScaleWidth();
    options.grid.printableHeight = chosen.ScaleHeight();
    builder->SetPrintable(options.grid.printableWidth, options.grid.printableHeight);
    const std::shared_ptr<GridControl> grid = builder->Finish();
    builder.reset();
    if (options.fitWidth)
        FitToWidth(*grid, options.grid, options.csvPath);
    if (!options.layout) {
        // The component lays out a grid with nothing under its heading as no pages at all; a
        // page holding only the heading would look like a finished, empty report.
        const int dataRows = grid->Rows() - grid->FixedRows();
        if (dataRows <= 0) {
            Err(options.csvPath + QStringLiteral(": no data rows: line 1 is the heading row and nothing "
                                                 "follows it; add rows below it, or print it as data "
                                                 "with --fixed-rows 0. Nothing was printed."));
            return kExitUsage;
        }
        if (options.startRow && *options.startRow > grid->Rows() - 1) {
            Err(QStringLiteral("--start-row %1 is past the last row of %2 (%3 rows after the heading); "
                               "give a value from 1 to %3. Nothing was printed.")
                    .arg(*options.startRow)
                    .arg(options.csvPath)
                    .arg(grid->Rows() - 1));
            return kExitUsage;
        }
    }
    const PreflightFindings findings =
        CheckReport(*grid, chosen.ScaleWidth(), chosen.ScaleHeight(),
                    static_cast<float>(options.startRow.value_or(0)), options.csvPath);
    // What keeps a report from printing keeps its layout from being made too: the component
    // would only report errors by number.
    if (findings.blocker) {
        Err(*findings.blocker);
        return kExitUsage;
    }
    if (!options.layout)
        for (const QString& warning : findings.warnings)
            Err(QStringLiteral("warning: ") + warning);
    IPrinter printer;
    SetTitles(printer, options);
    printer.SourceGrid(grid);
    if (options.layout) {
        State().FixedRowCount = grid->FixedRows();
        CalculagePrintDataSettings();
        WriteLayout();
    } else if (options.screenshot) {
        State().FixedRowCount = grid->FixedRows();
        if (!SaveScreenshot(*options.screenshot, options.page) && reported.count == 0)
            return kExitUsage;
    } else if (options.preview) {
        printer.ShowPreview();
    } else {
        if (interruptedBeforePrinting())
            return kExitInterrupted;
        // Offscreen nobody sees the progress window: it need not wait to be seen, nor paint;
        // the terminal's progress line tells how the run goes.
        PrintStatusWindow::SetRunsUnseen(!HasDisplay());
        TerminalProgress progress = TerminalProgress::ForStream(stderr);
        SetPagePrintedObserver([&progress](int page, int total) { progress.PageDone(page, total); });
        printer.PrintReport(options.printDialog ? kAutomationTrue : kAutomationFalse);
        SetPagePrintedObserver({});
        progress.Finish();
        if (InterruptWatch::Interrupted()) {
            reported.Flush();
            // A stopped run has said how many pages went out; one stopped before it began has not.
            if (!State().PrintCancelled)
                interruptedBeforePrinting();
            return kExitInterrupted;
        }
        if (reported.count == 0)
            TellWhereItWent(options);
    }
    reported.Flush();
    return reported.count > 0 ? kExitReported : kExitOk;
}

} // namespace telmo::app
