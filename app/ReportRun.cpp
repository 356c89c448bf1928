#include "app/ReportRun.h"

#include "app/InterruptWatch.h"
#include "app/ReportCommand.h"
#include "app/TerminalProgress.h"
#include "component/BatchHost.h"
#include "component/IPrinter.h"
#include "component/JobState.h"
#include "engine/PrintAllPages.h"
#include "engine/PrintDataSettings.h"
#include "platform/ControlCharacters.h"
#include "platform/grid/GridControl.h"
#include "platform/pdf/PrivateOutputFolder.h"
#include "platform/print/Printer.h"
#include "platform/ui/MessageBox.h"
#include "preview/PreviewWindow.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QPixmap>
#include <QRegularExpression>
#include <QTextStream>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace telmo::app {

ReportRun::ReportRun(const ReportOptions& options, std::shared_ptr<GridControl> grid)
    : options_(options), grid_(std::move(grid)) {
    MessageBox::SetSink([this](const QString& text, const QString& title, int) { OnReported(text, title); });
}

ReportRun::~ReportRun() {
    MessageBox::SetSink(nullptr);
}

void ReportRun::OnReported(const QString& text, const QString& title) {
    ++reported_;
    if (!MessageBox::IsBatchMode()) {
        QMessageBox::information(QApplication::activeWindow(), title, text);
        return;
    }
    const QString line = QuoteControlCharacters(InOwnWords(text, title));
    if (line == lastReported_) {
        ++repeats_;
        return;
    }
    FlushRepeats();
    lastReported_ = line;
    std::fprintf(stderr, "%s\n", qPrintable(line));
}

void ReportRun::FlushRepeats() {
    if (repeats_ > 0)
        TellUser(QStringLiteral("the error above was reported %1 more time%2")
                     .arg(repeats_)
                     .arg(repeats_ == 1 ? "" : "s"));
    repeats_ = 0;
}

// The component's message box text, "Unable to ACTION", a line break, "Error: N - TEXT", as
// the command's own line, with what to change where the command knows it.
QString ReportRun::InOwnWords(const QString& text, const QString& title) const {
    static const QRegularExpression form(QStringLiteral("^Unable to (.*)\r\nError: (\\d+) - (.*)$"),
                                         QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return title + QStringLiteral(": ") +
               QString(text).replace(QLatin1String("\r\n"), QLatin1String(" - "));
    QString description = match.captured(3);
    const QString printerError = QStringLiteral("Printer error: ");
    if (description.startsWith(printerError))
        description.remove(0, printerError.size());
    const QString action = match.captured(1).trimmed();
    QString line =
        QStringLiteral("telmo-report: could not %1 the report: %2 (error %3)")
            .arg(action.isEmpty() ? QStringLiteral("make") : action, description, match.captured(2));
    if (Printers::Current().DeviceName() == Printers::BuiltInPdfName()) {
        const QString folder = QFileInfo(Printers::PdfOutputFile()).absolutePath();
        if (!QFileInfo(folder).isDir())
            line += QStringLiteral("; the folder %1 does not exist: create it, or give --pdf a file in a "
                                   "folder that does")
                        .arg(folder);
    }
    return line;
}

bool ReportRun::InterruptedBeforePrinting() {
    if (!InterruptWatch::Interrupted())
        return false;
    TellUser(QStringLiteral("interrupted (Ctrl-C) before printing began; nothing was printed"));
    return true;
}

int ReportRun::Run() {
    IPrinter printer;
    SetTitles(printer);
    printer.SourceGrid(grid_);
    if (options_.layout) {
        State().FixedRowCount = grid_->FixedRows();
        CalculagePrintDataSettings();
        if (!WriteLayout())
            return kExitReported;
    } else if (options_.screenshot) {
        State().FixedRowCount = grid_->FixedRows();
        if (!SaveScreenshot() && reported_ == 0)
            return kExitUsage;
    } else if (options_.preview) {
        printer.ShowPreview();
    } else {
        if (InterruptedBeforePrinting())
            return kExitInterrupted;
        // Offscreen nobody sees the progress window: it need not wait to be seen, nor paint;
        // the terminal's progress line tells how the run goes.
        RunReportsUnseen(!HasDisplay());
        TerminalProgress progress = TerminalProgress::ForStream(stderr);
        SetPagePrintedObserver([&progress](int page, int total) {
            progress.PageDone(page, total);
            InterruptWatch::StopRunIfInterrupted();
        });
        printer.PrintReport(options_.printDialog ? kAutomationTrue : kAutomationFalse);
        SetPagePrintedObserver({});
        progress.Finish();
        // Ctrl-C after the last page went out (while the document was being finished, or on a
        // report of one page) stopped nothing: the report is complete, and is told as such.
        const JobState& s = State();
        const bool complete = !s.PrintCancelled && s.TotalPages > 0 && s.PagesPrinted == s.TotalPages;
        if (InterruptWatch::Interrupted() && !complete) {
            FlushRepeats();
            // A stopped run has said how many pages went out; one stopped before it began has not.
            if (!s.PrintCancelled)
                InterruptedBeforePrinting();
            return kExitInterrupted;
        }
        if (InterruptWatch::Interrupted() && reported_ == 0)
            TellUser(QStringLiteral("Ctrl-C came too late to stop the report: it is complete"));
        if (reported_ == 0)
            TellWhereItWent();
    }
    FlushRepeats();
    return reported_ > 0 ? kExitReported : kExitOk;
}

void ReportRun::SetTitles(IPrinter& printer) const {
    const ReportOptions& o = options_;
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

void ReportRun::ChoosePrinter(const ReportOptions& o) {
    // A job in a queue goes by title 1; without one, by the file it was printed from.
    Printers::SetDefaultJobName(QFileInfo(o.csvPath).fileName());
    Printers::SetTellsSavedFile(false); // the command says where the report went itself
    if (o.pdf) {
        Printers::SetPdfOutputFile(QFileInfo(*o.pdf).absoluteFilePath());
        Printers::SelectByName(Printers::BuiltInPdfName());
    } else if (o.printer) {
        Printers::SelectByName(*o.printer);
    }
    Printer& printer = Printers::Current();
    // With no printer set up, the default file goes where only this user can write.
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
void ReportRun::TellWhereItWent() const {
    const ReportOptions& o = options_;
    const Printer& printer = Printers::Current();
    const int pages = State().TotalPages;
    const QString count = QStringLiteral("%1 page%2").arg(pages).arg(pages == 1 ? "" : "s");
    if (printer.DeviceName() != Printers::BuiltInPdfName())
        TellUser(QStringLiteral("sent %1 to printer %2").arg(count, printer.DeviceName()));
    else if (o.pdf)
        TellUser(QStringLiteral("wrote %1 to %2").arg(count, Printers::PdfOutputFile()));
    else
        TellUser(QStringLiteral(
                     "no printer is set up, so the report went to the built-in PDF printer: wrote %1 to %2 "
                     "(choose with --pdf FILE or --printer NAME)")
                     .arg(count, Printers::PdfOutputFile()));
}

bool ReportRun::WriteLayout() {
    const JobState& s = State();
    const Printer& printer = Printers::Current();
    QString text;
    QTextStream out(&text);
    out << "printer\t" << printer.DeviceName() << '\n';
    out << "scale\t" << printer.ScaleWidth() << '\t' << printer.ScaleHeight() << '\n';
    out << "mode\t" << s.PaginationMode << '\n';
    out << "pages\t" << s.TotalPages << '\n';
    // Written a page line at a time, so that a layout of many pages is not held whole; a
    // write that fails (a full disk, a closed pipe) stops it: a layout cut short must not
    // pass for the whole of it.
    bool written = true;
    const auto flush = [&] {
        const QByteArray bytes = text.toUtf8();
        written = written && std::fwrite(bytes.data(), 1, static_cast<size_t>(bytes.size()), stdout) ==
                                 static_cast<size_t>(bytes.size());
        text.clear();
    };
    for (int page = 1; page <= s.TotalPages && page < static_cast<int>(s.PageBlocks.size()) && written;
         ++page) {
        const PageBlock& b = s.PageBlocks[static_cast<size_t>(page)];
        out << "page\t" << page << '\t' << b.StartRow << '\t' << b.EndRow << '\t' << b.StartCol << '\t'
            << b.EndCol << '\n';
        out.flush();
        if (text.size() > 4096)
            flush();
    }
    out.flush();
    flush();
    written = std::fflush(stdout) == 0 && written && !std::ferror(stdout);
    if (!written)
        TellUser(QStringLiteral("cannot write the layout to standard output: %1; it is incomplete")
                     .arg(QString::fromLocal8Bit(std::strerror(errno))));
    return written;
}

bool ReportRun::SaveScreenshot() {
    const QString& path = *options_.screenshot;
    const int page = options_.page;
    JobState& s = State();
    s.IsPreviewMode = true;
    PreviewWindow& preview = s.frmPreview.Get();
    if (preview.IsUnloaded())
        return false;
    if (page < 1 || page > s.TotalPages) {
        TellUser(
            QStringLiteral("--page %1 is not a page of this report (1 to %2)").arg(page).arg(s.TotalPages));
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
        TellUser(QStringLiteral("cannot write %1").arg(path));
    preview.Unload();
    return saved;
}

} // namespace telmo::app
