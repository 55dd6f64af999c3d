#include "gui/stock/retaildialog.h"

#include "gui/gridwidths.h"
#include "gui/messages.h"
#include "gui/named.h"
#include "gui/recordsetmodel.h"
#include "shop/recordset.h"

#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace {
const QString Caption = QStringLiteral("零售管理");
const QString Confirm = QStringLiteral("确认要删除？");
const QString ConfirmTitle = QStringLiteral("删除");
const QString Gone = QStringLiteral("这条销售记录已经不在数据库中，没有删除任何数据。");
const QString DatabaseError = QStringLiteral("销售数据未能读写：%1");
} // namespace

RetailDialog::RetailDialog(QSqlDatabase db, QWidget *parent) : QDialog(parent), m_db(db)
{
    setObjectName(QStringLiteral("frmlinshou"));
    setWindowTitle(Caption);

    m_dayList = new RecordSet(this);
    m_dayList->setObjectName(QStringLiteral("daylist"));
    DaySales::addColumns(m_dayList);
    m_dayList->open();

    m_dayPicker = named(new QDateEdit(QDate::currentDate(), this), "DTPicker1");
    m_dayPicker->setCalendarPopup(true);
    m_dayPicker->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    m_grid = named(new QTableView(this), "DataGrid1");
    auto *model = new RecordSetModel(m_dayList, this);
    model->setColumnFormat(6, DisplayFormat::AsIs);
    model->bindView(m_grid);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->verticalHeader()->setDefaultSectionSize(22);
    m_grid->setColumnHidden(7, true);

    m_ticketsLabel = named(new QLabel(this), "Label6");
    m_quantityLabel = named(new QLabel(this), "Label7");
    m_amountLabel = named(new QLabel(this), "Label8");
    m_deleteButton = named(new QPushButton(QStringLiteral("删除选定记录"), this), "delete");
    m_closeButton = named(new QPushButton(QStringLiteral("关闭"), this), "CancelButton");

    auto *top = new QHBoxLayout;
    top->addWidget(named(new QLabel(QStringLiteral("选择日期"), this), "Label1"));
    top->addWidget(m_dayPicker);
    top->addStretch();
    auto *totals = new QHBoxLayout;
    totals->addWidget(named(new QLabel(QStringLiteral("单据总数："), this), "Label2"));
    totals->addWidget(m_ticketsLabel);
    totals->addWidget(named(new QLabel(QStringLiteral("数量合计："), this), "Label3"));
    totals->addWidget(m_quantityLabel);
    totals->addWidget(named(new QLabel(QStringLiteral("金额合计："), this), "Label4"));
    totals->addWidget(m_amountLabel);
    totals->addStretch();
    totals->addWidget(m_deleteButton);
    totals->addWidget(m_closeButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_grid, 1);
    layout->addLayout(totals);
    resize(640, 480);
    setSizeGripEnabled(true);

    connect(m_dayPicker, &QDateEdit::dateChanged, this, [this](QDate day) { setDay(day); });
    connect(m_deleteButton, &QPushButton::clicked, this, &RetailDialog::deleteSelected);
    connect(m_closeButton, &QPushButton::clicked, this, &QDialog::hide);

    fill();
}

void RetailDialog::setDay(QDate day)
{
    if (m_dayPicker->date() != day) {
        m_dayPicker->setDate(day); // comes back here through dateChanged
        return;
    }
    // Empty the list, then fill it for the new day.
    m_dayList->open();
    fill();
}

void RetailDialog::fill()
{
    QString error;
    if (!DaySales::fill(m_db, m_dayPicker->date(), m_dayList, &m_lines, &m_totals, &error))
        Messages::error(this, DatabaseError.arg(error));
    // The given widths are the least a column gets: the sale time and a long
    // name are shown whole.
    fitColumns(m_grid, {1000, 1000, 1000, 700, 800, 1000, 2000, 0});
    widenToColumns(m_grid, this);
    showTotals();
}

void RetailDialog::showTotals()
{
    m_ticketsLabel->setText(QString::number(m_totals.tickets));
    m_quantityLabel->setText(QString::number(m_totals.quantity));
    m_amountLabel->setText(m_totals.amount.toCurrency());
}

void RetailDialog::deleteSelected()
{
    if (!Messages::ask(this, Confirm, ConfirmTitle, Messages::Icon::Question, Messages::Buttons::OkCancel))
        return;
    if (m_dayList->count() == 0)
        return;
    const int row = m_dayList->position();
    if (m_dayList->isOnDeletedRow() || row < 0 || row >= m_dayList->count() || row >= m_lines.size())
        return;
    QString error;
    const auto deleted = DaySales::deleteLine(m_db, m_lines.at(row), &error);
    if (!deleted) {
        Messages::error(this, DatabaseError.arg(error));
        return;
    }
    // The line leaves the list either way: it is not in the file any more.
    m_dayList->deleteCurrent();
    m_lines.removeAt(row);
    // The line that took its place is the selected one, in the grid and for
    // the next delete alike.
    if (m_dayList->count() > 0)
        m_dayList->moveTo(std::min(row, m_dayList->count() - 1));
    // The totals stay as they were until the date changes.
    if (!*deleted)
        Messages::info(this, Gone);
}
