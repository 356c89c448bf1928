#include "app/ReportOptions.h"

#include "app/ReportCommand.h"
#include "app/ReportOptionTable.h"
#include "platform/print/Printer.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QLocale>
#include <QStringDecoder>
#include <cmath>
#include <cstdio>

namespace telmo::app {
namespace {

class UsageError {
public:
    explicit UsageError(QString message) : message(std::move(message)) {}
    QString message;
};

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

int16_t ToTitlePoints(const QCommandLineParser& parser, const QString& option, int16_t defaultPoints) {
    if (!parser.isSet(option))
        return defaultPoints;
    const long points = std::lround(ToPoints(parser, option));
    if (points < 1)
        throw UsageError(QStringLiteral("--%1 needs a size of at least 1 point").arg(option));
    return static_cast<int16_t>(points);
}

ReportOptions ReadParsed(const QCommandLineParser& parser) {
    ReportOptions o;
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
            o.csv.delimiter = u'\t';
        else if (d == QLatin1String(",") || d == QLatin1String(";") || d == QLatin1String("|"))
            o.csv.delimiter = d.front();
        else if (d != QLatin1String("auto"))
            throw UsageError(QStringLiteral("--delimiter takes , ; | tab or auto (the default: guessed "
                                            "from the first lines), not \"%1\"")
                                 .arg(d));
    }
    if (has("comment")) {
        if (value("comment").size() != 1 || value("comment").front().isSpace())
            throw UsageError(QStringLiteral("--comment takes one character, e.g. --comment '#'"));
        o.csv.comment = value("comment").front();
    }
    if (has("encoding")) {
        o.csv.encoding = value("encoding");
        if (!QStringDecoder(o.csv.encoding.toLatin1().constData()).isValid())
            throw UsageError(QStringLiteral("--encoding %1: not an encoding this system knows (try UTF-8, "
                                            "UTF-16, latin1 or windows-1252)")
                                 .arg(o.csv.encoding));
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

} // namespace

bool HasDisplay() {
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

std::optional<ReportOptions> ReportOptions::Read(const QStringList& arguments, int& exitStatus) {
    QCommandLineParser parser;
    DeclareOptions(parser);
    QStringList withProgram = arguments;
    withProgram.prepend(QStringLiteral("telmo-report"));
    exitStatus = kExitUsage;
    if (!parser.parse(withProgram)) {
        TellUser(parser.errorText());
        return std::nullopt;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        exitStatus = kExitOk;
        return std::nullopt;
    }
    if (parser.positionalArguments().size() != 1) {
        TellUser(QStringLiteral("give exactly one CSV file (see --help)"));
        return std::nullopt;
    }
    try {
        return ReadParsed(parser);
    } catch (const UsageError& e) {
        TellUser(e.message);
        return std::nullopt;
    }
}

} // namespace telmo::app
