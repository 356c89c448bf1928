#include "app/ReportCommand.h"

#include "app/ColumnPicker.h"
#include "app/CsvReader.h"
#include "app/InterruptWatch.h"
#include "app/ReportGrid.h"
#include "app/ReportOptions.h"
#include "app/ReportPreflight.h"
#include "app/ReportRun.h"
#include "engine/GridSizes.h"
#include "engine/Pagination.h"
#include "platform/ControlCharacters.h"
#include "platform/FontSpec.h"
#include "platform/RuntimeError.h"
#include "platform/grid/GridControl.h"
#include "platform/print/Printer.h"

#include <QFileInfo>
#include <QRawFont>
#include <cstdio>
#include <optional>

namespace telmo::app {

void TellUser(const QString& text) {
    std::fprintf(stderr, "telmo-report: %s\n", qPrintable(QuoteControlCharacters(text)));
}

namespace {

void WarnTooWideToFit(const GridControl& grid, const ReportOptions& options) {
    const auto total = static_cast<int>(pagination::TotalColWidth(GridSizes::Of(grid)));
    TellUser(QStringLiteral("warning: --fit-width: %1 is %2 twips wide even at %3 pt, wider than the "
                            "printable width of %4 twips; printed at %3 pt, its columns split over "
                            "pages. Pick fewer with --columns, or use %5larger --paper")
                 .arg(options.csvPath)
                 .arg(total)
                 .arg(static_cast<double>(grid.FontSize()))
                 .arg(static_cast<int>(options.grid.printableWidth))
                 .arg(options.landscape ? QString() : QStringLiteral("--landscape or ")));
}

// A grid font that is not installed prints in the one the system puts in its place: say which.
void WarnFontReplaced(const ReportOptions& options) {
    if (!options.grid.fontName)
        return;
    // The face the page is drawn with, as the printed page resolves it.
    const QString used =
        QRawFont::fromFont(ToTwipsFont(FontSpec{*options.grid.fontName, 10, false})).familyName();
    if (used.compare(*options.grid.fontName, Qt::CaseInsensitive) != 0)
        TellUser(QStringLiteral("warning: --grid-font %1: no font of that name is installed; the grid "
                                "prints in %2 instead (fc-list lists the fonts there are)")
                     .arg(*options.grid.fontName, used));
}

// Why a grid cannot be printed before the layout is even made, or nothing.
std::optional<QString> NothingToPrint(const GridControl& grid, const ReportOptions& options) {
    // The component lays out a grid with nothing under its heading as no pages at all; a
    // page holding only the heading would look like a finished, empty report.
    if (grid.Rows() - grid.FixedRows() <= 0)
        return options.csvPath + QStringLiteral(": no data rows: line 1 is the heading row and nothing "
                                                "follows it; add rows below it, or print it as data "
                                                "with --fixed-rows 0. Nothing was printed.");
    if (options.startRow && *options.startRow > grid.Rows() - 1)
        return QStringLiteral("--start-row %1 is past the last row of %2 (%3 rows after the heading); "
                              "give a value from 1 to %3. Nothing was printed.")
            .arg(*options.startRow)
            .arg(options.csvPath)
            .arg(grid.Rows() - 1);
    return std::nullopt;
}

} // namespace

int RunReportCommand(const QStringList& arguments) {
    int exitStatus = kExitOk;
    std::optional<ReportOptions> read = ReportOptions::Read(arguments, exitStatus);
    if (!read)
        return exitStatus;
    ReportOptions& options = *read;

    // Ctrl-C stops a print run between pages; other runs end at once, as usual.
    std::optional<InterruptWatch> interrupts;
    if (!options.layout && !options.screenshot && !options.preview)
        interrupts.emplace();

    // The file goes straight into the grid, record by record, with no copy of the table
    // held beside it; picked columns are taken from each record as it comes.
    std::optional<ReportGridBuilder> builder(std::in_place, options.grid);
    std::optional<ColumnPicker> picker;
    if (!options.columns.isEmpty())
        picker.emplace(options.columns);
    CsvError error;
    QString note;
    const bool parsed = ReadCsvFile(
        options.csvPath,
        [&](QStringList& fields) {
            if (!picker)
                builder->Add(fields);
            else if (picker->Pick(fields))
                builder->Add(fields);
            else
                builder.reset(); // nothing will print: only the records are counted on
        },
        options.csv, error, &note);
    if (!parsed) {
        TellUser(error.message);
        return kExitUsage;
    }
    if (!note.isEmpty())
        TellUser(QStringLiteral("note: ") + note);
    if (picker) {
        if (const std::optional<QString> problem = picker->Problem(options.csvPath)) {
            TellUser(*problem);
            return kExitUsage;
        }
    }
    if (options.titleFromFile) {
        TitleLine title;
        title.text = QFileInfo(options.csvPath).fileName();
        title.points = 16;
        options.titles[0] = title;
    }
    if (ReportRun::InterruptedBeforePrinting())
        return kExitInterrupted;
    try {
        ReportRun::ChoosePrinter(options);
    } catch (const RuntimeError& e) {
        // Never fall back to another printer: the report would come out where nobody asked.
        TellUser(e.Description());
        return kExitReported;
    }
    const Printer& chosen = Printers::Current();
    options.grid.printableWidth = chosen.ScaleWidth();
    options.grid.printableHeight = chosen.ScaleHeight();
    builder->SetPrintable(options.grid.printableWidth, options.grid.printableHeight);
    const std::shared_ptr<GridControl> grid = builder->Finish();
    builder.reset();
    WarnFontReplaced(options);
    if (options.fitWidth && !ReportGridBuilder::FitToWidth(*grid, options.grid))
        WarnTooWideToFit(*grid, options);
    if (const std::optional<QString> reason = NothingToPrint(*grid, options)) {
        TellUser(*reason);
        return kExitUsage;
    }
    const PreflightFindings findings = CheckReport(*grid, chosen.ScaleWidth(), chosen.ScaleHeight(),
                                                   options.startRow.value_or(0), options.csvPath);
    // What keeps a report from printing keeps its layout from being made too: the component
    // would only report errors by number.
    if (findings.blocker) {
        TellUser(*findings.blocker);
        return kExitUsage;
    }
    for (const QString& warning : findings.warnings)
        TellUser(QStringLiteral("warning: ") + warning);
    ReportRun run(options, grid);
    return run.Run();
}

} // namespace telmo::app
