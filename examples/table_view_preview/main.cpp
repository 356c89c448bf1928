// A QTableView over a QStandardItemModel with a "Print preview" button: the view's model,
// column widths and row heights become the report's grid through ItemModelGrid.
//   table_view_preview            the window
//   table_view_preview --pdf F    prints the same report to F without a window
#include "component/IPrinter.h"
#include "platform/grid/ItemModelGrid.h"
#include "platform/print/Printer.h"

#include <QApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>

namespace {

void FillStock(QStandardItemModel& model) {
    model.setHorizontalHeaderLabels({"Item", "Bin", "Quantity", "Unit price"});
    const struct {
        const char* item;
        const char* bin;
        int quantity;
        double price;
    } stock[] = {{"Hammer", "A-01", 14, 12.5},    {"Screwdriver set", "A-02", 40, 18.9},
                 {"Wrench", "B-11", 22, 9.75},    {"Tape measure", "B-12", 65, 4.2},
                 {"Spirit level", "C-03", 8, 23}, {"Utility knife", "C-04", 120, 3.35}};
    for (const auto& s : stock) {
        QList<QStandardItem*> row;
        row << new QStandardItem(QString::fromUtf8(s.item)) << new QStandardItem(QString::fromUtf8(s.bin));
        auto* quantity = new QStandardItem;
        quantity->setData(s.quantity, Qt::DisplayRole);
        auto* price = new QStandardItem;
        price->setData(s.price, Qt::DisplayRole);
        for (QStandardItem* number : {quantity, price})
            number->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        row << quantity << price;
        model.appendRow(row);
    }
}

void SetUpReport(telmo::IPrinter& printer, const QTableView& view) {
    printer.SourceGrid(telmo::ItemModelGrid::FromView(view));
    printer.Title1(QStringLiteral("Workshop stock"));
    printer.Title2(QStringLiteral("As shown in the table"), telmo::ALIGNLEFT);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QStandardItemModel model;
    FillStock(model);

    QWidget window;
    window.setWindowTitle(QStringLiteral("Table view preview"));
    auto* view = new QTableView;
    view->setModel(&model);
    view->resizeColumnsToContents();
    view->verticalHeader()->hide();
    auto* preview = new QPushButton(QStringLiteral("Print preview"));
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(view);
    layout->addWidget(preview);
    QObject::connect(preview, &QPushButton::clicked, [view] {
        telmo::IPrinter printer;
        SetUpReport(printer, *view);
        printer.ShowPreview();
    });

    const QStringList arguments = QApplication::arguments();
    if (arguments.size() == 3 && arguments[1] == QLatin1String("--pdf")) {
        telmo::Printers::SetPdfOutputFile(arguments[2]);
        telmo::Printers::SelectByName(telmo::Printers::BuiltInPdfName());
        telmo::IPrinter printer;
        SetUpReport(printer, *view);
        printer.PrintReport(telmo::kAutomationFalse);
        return 0;
    }
    if (arguments.size() != 1) {
        std::fprintf(stderr, "usage: table_view_preview [--pdf FILE]\n");
        return 2;
    }
    window.resize(560, 320);
    window.show();
    return QApplication::exec();
}
