// Fuzz target: late-bound calls of any name, kind and arguments, odd grids, grids that call in mid-report:
// no crash, no hang (waiting windows are closed), no report saved after an error was reported in its run.
#include "FuzzApp.h"
#include "component/BatchHost.h"
#include "component/IPrinter.h"
#include "component/JobState.h"
#include "dialogs/PrintStatusWindow.h"
#include "platform/RuntimeError.h"
#include "platform/grid/GridControl.h"
#include "platform/print/Printer.h"
#include "platform/ui/MessageBox.h"
#include "support/CallbackGrid.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTimer>
#include <QWidget>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

using namespace telmo;

namespace {

const char* const kMembers[] = {"HasPrinter",  "CurrDate",         "Title1",        "Title4",      "Title2",
                                "Title3",      "IsDefaultPrinter", "SourceGrid",    "FixedRows",   "StartRow",
                                "ShowPreview", "PrintReport",      "TitleSeprator", "ErrorLogFile"};

class Input : public fuzz::Bytes {
public:
    using Bytes::Bytes;
    int16_t Short() { return static_cast<int16_t>(Word()); }
    QString Text() {
        const int length = Byte() % 12;
        QString text;
        for (int i = 0; i < length; ++i)
            text += QChar(static_cast<char16_t>(Byte() % 4 == 0 ? 0x400 + Byte() : 0x20 + Byte() % 95));
        return text;
    }
};

using telmo::test::CallbackGrid;

std::shared_ptr<CallbackGrid> MakeGrid(Input& in) {
    auto grid = std::make_shared<CallbackGrid>();
    const int rows = in.Byte() % 40, cols = in.Byte() % 9;
    grid->SetRows(rows);
    grid->SetCols(cols);
    if (rows > 0 && cols > 0) {
        grid->SetFixedRows(static_cast<int16_t>(in.Byte() % 3 % rows));
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c)
                grid->SetTextMatrix(r, c, QStringLiteral("%1.%2").arg(r).arg(c));
        const int col = in.Byte() % cols, width = in.Short(), row = in.Byte() % rows, height = in.Short();
        try {
            grid->SetColWidth(col, width);
            grid->SetRowHeight(row, height);
        } catch (const RuntimeError&) {
            // The host's own grid refuses a size (a negative one); the grid stays as it was.
        }
    }
    return grid;
}

QString MemberName(Input& in) {
    QString name = QString::fromLatin1(kMembers[in.Byte() % std::size(kMembers)]);
    const int how = in.Byte() % 8; // upper-cased, cut short, made up, or as it is
    return how == 0   ? name.toUpper()
           : how == 1 ? name.left(in.Byte() % (name.size() + 1))
           : how == 2 ? in.Text()
                      : name;
}

Variant MakeArgument(Input& in, std::shared_ptr<CallbackGrid>& grid) {
    switch (in.Byte() % 12) {
    case 0:
        return Variant();
    case 1:
        return Variant::Missing();
    case 2:
        return Variant::Null();
    case 3:
        return Variant(static_cast<bool>(in.Byte() & 1));
    case 4:
        return Variant(in.Short());
    case 5:
        return Variant(static_cast<int32_t>(static_cast<uint32_t>(in.Short()) * 65537u)); // any Long
    case 6:
        return Variant(static_cast<float>(in.Short()) / 4);
    case 7: {
        static const double specials[] = {1e300, -1e300, 0.5, 1.5, -0.5, 32767.5, 2147483648.0, 1e-300};
        return Variant(specials[in.Byte() % 8]);
    }
    case 8:
        return Variant(in.Text());
    case 9:
        return Variant::Boolean(in.Short());
    case 10:
        return Variant(ObjectRef());
    default:
        grid = MakeGrid(in);
        return Variant(ObjectRef(grid));
    }
}

QString Target() {
    static const QString path = QDir::temp().filePath(
        QStringLiteral("telmo-iprinter-fuzz-%1.pdf").arg(QCoreApplication::applicationPid()));
    return path;
}

QByteArray TargetBytes() {
    QFile file(Target());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int errors = 0; // messages that report an error of the run (not a refused second run)

// One late-bound call. A run checks that nothing was saved after an error it reported.
void Call(IPrinter& printer, Input& in, int depth) {
    std::shared_ptr<CallbackGrid> grid;
    const QString member = MemberName(in);
    const IPrinter::CallKind kind = static_cast<IPrinter::CallKind>(in.Byte() % 4);
    std::vector<Variant> args(in.Byte() % 5);
    for (Variant& arg : args)
        arg = MakeArgument(in, grid);
    // The log goes to one file of the target's own, not to a path the input makes up.
    if (member.compare(QLatin1String("ErrorLogFile"), Qt::CaseInsensitive) == 0 && !args.empty())
        args[0] = Variant(Target() + QStringLiteral(".log"));
    if (grid && depth < 2 && (in.Byte() & 1)) {
        // The grid's first cell read makes a further call of the input, during the run.
        auto rest = std::make_shared<Input>(in);
        grid->onFirstText = [&printer, rest, depth] { Call(printer, *rest, depth + 1); };
        for (int skip = 0; skip < 24; ++skip)
            in.Byte();
    }
    const bool run = member.compare(QLatin1String("PrintReport"), Qt::CaseInsensitive) == 0 ||
                     member.compare(QLatin1String("ShowPreview"), Qt::CaseInsensitive) == 0;
    const bool outer = run && !State().RunInProgress;
    const QByteArray before = outer ? TargetBytes() : QByteArray();
    const int errorsBefore = errors;
    try {
        printer.Invoke(member, args, kind);
    } catch (const RuntimeError&) {
        // An accessor's error reaches the host, as automation errors do.
    }
    if (outer && errors != errorsBefore && TargetBytes() != before)
        fuzz::Fail("a report was saved after an error was reported in its run");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qputenv("CUPS_SERVER", "/nonexistent/telmo-iprinter-fuzz/cups.sock");
    fuzz::StartOffscreenApplication();
    PrintStatusWindow::SetRunsUnseen(true);
    DriveUnseenWindows(true); // the timer below answers every window that waits
    Printers::SetBuiltInPdfListed(true);
    Printers::SelectByName(Printers::BuiltInPdfName());
    Printers::SetPdfOutputFile(Target());
    MessageBox::SetSink([](const QString& text, const QString&, int) {
        if (text.contains(QLatin1String("Error: ")) && !text.contains(QLatin1String("Error: 400")))
            ++errors;
    });
    // Nobody sees the windows offscreen: whenever one waits for its user, it is closed (the
    // progress window closes itself).
    auto* closer = new QTimer(QCoreApplication::instance());
    QObject::connect(closer, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget();
            modal != nullptr && !modal->inherits("telmo::PrintStatusWindow"))
            modal->close();
    });
    closer->start(0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    IPrinter printer;
    for (int calls = 0; calls < 16 && !in.Done(); ++calls)
        Call(printer, in, 0);
    // The next input starts from a job state of its own: no grid, no start row, no log.
    JobState& s = State();
    s.SourceGridObj.reset();
    s.StartRowValue = 0;
    s.ErrorLogFilePath.clear();
    QFile::remove(Target() + QStringLiteral(".log"));
    Printers::SelectByName(Printers::BuiltInPdfName());
    Printers::SetPdfOutputFile(Target());
    return 0;
}
