// Prints two reports onto the built-in PDF printer through the installed headers only: a grid
// filled cell by cell, and a Qt item model through ItemModelGrid; or, with "abuse", runs the
// cases of Abuse.cpp.
// Usage: telmo_consumer GRID.pdf MODEL.pdf | telmo_consumer abuse DIR [CASE]
#include "Abuse.h"
#include "component/IPrinter.h"
#include "platform/RuntimeError.h"
#include "platform/grid/GridControl.h"
#include "platform/grid/ItemModelGrid.h"
#include "platform/print/Printer.h"
#include "platform/ui/MessageBox.h"

#include <QApplication>
#include <QFile>
#include <QStandardItemModel>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

bool Print(const std::shared_ptr<telmo::GridControl>& grid, const QString& title, const QString& pdf) {
    telmo::Printers::SetPdfOutputFile(pdf);
    telmo::Printers::SelectByName(telmo::Printers::BuiltInPdfName());
    telmo::IPrinter printer;
    printer.SourceGrid(grid);
    printer.Title1(title);
    printer.PrintReport(telmo::kAutomationFalse);
    QFile file(pdf);
    if (!file.open(QIODevice::ReadOnly) || !file.read(5).startsWith("%PDF-")) {
        std::fprintf(stderr, "telmo_consumer: %s was not written as a PDF\n", qPrintable(pdf));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: telmo_consumer GRID.pdf MODEL.pdf\n");
        return 2;
    }
    telmo::MessageBox::SetBatchMode(true);
    if (QByteArray(argv[1]) == "abuse")
        return RunAbuseCases(QString::fromLocal8Bit(argv[2]), argc > 3 ? std::atoi(argv[3]) : -1);
    try {
        auto grid = std::make_shared<telmo::GridControl>();
        grid->SetRows(4);
        grid->SetCols(3);
        const char* cells[4][3] = {
            {"Item", "Count", "Shelf"}, {"Hammer", "12", "A1"}, {"Saw", "3", "B2"}, {"Pliers", "40", "C3"}};
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 3; ++c)
                grid->SetTextMatrix(r, c, QString::fromLatin1(cells[r][c]));
        for (int c = 0; c < 3; ++c)
            grid->SetColWidth(c, 1800);

        QStandardItemModel model(2, 2);
        model.setHorizontalHeaderLabels({QStringLiteral("City"), QStringLiteral("Visitors")});
        model.setItem(0, 0, new QStandardItem(QStringLiteral("Lisbon")));
        model.setItem(0, 1, new QStandardItem(QStringLiteral("5120")));
        model.setItem(1, 0, new QStandardItem(QStringLiteral("Porto")));
        model.setItem(1, 1, new QStandardItem(QStringLiteral("2210")));

        const bool ok = Print(grid, QStringLiteral("Toolshed"), QString::fromLocal8Bit(argv[1])) &&
                        Print(telmo::ItemModelGrid::FromModel(model), QStringLiteral("Visitors"),
                              QString::fromLocal8Bit(argv[2]));
        return ok ? 0 : 1;
    } catch (const telmo::RuntimeError& error) {
        std::fprintf(stderr, "telmo_consumer: %s\n", error.what());
        return 1;
    }
}
