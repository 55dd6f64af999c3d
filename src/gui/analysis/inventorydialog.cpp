#include "gui/analysis/inventorydialog.h"
#include "gui/sheetexport.h"

#include "gui/analysis/stocklistsdialogs.h"
#include "gui/backgroundwork.h"
#include "gui/figuresmodel.h"
#include "gui/gridwidths.h"
#include "gui/messages.h"
#include "gui/named.h"
#include "print/inventoryreport.h"

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
constexpr int PriceColumn = 6;
constexpr int ValueColumn = 7;
} // namespace

InventoryDialog::InventoryDialog(Shop shop, QWidget *parent, Screens screens) : QDialog(parent), m_shop(shop)
{
    setObjectName(QStringLiteral("frmkucun"));
    setWindowTitle(Caption);

    m_model = new FiguresModel(StockFigures::captions(), this);

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
    m_model->bindView(m_grid);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->verticalHeader()->setDefaultSectionSize(22);
    m_showPrices = named(new QCheckBox(QStringLiteral("显示进货价格和库存金额"), this), "Check1");
    m_printButton = named(new QPushButton(QStringLiteral("打印库存"), this), "Command1");
    m_backButton = named(new QPushButton(QStringLiteral("返回"), this), "CancelButton");
    // What expires soon and what to reorder, each in a list of its own.
    auto *expiry = named(new QPushButton(QStringLiteral("临期商品"), this), "Command2");
    auto *reorder = named(new QPushButton(QStringLiteral("补货单"), this), "Command3");
    // The shelves counted, and goods taken out of stock: the figures follow.
    auto *count = named(new QPushButton(QStringLiteral("盘点"), this), "Command4");
    auto *writeOff = named(new QPushButton(QStringLiteral("报损"), this), "Command5");
    count->setVisible(bool(screens.count));
    writeOff->setVisible(bool(screens.writeOff));

    // The total boxes stand above their columns (placed by alignTotals()).
    m_totalsRow = new QWidget(this);
    m_totalsRow->setFixedHeight(m_totalSold->sizeHint().height());
    named(new QLabel(QStringLiteral("合计："), m_totalsRow), "Label1")->move(0, 4);
    for (QLineEdit *box : {m_totalSold, m_totalSoldAmount, m_totalPurchased, m_totalStock, m_totalValue})
        box->setParent(m_totalsRow);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_showPrices);
    buttons->addStretch();
    buttons->addWidget(expiry);
    buttons->addWidget(reorder);
    buttons->addWidget(count);
    buttons->addWidget(writeOff);
    buttons->addWidget(exportButton(this, QStringLiteral("库存"), [this] {
        return GridSheet{m_grid,
                         {Spreadsheet::Kind::Text, Spreadsheet::Kind::Text, Spreadsheet::Kind::Integer,
                          Spreadsheet::Kind::Money, Spreadsheet::Kind::Integer, Spreadsheet::Kind::Integer,
                          Spreadsheet::Kind::Money, Spreadsheet::Kind::Money, Spreadsheet::Kind::Integer},
                         QStringLiteral("库存")};
    }));
    buttons->addWidget(m_printButton);
    buttons->addWidget(m_backButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_totalsRow);
    layout->addWidget(m_grid, 1);
    layout->addLayout(buttons);
    resize(920, 520);

    connect(m_showPrices, &QCheckBox::toggled, this, &InventoryDialog::setPricesShown);
    connect(m_grid->horizontalHeader(), &QHeaderView::sectionResized, this, [this] { alignTotals(); });
    connect(m_grid->horizontalHeader(), &QHeaderView::geometriesChanged, this, [this] { alignTotals(); });
    connect(m_printButton, &QPushButton::clicked, this, &InventoryDialog::printList);
    connect(m_backButton, &QPushButton::clicked, this, &QDialog::hide);
    connect(expiry, &QPushButton::clicked, this, [this] { ExpiryDialog(m_shop, this).exec(); });
    connect(reorder, &QPushButton::clicked, this, [this] { ReorderDialog(m_shop, this).exec(); });
    for (const auto &[button, open] : {std::pair(count, screens.count), std::pair(writeOff, screens.writeOff)})
        connect(button, &QPushButton::clicked, this, [this, open = open] {
            open(this);
            load();
        });

    setColumnWidths();
    setPricesShown(false);

    // The figures are computed when the screen is loaded (and again after a
    // count or a write-off made from it).
    load();
}

void InventoryDialog::load()
{
    const bool finished = BackgroundWork::run(parentWidget(), m_shop, Working,
                                              [this](const Shop &work) { m_figures = StockFigures::compute(work); });
    if (finished && !m_figures.ok)
        Messages::error(parentWidget(), Failed.arg(m_figures.error));
    if (!finished || !m_figures.ok)
        m_figures = StockFigures{};
    fill();
}

void InventoryDialog::setColumnWidths()
{
    fitColumns(m_grid, {800, 1000, 850, 1100, 850, 850, 1100, 1100});
    // A column is also as wide as its total.
    const QList<std::pair<QLineEdit *, int>> boxes = {{m_totalSold, 2},
                                                      {m_totalSoldAmount, 3},
                                                      {m_totalPurchased, 4},
                                                      {m_totalStock, 5},
                                                      {m_totalValue, ValueColumn}};
    for (const auto &[box, column] : boxes) {
        const int need = box->fontMetrics().horizontalAdvance(box->text()) + 16;
        if (!m_grid->isColumnHidden(column) && m_grid->columnWidth(column) < need)
            m_grid->setColumnWidth(column, need);
    }
    alignTotals();
}

void InventoryDialog::alignTotals()
{
    const int left = m_grid->frameWidth() + m_grid->verticalHeader()->width();
    const QList<std::pair<QLineEdit *, int>> boxes = {{m_totalSold, 2},
                                                      {m_totalSoldAmount, 3},
                                                      {m_totalPurchased, 4},
                                                      {m_totalStock, 5},
                                                      {m_totalValue, ValueColumn}};
    for (const auto &[box, column] : boxes)
        box->setGeometry(left + m_grid->columnViewportPosition(column), 0, m_grid->columnWidth(column),
                         m_totalsRow->height());
}

void InventoryDialog::fill()
{
    // The adjustments' column only in a shop that has counted or written off.
    m_model->reset(StockFigures::captions(m_figures.hasAdjustments), int(m_figures.rows.size()),
                   [this](int row, int column) { return StockFigures::text(m_figures.rows.at(row), column); });
    m_grid->setColumnHidden(PriceColumn, !m_showPrices->isChecked());
    m_grid->setColumnHidden(ValueColumn, !m_showPrices->isChecked());
    m_totalSold->setText(QString::number(m_figures.totalSold));
    m_totalSoldAmount->setText(m_figures.totalSoldAmount.toCurrency());
    m_totalPurchased->setText(QString::number(m_figures.totalPurchased));
    m_totalStock->setText(QString::number(m_figures.totalStock));
    m_totalValue->setText(m_figures.totalValue.toCurrency());
    setColumnWidths();
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
