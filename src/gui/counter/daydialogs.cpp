#include "gui/counter/daydialogs.h"

#include "gui/messages.h"
#include "gui/named.h"
#include "gui/sheetexport.h"
#include "print/closeprinter.h"
#include "shop/displayformat.h"

#include <QComboBox>
#include <QDate>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

namespace {
const QString BadAmount = QStringLiteral("输入有误，请输入金额！");
const QString FinerThanFen = QStringLiteral("现金以分为单位，请最多输入两位小数！");
const QString NoCount = QStringLiteral("请先输入清点出的现金金额！");
const QString CloseQuestion = QStringLiteral("确定日结吗？\n本班的销售归入这次日结，下一笔销售开始新的一班。");
const QString Closed = QStringLiteral("日结完成，日结号 %1。");
const QString CloseFailed = QStringLiteral("日结没有保存：%1");
const QString ReadFailed = QStringLiteral("读取数据库时出错：%1");
const QString PrintFailed = QStringLiteral("报表没有打印出来：%1");
const QString ClosedNotPrinted = QStringLiteral("日结已保存，但报表没有打印出来：%1");
const QString NoneToday = QStringLiteral("本收银台今天还没有日结或交班。");
const QString AllCashiers = QStringLiteral("全部收银员");

// An amount of cash, not below zero and in whole fen (the drawer holds no
// less); nothing for empty text, and an empty inner value for text that is
// no such amount.
std::optional<std::optional<Money>> amountIn(const QLineEdit *box)
{
    const QString text = box->text().trimmed();
    if (text.isEmpty())
        return std::optional<Money>();
    const auto m = Money::parse(text);
    if (!m || *m < Money() || m->roundedToCents() != *m)
        return std::nullopt;
    return std::optional<Money>(*m);
}

// Why the box holds no amount of cash, for the message.
QString amountProblem(const QLineEdit *box)
{
    const auto m = Money::parse(box->text().trimmed());
    return m && !(*m < Money()) && m->roundedToCents() != *m ? FinerThanFen : BadAmount;
}

QTableWidget *reportGrid(QWidget *parent)
{
    auto *grid = named(new QTableWidget(0, 2, parent), "DataGrid1");
    grid->setHorizontalHeaderLabels({QStringLiteral("项目"), QStringLiteral("数额")});
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->verticalHeader()->hide();
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    return grid;
}

} // namespace

void showReport(QTableWidget *grid, const CloseReport &report)
{
    grid->setRowCount(int(report.rows.size()));
    for (int r = 0; r < report.rows.size(); ++r) {
        grid->setItem(r, 0, new QTableWidgetItem(report.rows[r].first));
        auto *value = new QTableWidgetItem(report.rows[r].second);
        value->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->setItem(r, 1, value);
    }
    grid->resizeColumnToContents(0);
}

// ---- opening cash ----

OpeningCashDialog::OpeningCashDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmkaiban"));
    setWindowTitle(QStringLiteral("开班"));
    auto *layout = new QGridLayout(this);
    layout->addWidget(named(new QLabel(QStringLiteral("新的一班开始。钱箱里的备用金："), this), "Label1"), 0, 0);
    m_amount = named(new QLineEdit(QStringLiteral("0"), this), "Text1");
    m_amount->selectAll();
    layout->addWidget(m_amount, 0, 1);
    auto *ok = named(new QPushButton(QStringLiteral("确定"), this), "OKButton");
    auto *cancel = named(new QPushButton(QStringLiteral("取消"), this), "CancelButton");
    ok->setDefault(true);
    layout->addWidget(ok, 1, 0);
    layout->addWidget(cancel, 1, 1);
    connect(ok, &QPushButton::clicked, this, &OpeningCashDialog::confirm);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void OpeningCashDialog::confirm()
{
    const auto amount = amountIn(m_amount);
    if (!amount) {
        Messages::info(this, amountProblem(m_amount));
        m_amount->setFocus();
        m_amount->selectAll();
        return;
    }
    m_opening = amount->value_or(Money());
    accept();
}

// ---- the close ----

DayCloseDialog::DayCloseDialog(Shop shop, QWidget *parent) : QDialog(parent), m_close(shop)
{
    setObjectName(QStringLiteral("frmrijie"));
    setWindowTitle(QStringLiteral("日结 / 交班"));
    resize(420, 560);
    auto *layout = new QGridLayout(this);
    m_grid = reportGrid(this);
    layout->addWidget(m_grid, 0, 0, 1, 3);
    layout->addWidget(named(new QLabel(QStringLiteral("实点现金"), this), "Label1"), 1, 0);
    m_counted = named(new QLineEdit(this), "Text1");
    layout->addWidget(m_counted, 1, 1);
    m_difference = named(new QLabel(this), "Label2");
    layout->addWidget(m_difference, 1, 2);
    auto *buttons = new QHBoxLayout;
    auto *print = named(new QPushButton(QStringLiteral("打印"), this), "Command1");
    auto *close = named(new QPushButton(QStringLiteral("日结"), this), "Command2");
    auto *history = named(new QPushButton(QStringLiteral("历史记录"), this), "Command3");
    auto *day = named(new QPushButton(QStringLiteral("当日汇总"), this), "Command4");
    auto *done = named(new QPushButton(QStringLiteral("关闭"), this), "CancelButton");
    for (QPushButton *b : {print, close, history, day, done}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    layout->addLayout(buttons, 2, 0, 1, 3);

    connect(m_counted, &QLineEdit::textChanged, this, &DayCloseDialog::showFigures);
    connect(print, &QPushButton::clicked, this, &DayCloseDialog::printX);
    connect(close, &QPushButton::clicked, this, &DayCloseDialog::closePeriod);
    connect(history, &QPushButton::clicked, this, &DayCloseDialog::showHistory);
    connect(day, &QPushButton::clicked, this, &DayCloseDialog::printDay);
    connect(done, &QPushButton::clicked, this, &QDialog::accept);
    m_counted->setFocus();
}

bool DayCloseDialog::refresh()
{
    const auto figures = m_close.current();
    if (!figures) {
        Messages::error(this, ReadFailed.arg(figures.errorText()));
        return false;
    }
    m_figures = *figures;
    showFigures();
    return true;
}

void DayCloseDialog::showFigures()
{
    // The difference follows the typing; text that is no amount shows none.
    CloseFigures shown = m_figures;
    const auto typed = amountIn(m_counted);
    shown.counted = typed ? *typed : std::nullopt;
    showReport(m_grid, CloseReport::of(shown));
    const auto d = shown.difference();
    m_difference->setText(!d               ? QString()
                          : d->units() > 0 ? QStringLiteral("长款 %1").arg(d->toCurrency())
                          : d->units() < 0 ? QStringLiteral("短款 %1").arg(Money().minus(*d).value_or(*d).toCurrency())
                                           : QStringLiteral("无差额"));
}

std::optional<std::optional<Money>> DayCloseDialog::counted()
{
    const auto typed = amountIn(m_counted);
    if (!typed) {
        Messages::info(this, amountProblem(m_counted));
        m_counted->setFocus();
        m_counted->selectAll();
    }
    return typed;
}

void DayCloseDialog::printX()
{
    const auto typed = counted();
    if (!typed || !refresh())
        return;
    CloseFigures report = m_figures;
    report.counted = *typed;
    if (const Done printed = ClosePrinter::printOnDefaultPrinter(CloseReport::of(report)); !printed)
        Messages::warning(this, PrintFailed.arg(printed.errorText()));
}

void DayCloseDialog::closePeriod()
{
    const auto typed = counted();
    if (!typed)
        return;
    if (!*typed) {
        Messages::info(this, NoCount);
        m_counted->setFocus();
        return;
    }
    if (!Messages::ask(this, CloseQuestion, windowTitle(), Messages::Icon::Question, Messages::Buttons::YesNo))
        return;
    // Tried again after a failure, the same close: one whose answer was
    // lost is found stored, not stored twice.
    const auto closed = m_close.close(**typed, m_token);
    if (!closed) {
        Messages::error(this, CloseFailed.arg(closed.errorText()));
        return;
    }
    m_token = QUuid::createUuid();
    m_hasClosed = true;
    const Done printed = ClosePrinter::printOnDefaultPrinter(CloseReport::of(*closed));
    m_counted->clear();
    refresh();
    if (!printed)
        Messages::warning(this, ClosedNotPrinted.arg(printed.errorText()));
    else
        Messages::info(this, Closed.arg(closed->id));
}

void DayCloseDialog::printDay()
{
    const auto day = m_close.daySummary(QDate::currentDate());
    if (!day) {
        Messages::error(this, ReadFailed.arg(day.errorText()));
        return;
    }
    if (day->shifts == 0) {
        Messages::info(this, NoneToday);
        return;
    }
    if (const Done printed = ClosePrinter::printOnDefaultPrinter(CloseReport::of(*day)); !printed)
        Messages::warning(this, PrintFailed.arg(printed.errorText()));
}

void DayCloseDialog::showHistory()
{
    const auto closes = m_close.history();
    if (!closes) {
        Messages::error(this, ReadFailed.arg(closes.errorText()));
        return;
    }
    CloseListDialog list(*closes, this);
    list.exec();
}

// ---- the past closes ----

CloseListDialog::CloseListDialog(QVector<CloseFigures> closes, QWidget *parent)
    : QDialog(parent)
    , m_closes(std::move(closes))
{
    setObjectName(QStringLiteral("frmrijielist"));
    setWindowTitle(QStringLiteral("日结记录"));
    resize(820, 420);
    auto *layout = new QGridLayout(this);
    const QStringList captions = {QStringLiteral("日结号"),   QStringLiteral("收银台"),   QStringLiteral("开始"),
                                  QStringLiteral("日结时间"), QStringLiteral("单数"),     QStringLiteral("净额"),
                                  QStringLiteral("应有现金"), QStringLiteral("实点现金"), QStringLiteral("差额"),
                                  QStringLiteral("收银员")};
    m_grid = named(new QTableWidget(int(m_closes.size()), int(captions.size()), this), "DataGrid1");
    m_grid->setHorizontalHeaderLabels(captions);
    m_grid->verticalHeader()->hide();
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    for (int r = 0; r < m_closes.size(); ++r) {
        const CloseFigures &f = m_closes[r];
        const QStringList cells = {QString::number(f.id),
                                   QString::number(f.till),
                                   formatDateTime(f.start),
                                   formatDateTime(f.end),
                                   QString::number(f.tickets),
                                   f.net().toCurrency(),
                                   f.expectedCash().toCurrency(),
                                   f.counted ? f.counted->toCurrency() : QString(),
                                   f.difference() ? f.difference()->toCurrency() : QString(),
                                   f.cashier.number.isEmpty() ? QString() : Cashiers::shown(f.cashier)};
        for (int c = 0; c < cells.size(); ++c)
            m_grid->setItem(r, c, new QTableWidgetItem(cells[c]));
    }
    m_grid->resizeColumnsToContents();
    if (!m_closes.isEmpty())
        m_grid->selectRow(0);
    layout->addWidget(m_grid, 0, 0, 1, 2);
    // A shop with cashiers lists one cashier's shifts on choice.
    QStringList cashiers;
    for (const CloseFigures &f : m_closes)
        if (!f.cashier.number.isEmpty() && !cashiers.contains(Cashiers::shown(f.cashier)))
            cashiers.append(Cashiers::shown(f.cashier));
    if (!cashiers.isEmpty()) {
        cashiers.sort();
        m_cashier = named(new QComboBox(this), "cboShouyin");
        m_cashier->addItem(AllCashiers);
        m_cashier->addItems(cashiers);
        layout->addWidget(m_cashier, 2, 0, 1, 2);
        connect(m_cashier, &QComboBox::currentIndexChanged, this, &CloseListDialog::filter);
    }
    auto *print = named(new QPushButton(QStringLiteral("打印"), this), "Command1");
    auto *done = named(new QPushButton(QStringLiteral("关闭"), this), "CancelButton");
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(print);
    buttons->addWidget(exportButton(this, windowTitle(), [this] {
        using K = Spreadsheet::Kind;
        return GridSheet{m_grid,
                         {K::Integer, K::Integer, K::DateTime, K::DateTime, K::Integer, K::Money, K::Money, K::Money,
                          K::Money, K::Text},
                         windowTitle()};
    }));
    buttons->addWidget(done);
    layout->addLayout(buttons, 1, 0, 1, 2);
    connect(print, &QPushButton::clicked, this, &CloseListDialog::printSelected);
    connect(done, &QPushButton::clicked, this, &QDialog::accept);
}

void CloseListDialog::filter()
{
    const QString chosen = m_cashier->currentIndex() > 0 ? m_cashier->currentText() : QString();
    for (int r = 0; r < m_closes.size(); ++r)
        m_grid->setRowHidden(r, !chosen.isEmpty() && Cashiers::shown(m_closes[r].cashier) != chosen);
}

void CloseListDialog::printSelected()
{
    const int row = m_grid->currentRow();
    if (row < 0 || row >= m_closes.size())
        return;
    if (const Done printed = ClosePrinter::printOnDefaultPrinter(CloseReport::of(m_closes[row])); !printed)
        Messages::warning(this, PrintFailed.arg(printed.errorText()));
}
