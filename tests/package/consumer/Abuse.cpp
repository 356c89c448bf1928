// A host that abuses the installed library as real hosts do by mistake; each case says what the target
// file must hold and what the user was told, and anything else (a crash, a hang) fails.
#include "Abuse.h"

#include "component/IPrinter.h"
#include "platform/grid/GridControl.h"
#include "platform/print/Printer.h"
#include "platform/ui/MessageBox.h"
#include "support/CallbackGrid.h"

#include <QApplication>
#include <QFile>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <utility>

using namespace telmo;
using telmo::test::CallbackGrid;

namespace {

template <class G = GridControl> std::shared_ptr<G> Filled(int rows, int cols) {
    auto grid = std::make_shared<G>();
    grid->SetRows(rows);
    grid->SetCols(cols);
    for (int r = 0; r < rows && cols > 0; ++r)
        grid->SetTextMatrix(r, 0, QStringLiteral("r%1").arg(r));
    return grid;
}

QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

struct Case {
    const char* name;
    // Runs the case printing to `target`; may print an earlier report there first.
    std::function<void(IPrinter&, const QString& target, const QString& dir)> run;
    bool saved;       // a new PDF is at the target, else it holds exactly what it held before
    const char* told; // a text every case's messages must contain ("" for none but where it was saved)
};

void PrintTo(IPrinter& printer, const QString& target, const std::shared_ptr<Grid>& grid) {
    Printers::SetPdfOutputFile(target);
    printer.SourceGrid(grid);
    printer.PrintReport(kAutomationFalse);
}

} // namespace

int RunAbuseCases(const QString& dir, int only) {
    QStringList messages;
    MessageBox::SetSink([&](const QString& text, const QString&, int) { messages << text; });
    Printers::SelectByName(Printers::BuiltInPdfName());
    const std::vector<Case> cases = {
        {"a grid callback assigns another grid and drops the printed one",
         [](IPrinter& p, const QString& target, const QString&) {
             auto grid = Filled<CallbackGrid>(40, 3);
             grid->onFirstText = [&p] { p.SourceGrid(Filled(2, 2)); };
             Printers::SetPdfOutputFile(target);
             p.SourceGrid(grid);
             grid.reset(); // only the component holds it now
             p.PrintReport(kAutomationFalse);
         },
         true, ""},
        {"a report past the page count after an earlier report",
         [](IPrinter& p, const QString& target, const QString&) {
             PrintTo(p, target, Filled(150, 3));
             Write(target + ".before", Read(target));
             auto tall = Filled(33000, 2);
             for (int r = 0; r < 33000; ++r)
                 tall->SetRowHeight(r, 12000); // a page per row: more pages than can be counted
             PrintTo(p, target, tall);
         },
         false, "Error: 6 - Overflow"},
        {"a start row that is not whole",
         [](IPrinter& p, const QString& target, const QString&) {
             p.Invoke(QStringLiteral("StartRow"), {Variant(1.5)}, IPrinter::CallKind::PropertyPut);
             PrintTo(p, target, Filled(30, 3));
             p.StartRow(Variant(1)); // back to the first row for the cases below
         },
         false, "Error: 381"},
        {"grids without rows, columns or both",
         [](IPrinter& p, const QString& target, const QString&) {
             for (const auto& [rows, cols] : {std::pair(0, 0), {1, 0}, {0, 1}})
                 PrintTo(p, target, Filled(rows, cols));
         },
         false, "Error: 381"},
        {"a grid callback starts a second print to another file",
         [](IPrinter& p, const QString& target, const QString& dir) {
             auto grid = Filled<CallbackGrid>(40, 3);
             grid->onFirstText = [&p, dir] {
                 Printers::SetPdfOutputFile(dir + "/inner.pdf");
                 Printers::SelectByName(Printers::BuiltInPdfName());
                 p.PrintReport(kAutomationFalse);
             };
             PrintTo(p, target, grid);
             if (QFile::exists(dir + "/inner.pdf"))
                 QFile::remove(target); // the refused print wrote a file: the case fails
         },
         true, "Error: 400"},
        {"a timer starts a second run",
         [](IPrinter& p, const QString& target, const QString&) {
             QTimer::singleShot(0, [&p] { p.PrintReport(kAutomationFalse); });
             PrintTo(p, target, Filled(40, 3));
         },
         true, "Error: 400"},
        {"a print dialog with no display to show it",
         [](IPrinter& p, const QString& target, const QString&) {
             Printers::SetPdfOutputFile(target);
             p.SourceGrid(Filled(20, 3));
             p.Invoke(QStringLiteral("PrintReport"), {Variant(1e300)}); // converts to true
         },
         false, "the print dialog cannot be shown"},
        {"a preview with no display to show it",
         [](IPrinter& p, const QString&, const QString&) {
             p.SourceGrid(Filled(20, 3));
             // Were it to wait for a user after all, it is closed after a while and the case fails.
             QTimer guard;
             QObject::connect(&guard, &QTimer::timeout, [] {
                 if (QWidget* modal = QApplication::activeModalWidget())
                     modal->close();
             });
             guard.start(10000);
             p.ShowPreview();
         },
         false, "the preview cannot be shown"},
    };
    int failed = 0;
    for (size_t i = 0; i < cases.size(); ++i) {
        if (only >= 0 && static_cast<size_t>(only) != i)
            continue;
        const Case& c = cases[i];
        const QString target = QStringLiteral("%1/case%2.pdf").arg(dir).arg(i);
        Write(target, "an earlier file");
        Write(target + ".before", "an earlier file");
        messages.clear();
        IPrinter printer;
        c.run(printer, target, dir);
        const QByteArray now = Read(target);
        const bool kept = now == Read(target + ".before");
        const bool savedNew = now.startsWith("%PDF-") && !kept;
        const QString told = messages.join(QLatin1String(" | "));
        // Saying where a saved report went is no complaint; "" allows nothing else.
        const bool toldRight = *c.told ? told.contains(QLatin1String(c.told))
                                       : std::ranges::all_of(messages, [&](const QString& m) {
                                             return m.contains(" saved to " + target);
                                         });
        // A document dropped after an error is said to be unsaved.
        const bool saidUnsaved = c.saved || told.contains(QLatin1String("was not saved")) ||
                                 told.contains(QLatin1String("cannot be shown"));
        if ((c.saved ? !savedNew : !kept) || !toldRight || !saidUnsaved) {
            ++failed;
            std::fprintf(stderr, "abuse case \"%s\": %s, told: %s\n", c.name,
                         savedNew ? "a new PDF was saved" : "nothing new was saved", qPrintable(told));
        }
    }
    MessageBox::SetSink(nullptr);
    std::fprintf(stderr, "abuse: %d of %zu cases failed\n", failed, cases.size());
    return failed == 0 ? 0 : 1;
}
