// Fuzz target: the report command's --layout path (read, build and measure the grid, paginate) with
// paper, column widths, row heights, font size and heading row from the first bytes; the rest is CSV.
#include "FuzzApp.h"
#include "app/ReportCommand.h"
#include "component/JobState.h"
#include "platform/grid/GridControl.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

using namespace telmo;

namespace {

QString CsvPath() {
    static const QString path = QDir::temp().filePath(
        QStringLiteral("telmo-layout-fuzz-%1.csv").arg(QCoreApplication::applicationPid()));
    return path;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Qt asks the print server for its default printer for each input's printer: pointed at a socket
    // that is not there, it fails at once, without connecting to port 631 or letting a scheduler on
    // the machine have a say in the results.
    qputenv("CUPS_SERVER", "/nonexistent/telmo-layout-fuzz/cups.sock");
    fuzz::StartOffscreenApplication();
    // The layout goes to standard output; a million of them are of no use to anybody.
    std::fflush(stdout);
    const int devNull = ::open("/dev/null", O_WRONLY);
    if (devNull >= 0)
        ::dup2(devNull, STDOUT_FILENO);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Bytes h(data, size);
    const uint8_t flags = h.Byte();
    static const char* const papers[] = {"A4", "Letter", "Legal", "A3", "A5"};
    QStringList args{CsvPath(), "--layout", "--printer", "PDF", "--paper", papers[(flags & 7) % 5]};
    if (flags & 8)
        args << "--landscape";
    if (flags & 16)
        args << QStringList{"--fixed-rows", "0"};
    for (const auto& [flag, option] : {std::pair(32, "--col-widths"), std::pair(64, "--row-heights")})
        if (flags & flag) {
            // Twips up to a little over the command's own limit of 1,000,000, so refused sizes are tried too.
            const int first = h.Word() * 16, second = h.Word() * 16;
            args << option << QString("%1,%2").arg(first).arg(second);
        }
    if (flags & 128)
        args << "--grid-size" << QString::number(1 + h.Byte() / 2);
    const size_t csvStart = h.Position();

    // Rows times the widest row, bounded as in the reader's target: grid size is not this target's.
    size_t lines = 1, fields = 1, widest = 1;
    for (size_t i = csvStart; i < size; ++i) {
        if (data[i] == '\n') {
            ++lines;
            fields = 1;
        } else if (data[i] == ',' && ++fields > widest) {
            widest = fields;
        }
    }
    if (lines * widest > 200000)
        return 0;

    {
        QFile file(CsvPath());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            fuzz::Fail("cannot write the input file");
        file.write(reinterpret_cast<const char*>(data + csvStart), static_cast<qint64>(size - csvStart));
    }
    const int status = app::RunReportCommand(args);
    if (status != app::kExitOk && status != app::kExitReported && status != app::kExitUsage)
        fuzz::Fail("an exit status the command does not document");
    if (status != app::kExitOk)
        return 0;
    const JobState& s = State();
    const auto* grid = dynamic_cast<const GridControl*>(s.SourceGridObj.get());
    if (grid == nullptr)
        fuzz::Fail("a layout without its grid");
    if (s.TotalPages < 0 || static_cast<size_t>(s.TotalPages) >= s.PageBlocks.size() + 1)
        fuzz::Fail("more pages than page blocks");
    for (int page = 1; page <= s.TotalPages && page < static_cast<int>(s.PageBlocks.size()); ++page) {
        const PageBlock& b = s.PageBlocks[static_cast<size_t>(page)];
        // Row 0 and column 0 head every page, so a grid of one row (or column) is laid out with an
        // empty range there, from past the heading to the heading itself. Any other page holds cells.
        const int emptyRows = grid->Rows() == 1 ? 1 : 0, emptyCols = grid->Cols() == 1 ? 1 : 0;
        if (b.StartRow < 0 || b.EndRow >= grid->Rows() || b.StartRow > b.EndRow + emptyRows ||
            b.StartCol < 0 || b.EndCol >= grid->Cols() || b.StartCol > b.EndCol + emptyCols)
            fuzz::Fail("a page block outside the grid");
    }
    return 0;
}
