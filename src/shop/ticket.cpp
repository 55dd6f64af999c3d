#include "shop/ticket.h"

#include "shop/recordset.h"
#include "shop/returns.h"
#include "shop/scalelabel.h"

namespace {
const QString Code = QStringLiteral("货号");
const QString Name = QStringLiteral("货名");
const QString Quantity = QStringLiteral("数量");
const QString ListPrice = QStringLiteral("定价");
const QString Price = QStringLiteral("优惠价");
const QString Amount = QStringLiteral("金额");
const QString Time = QStringLiteral("时间");
} // namespace

Ticket::Ticket(QObject *parent) : QObject(parent), m_records(new RecordSet(this))
{
    using K = Schema::ColumnKind;
    m_records->setObjectName(QStringLiteral("ticket"));
    m_records->appendColumn(Code, K::Text);
    m_records->appendColumn(Name, K::Text);
    m_records->appendColumn(Quantity, K::Integer);
    // Both prices are kept as the cashier saw them: exact money at two decimals.
    m_records->appendColumn(ListPrice, K::Money);
    m_records->appendColumn(Price, K::Money);
    // The amount is exact money, not a single-precision number.
    m_records->appendColumn(Amount, K::Money);
    m_records->appendColumn(Time, K::DateTime);
    m_records->open();
}

QString TicketLine::quantityText() const
{
    return weighed ? Weighing::kgText(quantity) + QStringLiteral("kg") : QString::number(quantity);
}

QString TicketLine::priceText(Money value) const
{
    return weighed ? value.toCurrency() + QStringLiteral("/kg") : value.toCurrency();
}

QStringList Ticket::fieldNames()
{
    return {Code, Name, Quantity, ListPrice, Price, Amount, Time};
}

bool Ticket::add(const TicketLine &line)
{
    const auto amount = m_amountTotal.plus(line.amount);
    if (!amount)
        return false;
    m_records->addNew();
    m_records->setValue(Code, line.code);
    m_records->setValue(Name, line.name);
    m_records->setValue(Quantity, line.quantity);
    m_records->setValue(ListPrice, QVariant::fromValue(line.listPrice.roundedToCents()));
    m_records->setValue(Price, QVariant::fromValue(line.price.roundedToCents()));
    m_records->setValue(Amount, QVariant::fromValue(line.amount));
    m_records->setValue(Time, line.time);
    m_returnOf.append(besideOf(line));
    m_quantityTotal += line.pieces();
    m_amountTotal = *amount;
    return true;
}

Ticket::ReturnOf Ticket::besideOf(const TicketLine &line)
{
    return {line.returnOfTicket, line.returnOfLine, line.returnOfSold, line.returnedBefore,
            line.returnOfAmount, line.weighed,      line.special,      line.member,
            line.saved,          line.lookedUp,     line.rate};
}

bool Ticket::reprice(int index, const TicketLine &line)
{
    if (index < 0 || index >= lineCount())
        return false;
    const TicketLine was = this->line(index);
    const auto amount = m_amountTotal.minus(was.amount).value_or(m_amountTotal).plus(line.amount);
    if (!amount || !m_records->moveTo(index) ||
        !m_records->setValue(Price, QVariant::fromValue(line.price.roundedToCents())) ||
        !m_records->setValue(Amount, QVariant::fromValue(line.amount)) || !m_records->write())
        return false;
    m_returnOf[index] = besideOf(line);
    m_amountTotal = *amount;
    return true;
}

bool Ticket::remove(int index)
{
    if (index < 0 || index >= lineCount())
        return false;
    const TicketLine gone = line(index);
    if (!m_records->moveTo(index) || !m_records->deleteCurrent())
        return false;
    m_returnOf.removeAt(index);
    m_quantityTotal -= gone.pieces();
    m_amountTotal = m_amountTotal.minus(gone.amount).value_or(m_amountTotal);
    if (gone.isReturn()) {
        // The later returns of the same line now come after fewer units.
        for (int i = index; i < lineCount(); ++i) {
            ReturnOf &r = m_returnOf[i];
            if (r.ticket != gone.returnOfTicket || r.line != gone.returnOfLine)
                continue;
            r.before += gone.quantity; // a return's quantity is below zero
            const TicketLine was = line(i);
            const Money amount =
                Returns::returnLine(Returns::basisOf(was), r.ticket, r.before, -qint64(was.quantity), was.time).amount;
            if (!m_records->moveTo(i) || !m_records->setValue(Amount, QVariant::fromValue(amount)) ||
                !m_records->write())
                return false;
            m_amountTotal =
                m_amountTotal.minus(was.amount).value_or(m_amountTotal).plus(amount).value_or(m_amountTotal);
        }
    }
    if (lineCount() > 0)
        m_records->moveTo(std::min(index, lineCount() - 1));
    return true;
}

void Ticket::clear()
{
    // All lines go at once: the grid is reset once, not told of each line.
    if (m_records->count() > 0)
        m_records->setRows({});
    m_returnOf.clear();
    m_quantityTotal = 0;
    m_amountTotal = Money();
}

int Ticket::lineCount() const
{
    return m_records->count();
}

TicketLine Ticket::line(int index) const
{
    auto at = [&](int column) { return m_records->valueAt(index, column); };
    TicketLine l;
    l.code = at(0).toString();
    l.name = at(1).toString();
    l.quantity = at(2).toInt();
    l.listPrice = at(3).value<Money>();
    l.price = at(4).value<Money>();
    l.amount = at(5).value<Money>();
    l.time = at(6).toDateTime();
    const auto returnOf = m_returnOf.value(index);
    l.returnOfTicket = returnOf.ticket;
    l.returnOfLine = returnOf.line;
    l.returnOfSold = returnOf.sold;
    l.returnOfAmount = returnOf.amount;
    l.returnedBefore = returnOf.before;
    l.weighed = returnOf.weighed;
    l.special = returnOf.special;
    l.member = returnOf.member;
    l.saved = returnOf.saved;
    l.lookedUp = returnOf.lookedUp;
    if (!returnOf.rate.isEmpty())
        l.rate = returnOf.rate;
    return l;
}

QList<TicketLine> Ticket::lines() const
{
    QList<TicketLine> all;
    for (int i = 0; i < lineCount(); ++i)
        all.append(line(i));
    return all;
}
