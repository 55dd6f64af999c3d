#include "inventorydialog.h"

#include "backgroundwork.h"
#include "inventoryreport.h"
#include "messages.h"
#include "named.h"
#include "recordset.h"
#include "recordsetmodel.h"
#include "twips.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {
const QString Caption = QStringLiteral("库存分析");
const QString Working = QStringLiteral("正在计算库存……");
const QString Failed = QStringLiteral("库存数据未能读取：%1");
const QStringList Fields = {QStringLiteral("货号"),     QStringLiteral("货名"),     QStringLiteral("销售数量"),
                            QStringLiteral("销售金额"), QStringLiteral("进货总数"), QStringLiteral("库存数量"),
                            QStringLiteral("进货价格"), QStringLiteral("库存金额")};
constexpr int ColumnWidths[] = {800, 1000, 850, 1100, 850, 850, 1100, 1100};
constexpr int PriceColumn = 6;
constexpr int ValueColumn = 7;
} // namespace

InventoryDialog::InventoryDialog(const QString &databasePath, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmkucun"));
    setWindowTitle(Caption);

    m_table = new RecordSet(this);
    for (const QString &field : Fields)
        m_table->appendColumn(field, Schema::ColumnKind::Text);
    m_table->open();

    auto total = [this](const char *name) {
        auto *e = named(new QLineEdit(this), name);
        e->setReadOnly(true);
        return e;
    };
    m_totalSold = total("Text1");
    m_totalSoldAmount = total("Text2");
    m_totalPurchased = total("Text3");
    m_totalStock = total("Text4");
    m_totalValue = total("Text5");
    m_grid = named(new QTableView(this), "DataGrid1");
    auto *model = new RecordSetModel(m_table, this);
    model->bindView(m_grid);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->verticalHeader()->setDefaultSectionSize(22);
    m_showPrices = named(new QCheckBox(QStringLiteral("显示进货价格和库存金额"), this), "Check1");
    m_printButton = named(new QPushButton(QStringLiteral("打印库存"), this), "Command1");
    m_backButton = named(new QPushButton(QStringLiteral("返回"), this), "CancelButton");

    // The total boxes stand above their columns.
    auto *totals = new QHBoxLayout;
    totals->setSpacing(0);
    auto *caption = named(new QLabel(QStringLiteral("合计："), this), "Label1");
    caption->setFixedWidth(twips(800 + 1000));
    totals->addWidget(caption);
    for (auto [box, width] : {std::pair{m_totalSold, 850}, {m_totalSoldAmount, 1100}, {m_totalPurchased, 850},
                              {m_totalStock, 850}}) {
        box->setFixedWidth(twips(width));
        totals->addWidget(box);
    }
    m_totalValue->setFixedWidth(twips(1100));
    totals->addSpacing(twips(1100));
    totals->addWidget(m_totalValue);
    totals->addStretch();
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_showPrices);
    buttons->addStretch();
    buttons->addWidget(m_printButton);
    buttons->addWidget(m_backButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(totals);
    layout->addWidget(m_grid, 1);
    layout->addLayout(buttons);
    resize(720, 480);

    connect(m_showPrices, &QCheckBox::toggled, this, &InventoryDialog::setPricesShown);
    connect(m_printButton, &QPushButton::clicked, this, &InventoryDialog::printList);
    connect(m_backButton, &QPushButton::clicked, this, &QDialog::hide);

    setColumnWidths();
    setPricesShown(false);

    // The figures are computed once, when the screen is loaded.
    const bool finished = BackgroundWork::run(parentWidget(), databasePath, Working,
                                              [this](QSqlDatabase work) { m_figures = StockFigures::compute(work); });
    if (finished && !m_figures.ok)
        Messages::error(parentWidget(), Failed.arg(m_figures.error));
    if (!finished || !m_figures.ok)
        m_figures = StockFigures{};
    fill();
}

void InventoryDialog::setColumnWidths()
{
    for (int c = 0; c < int(std::size(ColumnWidths)); ++c)
        m_grid->setColumnWidth(c, twips(ColumnWidths[c]));
}

void InventoryDialog::fill()
{
    for (const StockFigures::Row &r : m_figures.rows) {
        m_table->addNew();
        const QStringList values = InventoryReport::fieldsOf(r) + QStringList{r.price.toCurrency(), r.value.toCurrency()};
        for (int c = 0; c < values.size(); ++c)
            m_table->setValue(Fields.at(c), values.at(c));
    }
    m_table->write();
    if (m_table->count() > 0)
        m_table->moveFirst();
    m_totalSold->setText(QString::number(m_figures.totalSold));
    m_totalSoldAmount->setText(m_figures.totalSoldAmount.toCurrency());
    m_totalPurchased->setText(QString::number(m_figures.totalPurchased));
    m_totalStock->setText(QString::number(m_figures.totalStock));
    m_totalValue->setText(m_figures.totalValue.toCurrency());
}

void InventoryDialog::setPricesShown(bool shown)
{
    if (m_showPrices->isChecked() != shown)
        m_showPrices->setChecked(shown); // comes back here through toggled
    m_grid->setColumnHidden(PriceColumn, !shown);
    m_grid->setColumnHidden(ValueColumn, !shown);
    if (shown)
        setColumnWidths();
    m_totalValue->setVisible(shown);
}

void InventoryDialog::printList()
{
    InventoryReport::preview(m_figures.rows, this);
}
