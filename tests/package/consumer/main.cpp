// Prints a Qt item model through ItemModelGrid to the built-in PDF printer with the installed headers
// only (the README's example fills a grid cell by cell); or, with "abuse", runs Abuse.cpp's cases.
// Usage: telmo_consumer MODEL.pdf | telmo_consumer abuse DIR [CASE]
#include "Abuse.h"
#include "component/IPrinter.h"
#include "platform/grid/ItemModelGrid.h"
#include "platform/print/Printer.h"
#include "platform/ui/MessageBox.h"

#include <QApplication>
#include <QStandardItemModel>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: telmo_consumer MODEL.pdf\n");
        return 2;
    }
    telmo::MessageBox::SetBatchMode(true);
    if (QByteArray(argv[1]) == "abuse" && argc > 2)
        return RunAbuseCases(QString::fromLocal8Bit(argv[2]), argc > 3 ? std::atoi(argv[3]) : -1);
    QStandardItemModel model(2, 2);
    model.setHorizontalHeaderLabels({"City", "Visitors"});
    const char* cells[2][2] = {{"Lisbon", "5120"}, {"Porto", "2210"}};
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c)
            model.setItem(r, c, new QStandardItem(cells[r][c]));
    telmo::Printers::SetPdfOutputFile(QString::fromLocal8Bit(argv[1]));
    telmo::Printers::SelectByName(telmo::Printers::BuiltInPdfName());
    telmo::IPrinter printer;
    printer.SourceGrid(telmo::ItemModelGrid::FromModel(model));
    printer.Title1("Visitors");
    printer.PrintReport(telmo::kAutomationFalse);
    return 0;
}
