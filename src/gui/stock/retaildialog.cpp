#include "gui/stock/retaildialog.h"

#include "gui/sheetexport.h"
#include "shop/cashiers.h"

#include "gui/figuresmodel.h"
#include "gui/gridwidths.h"
#include "gui/messages.h"
#include "gui/named.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {
const QString Caption = QStringLiteral("零售管理");
const QString Confirm = QStringLiteral("确认要删除？");
const QString ConfirmTitle = QStringLiteral("删除");
const QString Gone = QStringLiteral("这条销售记录已经不在数据库中，没有删除任何数据。");
const QString DatabaseError = QStringLiteral("销售数据未能读写：%1");
} // namespace

RetailDialog::RetailDialog(Shop shop, QWidget *parent) : QDialog(parent), m_shop(shop)
{
    setObjectName(QStringLiteral("frmlinshou"));
    setWindowTitle(Caption);

    // The day list: the lines are kept as read, a grid row formatted when shown.
    m_model = new FiguresModel(DaySales::columnNames(), this);

    m_dayPicker = named(new QDateEdit(QDate::currentDate(), this), "DTPicker1");
    m_dayPicker->setCalendarPopup(true);
    m_dayPicker->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    m_cashier = named(new QComboBox(this), "cboShouyin");
    m_cashier->hide();
    m_grid = named(new QTableView(this), "DataGrid1");
    m_model->bindView(m_grid);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->verticalHeader()->setDefaultSectionSize(22);
    m_grid->setColumnHidden(7, true);

    m_ticketsLabel = named(new QLabel(this), "Label6");
    m_quantityLabel = named(new QLabel(this), "Label7");
    m_amountLabel = named(new QLabel(this), "Label8");
    m_refreshButton = named(new QPushButton(QStringLiteral("刷新"), this), "refresh");
    m_refreshButton->setAutoDefault(false); // Enter in the date box reads nothing twice
    m_deleteButton = named(new QPushButton(QStringLiteral("删除选定记录"), this), "delete");
    m_closeButton = named(new QPushButton(QStringLiteral("关闭"), this), "CancelButton");

    auto *top = new QHBoxLayout;
    top->addWidget(named(new QLabel(QStringLiteral("选择日期"), this), "Label1"));
    top->addWidget(m_dayPicker);
    top->addWidget(m_cashier);
    top->addStretch();
    auto *totals = new QHBoxLayout;
    totals->addWidget(named(new QLabel(QStringLiteral("单据总数："), this), "Label2"));
    totals->addWidget(m_ticketsLabel);
    totals->addWidget(named(new QLabel(QStringLiteral("数量合计："), this), "Label3"));
    totals->addWidget(m_quantityLabel);
    totals->addWidget(named(new QLabel(QStringLiteral("金额合计："), this), "Label4"));
    totals->addWidget(m_amountLabel);
    totals->addStretch();
    totals->addWidget(exportButton(this, QStringLiteral("零售"), [this] {
        return GridSheet{m_grid,
                         {Spreadsheet::Kind::Integer, Spreadsheet::Kind::Text, Spreadsheet::Kind::Text,
                          Spreadsheet::Kind::Integer, Spreadsheet::Kind::Money, Spreadsheet::Kind::Money,
                          Spreadsheet::Kind::DateTime},
                         QStringLiteral("零售")};
    }));
    totals->addWidget(m_refreshButton);
    totals->addWidget(m_deleteButton);
    totals->addWidget(m_closeButton);
    // How the tickets were paid: the selected line's, and the day's per method.
    m_methodLabel = named(new QLabel(this), "Label10");
    m_byMethodLabel = named(new QLabel(this), "Label11");
    auto *methods = new QHBoxLayout;
    methods->addWidget(named(new QLabel(QStringLiteral("本单付款方式："), this), "Label9"));
    methods->addWidget(m_methodLabel);
    methods->addSpacing(24);
    methods->addWidget(m_byMethodLabel);
    methods->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_grid, 1);
    layout->addLayout(methods);
    layout->addLayout(totals);
    resize(640, 480);
    setSizeGripEnabled(true);

    connect(m_dayPicker, &QDateEdit::dateChanged, this, [this](QDate day) { setDay(day); });
    connect(m_cashier, &QComboBox::activated, this, [this] { fill(); });
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex &at) {
        if (!at.isValid() || at.row() >= m_lines.size()) {
            m_methodLabel->clear();
            return;
        }
        const DaySales::Line &line = m_lines.at(at.row());
        m_methodLabel->setText(line.cashier.isEmpty() ? line.method
                                                      : QStringLiteral("%1　收银员 %2").arg(line.method, line.cashier));
    });
    connect(m_refreshButton, &QPushButton::clicked, this, &RetailDialog::fill);
    connect(m_deleteButton, &QPushButton::clicked, this, &RetailDialog::deleteSelected);
    connect(m_closeButton, &QPushButton::clicked, this, &QDialog::hide);

    readCashiers();
    fill();
}

void RetailDialog::readCashiers()
{
    const auto cashiers = Cashiers::list(m_shop);
    const QString chosen = m_cashier->currentData().toString();
    m_cashier->clear();
    m_cashier->addItem(QStringLiteral("全部收银员"), QString());
    for (const Cashier &c : cashiers.valueOr({}))
        m_cashier->addItem(Cashiers::shown(c), c.number);
    m_cashier->setCurrentIndex(std::max(0, m_cashier->findData(chosen)));
    m_cashier->setVisible(m_cashier->count() > 1);
}

void RetailDialog::setDay(QDate day)
{
    if (m_dayPicker->date() != day) {
        m_dayPicker->setDate(day); // comes back here through dateChanged
        return;
    }
    fill();
}

void RetailDialog::fill()
{
    QVector<DaySales::Line> lines;
    m_failed.clear();
    if (const Done filled =
            DaySales::fill(m_shop, m_dayPicker->date(), &lines, &m_totals, m_cashier->currentData().toString());
        !filled) {
        m_failed = filled.errorText().isEmpty() ? QStringLiteral("?") : filled.errorText();
        lines.clear();
        Messages::error(this, DatabaseError.arg(filled.errorText()));
    }
    m_lines = std::move(lines);
    m_model->reset(int(m_lines.size()),
                   [this](int row, int column) { return DaySales::text(m_lines.at(row), column); });
    select(0);
    // The given widths are the least a column gets: the sale time and a long
    // name are shown whole.
    fitColumns(m_grid, {1000, 1000, 1000, 700, 800, 1000, 2000, 0});
    widenToColumns(m_grid, this);
    showTotals();
}

void RetailDialog::select(int row)
{
    if (row >= 0 && row < m_model->rowCount())
        m_grid->selectionModel()->setCurrentIndex(m_model->index(row, 0),
                                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    else
        m_grid->selectionModel()->clear();
}

void RetailDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Shown again after a failed read: read again once it is up, which
    // tells again if it still fails (the first showing has just told).
    const bool again = m_shownBefore;
    m_shownBefore = true;
    if (again)
        readCashiers(); // the cashiers may have changed meanwhile
    if (again && !m_failed.isEmpty())
        QTimer::singleShot(0, this, [this] {
            if (!m_failed.isEmpty() && isVisible())
                fill();
        });
}

void RetailDialog::showTotals()
{
    if (!m_failed.isEmpty()) {
        for (QLabel *label : {m_ticketsLabel, m_quantityLabel, m_amountLabel, m_byMethodLabel})
            label->setText(QStringLiteral("未能读取"));
        return;
    }
    m_ticketsLabel->setText(QString::number(m_totals.tickets));
    m_quantityLabel->setText(QString::number(m_totals.quantity));
    m_amountLabel->setText(m_totals.amount.toCurrency());
    // Lines of tickets stored before methods were recorded: 未记录.
    QList<std::pair<QString, Money>> byMethod;
    for (const DaySales::Line &line : std::as_const(m_lines)) {
        const QString method = line.method.isEmpty() ? QStringLiteral("未记录") : line.method;
        auto it = std::find_if(byMethod.begin(), byMethod.end(), [&](const auto &m) { return m.first == method; });
        if (it == byMethod.end())
            it = byMethod.insert(byMethod.end(), {method, Money()});
        it->second = it->second.plus(line.amount.roundedToCents()).value_or(it->second);
    }
    QStringList parts;
    for (const auto &[method, amount] : byMethod)
        parts.append(method + u' ' + amount.toCurrency());
    m_byMethodLabel->setText(parts.join(QStringLiteral("　")));
}

void RetailDialog::deleteSelected()
{
    if (!Messages::ask(this, Confirm, ConfirmTitle, Messages::Icon::Question, Messages::Buttons::OkCancel))
        return;
    const QModelIndex current = m_grid->currentIndex();
    const int row = current.isValid() ? current.row() : -1;
    if (row < 0 || row >= m_lines.size())
        return;
    const auto deleted = DaySales::deleteLine(m_shop, m_lines.at(row).stored);
    if (!deleted) {
        Messages::error(this, DatabaseError.arg(deleted.errorText()));
        return;
    }
    // The line leaves the list either way: it is not in the file any more.
    m_lines.removeAt(row);
    m_model->removeRow(row);
    // The line that took its place is the selected one, in the grid and for
    // the next delete alike.
    select(std::min(row, int(m_lines.size()) - 1));
    // The totals stay as they were until the date changes.
    if (!*deleted)
        Messages::info(this, Gone);
}
