#include "gui/counter/returndialog.h"

#include "gui/messages.h"
#include "gui/named.h"
#include "shop/displayformat.h"
#include "shop/scalegoods.h"

#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <algorithm>

namespace {
const QString WrongPassword = QStringLiteral("密码错误，请重新输入！");
const QString NoTicket = QStringLiteral("请输入原小票上的流水号！");
const QString NoQuantity = QStringLiteral("请在“退货数量”一栏输入要退的数量！");
const QString BadQuantity = QStringLiteral("退货数量要是正整数！");
const QString ReadFailed = QStringLiteral("读取数据库时出错：%1");
const QString PickTitle = QStringLiteral("选择原小票");
const QString PickLabel = QStringLiteral("有 %1 张流水号为 %2 的小票，请按售出时间选择：");
const QString SoldOn = QStringLiteral("售出时间：%1　收银台：%2");
// A whole number typed as digits only (no sign, no decimals, no grouping).
std::optional<qint64> wholeNumber(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 9 || std::any_of(t.begin(), t.end(), [](QChar c) { return c < u'0' || c > u'9'; }))
        return std::nullopt;
    return t.toLongLong();
}

enum Column { Code, Name, Sold, Returned, Left, Price, Amount, Back, ColumnCount };
} // namespace

ReturnDialog::ReturnDialog(Shop shop, QList<TicketLine> onTicket, QWidget *parent)
    : QDialog(parent)
    , m_shop(shop)
    , m_settings(shop)
    , m_onTicket(std::move(onTicket))
{
    setObjectName(QStringLiteral("frmtuihuo"));
    setWindowTitle(QStringLiteral("退货"));
    resize(720, 420);
    auto *layout = new QGridLayout(this);
    layout->addWidget(named(new QLabel(QStringLiteral("店主密码"), this), "Label1"), 0, 0);
    m_password = named(new QLineEdit(this), "Text1");
    m_password->setEchoMode(QLineEdit::Password);
    layout->addWidget(m_password, 0, 1);
    layout->addWidget(named(new QLabel(QStringLiteral("原流水号"), this), "Label2"), 0, 2);
    m_ticketNumber = named(new QLineEdit(this), "Text2");
    layout->addWidget(m_ticketNumber, 0, 3);
    m_find = named(new QPushButton(QStringLiteral("查找"), this), "Command1");
    layout->addWidget(m_find, 0, 4);

    // When and where the ticket found was sold: the cashier sees that it is
    // the customer's.
    m_soldOn = named(new QLabel(this), "Label3");
    layout->addWidget(m_soldOn, 1, 0, 1, 5);

    m_grid = named(new QTableWidget(0, ColumnCount, this), "DataGrid1");
    m_grid->setHorizontalHeaderLabels({QStringLiteral("货号"), QStringLiteral("货名"), QStringLiteral("售出"),
                                       QStringLiteral("已退"), QStringLiteral("可退"), QStringLiteral("售价"),
                                       QStringLiteral("金额"), QStringLiteral("退货数量")});
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->setEditTriggers(QAbstractItemView::AllEditTriggers);
    layout->addWidget(m_grid, 2, 0, 1, 5);

    auto *buttons = new QHBoxLayout;
    m_all = named(new QPushButton(QStringLiteral("全部退货"), this), "Command2");
    m_ok = named(new QPushButton(QStringLiteral("确定"), this), "Command3");
    auto *cancel = named(new QPushButton(QStringLiteral("取消"), this), "Command4");
    buttons->addStretch();
    for (QPushButton *b : {m_all, m_ok, cancel})
        buttons->addWidget(b);
    layout->addLayout(buttons, 3, 0, 1, 5);
    m_all->setEnabled(false);
    m_ok->setEnabled(false);
    // Enter finds; it never confirms a return by itself.
    for (QPushButton *b : {m_find, m_all, m_ok, cancel})
        b->setAutoDefault(false);

    connect(m_find, &QPushButton::clicked, this, &ReturnDialog::find);
    connect(m_password, &QLineEdit::returnPressed, this, [this] { m_ticketNumber->setFocus(); });
    connect(m_ticketNumber, &QLineEdit::returnPressed, this, &ReturnDialog::find);
    connect(m_all, &QPushButton::clicked, this, &ReturnDialog::returnAll);
    connect(m_ok, &QPushButton::clicked, this, &ReturnDialog::confirm);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    m_password->setFocus();
}

qint64 ReturnDialog::pending(const Returns::SoldLine &line) const
{
    qint64 units = 0;
    for (const TicketLine &l : m_onTicket)
        if (l.returnOfTicket == m_ticket && l.returnOfLine == line.id)
            units += -qint64(l.quantity);
    return units;
}

void ReturnDialog::find()
{
    // Money leaves the drawer: the keeper's password first.
    if (!m_passwordOk) {
        const auto stored = m_settings.password();
        if (!stored) {
            Messages::error(this, ReadFailed.arg(stored.errorText()));
            return;
        }
        if (m_password->text() != *stored) {
            Messages::info(this, WrongPassword);
            m_password->clear();
            m_password->setFocus();
            return;
        }
        m_passwordOk = true;
        m_password->setEnabled(false);
    }
    std::optional<qint64> number = wholeNumber(m_ticketNumber->text());
    // The receipt of a ticket sold offline shows its provisional number.
    if (const auto provisional = Returns::provisionalIn(m_ticketNumber->text())) {
        const auto final = Returns::finalNumberOf(m_shop, *provisional);
        if (!final) {
            Messages::error(this, ReadFailed.arg(final.errorText()));
            return;
        }
        number = *final;
        if (*number == 0) {
            Messages::info(this, Returns::unknownProvisional(m_ticketNumber->text()));
            m_ticketNumber->setFocus();
            m_ticketNumber->selectAll();
            return;
        }
    }
    if (!number || *number <= 0) {
        Messages::info(this, NoTicket);
        m_ticketNumber->setFocus();
        m_ticketNumber->selectAll();
        return;
    }
    const auto tickets = Returns::ticketsOf(m_shop, *number);
    if (!tickets) {
        Messages::error(this, ReadFailed.arg(tickets.errorText()));
        return;
    }
    m_grid->setRowCount(0);
    m_lines.clear();
    m_soldOn->clear();
    m_all->setEnabled(false);
    m_ok->setEnabled(false);
    if (tickets->isEmpty()) {
        Messages::info(this, Returns::unknownTicket(*number));
        return;
    }
    const auto picked = pick(*tickets, *number);
    if (!picked)
        return;
    const Returns::SoldTicket &ticket = tickets->at(*picked);
    const QList<Returns::SoldLine> *lines = &ticket.lines;
    m_soldOn->setText(
        SoldOn.arg(formatDateTime(ticket.time), ticket.till > 0 ? QString::number(ticket.till) : QStringLiteral("—")));
    m_ticket = *number;
    // Goods sold by weight are given back in kg.
    QList<Returns::SoldLine> marked = *lines;
    if (const Done done = ScaleGoods::markWeighed(m_shop, marked); !done) {
        Messages::error(this, ReadFailed.arg(done.errorText()));
        return;
    }
    qint64 left = 0;
    for (Returns::SoldLine line : std::as_const(marked)) {
        line.returned += pending(line);
        left += std::max<qint64>(0, line.left());
        m_lines.append(line);
    }
    if (left <= 0) {
        m_lines.clear();
        Messages::info(this, Returns::allReturned(*number));
        return;
    }
    m_grid->setRowCount(int(m_lines.size()));
    for (int r = 0; r < m_lines.size(); ++r) {
        const Returns::SoldLine &l = m_lines[r];
        const QStringList cells = {l.code,
                                   l.name,
                                   Weighing::quantityText(l.sold, l.weighed),
                                   Weighing::quantityText(l.returned, l.weighed),
                                   Weighing::quantityText(std::max<qint64>(0, l.left()), l.weighed),
                                   l.weighed ? l.price.toCurrency() + QStringLiteral("/kg") : l.price.toCurrency(),
                                   l.amount.toCurrency(),
                                   QString()};
        for (int c = 0; c < ColumnCount; ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            if (c != Back || l.left() <= 0)
                item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            m_grid->setItem(r, c, item);
        }
    }
    m_grid->resizeColumnsToContents();
    m_all->setEnabled(true);
    m_ok->setEnabled(true);
    m_grid->setCurrentCell(0, Back);
    m_grid->setFocus();
}

std::optional<qsizetype> ReturnDialog::pick(const QList<Returns::SoldTicket> &tickets, qint64 number)
{
    if (tickets.size() == 1)
        return 0;
    QStringList items;
    for (const Returns::SoldTicket &t : tickets) {
        Money total;
        for (const Returns::SoldLine &l : t.lines)
            total = total.plus(l.amount).value_or(total);
        items.append(QStringLiteral("%1　收银台 %2　%3 行　%4")
                         .arg(formatDateTime(t.time), t.till > 0 ? QString::number(t.till) : QStringLiteral("—"))
                         .arg(t.lines.size())
                         .arg(total.toCurrency()));
    }
    bool ok = false;
    const QString chosen = QInputDialog::getItem(this, PickTitle, PickLabel.arg(tickets.size()).arg(number), items,
                                                 int(items.size()) - 1, false, &ok);
    if (!ok)
        return std::nullopt;
    return items.indexOf(chosen);
}

void ReturnDialog::returnAll()
{
    for (int r = 0; r < m_lines.size(); ++r)
        if (m_lines[r].left() > 0)
            m_grid->item(r, Back)->setText(Weighing::quantityText(m_lines[r].left(), m_lines[r].weighed));
}

void ReturnDialog::confirm()
{
    // A cell still being edited counts as typed.
    if (QWidget *editor = m_grid->focusWidget(); editor && editor != m_grid)
        m_grid->setFocus();
    m_grid->setCurrentItem(nullptr);
    QList<TicketLine> returned;
    const QDateTime now = QDateTime::currentDateTime();
    for (int r = 0; r < m_lines.size(); ++r) {
        const QString text = m_grid->item(r, Back)->text().trimmed();
        if (text.isEmpty())
            continue;
        const Returns::SoldLine &line = m_lines[r];
        const auto units = Weighing::quantityFrom(text, line.weighed);
        if (!units || *units < 0) {
            Messages::info(this, BadQuantity);
            return;
        }
        if (*units == 0)
            continue;
        if (*units > line.left()) {
            Messages::info(this, Returns::tooMany(line.code, std::max<qint64>(0, line.left()), line.weighed));
            return;
        }
        returned.append(Returns::returnLine(line, m_ticket, line.returned, *units, now));
    }
    if (returned.isEmpty()) {
        Messages::info(this, NoQuantity);
        return;
    }
    m_returned = returned;
    accept();
}
