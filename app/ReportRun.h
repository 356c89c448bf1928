#pragma once

#include "app/ReportOptions.h"

#include <QString>
#include <memory>

namespace telmo {
class GridControl;
class IPrinter;
} // namespace telmo

namespace telmo::app {

// One run of the report command on a finished grid: the titles set, then the page layout
// written, a preview page saved, the preview shown or the report printed. Every error the
// component reports during the run counts for the exit status; in batch mode it goes to
// standard error, and the same error reported page after page is told once, with the number
// of repeats.
class ReportRun {
public:
    ReportRun(const ReportOptions& options, std::shared_ptr<GridControl> grid);
    ~ReportRun();
    ReportRun(const ReportRun&) = delete;
    ReportRun& operator=(const ReportRun&) = delete;

    // Selects the printer the options name, with their paper, orientation and copies. Raises
    // RuntimeError for a printer that is not there: the command never falls back to another.
    static void ChoosePrinter(const ReportOptions& options);
    // Whether Ctrl-C came before printing began; says so when it did.
    static bool InterruptedBeforePrinting();

    // The exit status.
    int Run();

private:
    void OnReported(const QString& text, const QString& title);
    void FlushRepeats();
    QString InOwnWords(const QString& text, const QString& title) const;
    void SetTitles(IPrinter& printer) const;
    void TellWhereItWent() const;
    bool SaveScreenshot();
    // False, told, when standard output could not take all of it.
    static bool WriteLayout();

    const ReportOptions& options_;
    std::shared_ptr<GridControl> grid_;
    int reported_ = 0;
    QString lastReported_;
    int repeats_ = 0;
};

} // namespace telmo::app
