// Qt item models as the report's grid: cells, headings, alignment, font and sizes from model and view.
#include "platform/grid/ItemModelGrid.h"

#include <QHeaderView>
#include <QStandardItemModel>
#include <QTableView>
#include <cmath>
#include <gtest/gtest.h>

using namespace telmo;

namespace {

// Three products in three columns: name, quantity, price.
std::unique_ptr<QStandardItemModel> Products() {
    auto model = std::make_unique<QStandardItemModel>(3, 3);
    model->setHorizontalHeaderLabels({"Name", "Qty", "Price"});
    const char* names[] = {"Bolt", "Nut", "Washer"};
    for (int r = 0; r < 3; ++r) {
        model->setItem(r, 0, new QStandardItem(QString::fromLatin1(names[r])));
        model->setItem(r, 1, new QStandardItem(QString::number((r + 1) * 10)));
        model->setItem(r, 2, new QStandardItem(QStringLiteral("%1.50").arg(r + 1)));
    }
    return model;
}

QStringList Row(const GridControl& grid, int row) {
    QStringList texts;
    for (int c = 0; c < grid.Cols(); ++c)
        texts << grid.TextMatrix(row, c);
    return texts;
}

int32_t Twips(int pixels, int dpi) {
    return static_cast<int32_t>(std::lround(pixels * 1440.0 / dpi));
}

} // namespace

TEST(ItemModelGridTest, HeadingColumnComesFromTheVerticalHeaderOnlyWhenItHasLabels) {
    struct Case {
        const char* name;
        bool verticalLabels;
        ItemModelGrid::HeadingColumn heading;
        QStringList row0, row1;
    };
    const QStringList plainHeading{"Name", "Qty", "Price"}, plainRow{"Bolt", "10", "1.50"};
    const QStringList labelledHeading{"", "Name", "Qty", "Price"}, labelledRow{"A-1", "Bolt", "10", "1.50"};
    const QStringList numberedRow{"1", "Bolt", "10", "1.50"};
    using enum ItemModelGrid::HeadingColumn;
    // clang-format off
    const Case cases[] = {
        {"numbers only: first column", false, Automatic, plainHeading, plainRow},
        {"own labels: vertical header", true, Automatic, labelledHeading, labelledRow},
        {"labels, first column asked for", true, FirstColumn, plainHeading, plainRow},
        {"numbers, vertical header asked for", false, VerticalHeader, labelledHeading, numberedRow},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto model = Products();
        if (c.verticalLabels)
            model->setVerticalHeaderLabels({"A-1", "A-2", "B-7"});
        const auto grid = ItemModelGrid::FromModel(*model, c.heading);
        EXPECT_EQ(std::tuple(grid->Rows(), grid->Cols(), grid->FixedRows(), grid->FixedCols()),
                  std::tuple(4, int(c.row0.size()), 1, 1));
        EXPECT_EQ(std::tuple(Row(*grid, 0), Row(*grid, 1)), std::tuple(c.row0, c.row1));
        EXPECT_EQ(grid->TextMatrix(3, grid->Cols() - 3), "Washer");
    }
}

// Codes other cases miss: no vertical alignment is the middle, trailing right, justified left, top-left 0.
TEST(ItemModelGridTest, AlignmentCodesForTrailingJustifiedAndNoVerticalAlignment) {
    const std::pair<Qt::Alignment, int16_t> cases[] = {{Qt::Alignment(), 1},
                                                       {Qt::AlignTrailing, 7},
                                                       {Qt::AlignJustify | Qt::AlignBottom, 2},
                                                       {Qt::AlignLeft | Qt::AlignTop, 0}};
    for (const auto& [alignment, code] : cases)
        EXPECT_EQ(ItemModelGrid::AlignmentCode(alignment), code) << alignment.toInt();
}

TEST(ItemModelGridTest, EachColumnAlignsAsItsFirstDataRowElseItsHeader) {
    auto model = Products();
    // Column 1: the first data row says right; a later row's centre does not count.
    model->item(0, 1)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    model->item(1, 1)->setTextAlignment(Qt::AlignCenter);
    // Column 2: no data row says anything, the header says centre-bottom.
    model->setHeaderData(2, Qt::Horizontal, int(Qt::AlignHCenter | Qt::AlignBottom), Qt::TextAlignmentRole);
    const auto grid = ItemModelGrid::FromModel(*model);
    EXPECT_EQ(std::tuple(grid->ColAlignment(0), grid->ColAlignment(1), grid->ColAlignment(2)),
              std::tuple(1, 7, 5));
}

// A shown vertical header with labels is the heading column; hidden, it is not.
TEST(ItemModelGridTest, AViewsFontIsTheFirstCellsElseItsOwnAndItsLabelledHeaderIsTheHeadingColumn) {
    auto model = Products();
    model->setVerticalHeaderLabels({"A-1", "A-2", "B-7"});
    QTableView view;
    view.setModel(model.get());
    view.setFont(QFont("Courier New", 13));
    auto grid = ItemModelGrid::FromView(view);
    EXPECT_EQ(std::tuple(grid->FontName(), grid->FontSize()), std::tuple("Courier New", 13.f));
    EXPECT_EQ(Row(*grid, 1), (QStringList{"A-1", "Bolt", "10", "1.50"}));
    EXPECT_GT(grid->ColWidth(0), 0);
    model->item(0, 0)->setFont(QFont("Times New Roman", 9));
    view.verticalHeader()->hide();
    grid = ItemModelGrid::FromView(view);
    EXPECT_EQ(std::tuple(grid->FontName(), grid->FontSize()), std::tuple("Times New Roman", 9.f));
    EXPECT_EQ(Row(*grid, 1), (QStringList{"Bolt", "10", "1.50"}));
}

TEST(ItemModelGridTest, AViewGivesSizesOrderAndVisibilityAndFormatsInItsLocale) {
    auto model = Products();
    model->setItem(0, 1, new QStandardItem);
    model->item(0, 1)->setData(1234.5, Qt::DisplayRole);
    QTableView view;
    view.setModel(model.get());
    view.setLocale(QLocale(QLocale::German, QLocale::Germany));
    view.setColumnWidth(0, 150);
    view.setColumnWidth(1, 60);
    view.setColumnWidth(2, 90);
    view.setRowHeight(1, 44);
    view.horizontalHeader()->moveSection(2, 1); // Name, Price, Qty
    view.setRowHidden(2, true);
    view.verticalHeader()->hide();

    const auto grid = ItemModelGrid::FromView(view);
    const int dpiX = view.logicalDpiX(), dpiY = view.logicalDpiY();
    ASSERT_EQ(std::tuple(grid->Rows(), grid->Cols()), std::tuple(3, 3));
    EXPECT_EQ(
        (QList{Row(*grid, 0), Row(*grid, 1), Row(*grid, 2)}),
        (QList<QStringList>{{"Name", "Price", "Qty"}, {"Bolt", "1.50", "1.234,5"}, {"Nut", "2.50", "20"}}));
    EXPECT_EQ(std::tuple(grid->ColWidth(0), grid->ColWidth(1), grid->ColWidth(2)),
              std::tuple(Twips(150, dpiX), Twips(90, dpiX), Twips(60, dpiX)));
    EXPECT_EQ(std::tuple(grid->RowHeight(1), grid->RowHeight(2)),
              std::tuple(Twips(view.rowHeight(0), dpiY), Twips(44, dpiY)));
    EXPECT_GT(grid->RowHeight(0), 0);
}
