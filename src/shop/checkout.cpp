#include "shop/checkout.h"

#include "shop/database.h"
#include "shop/members.h"
#include "shop/pricing.h"
#include "shop/scalegoods.h"
#include "shop/serverdeadline.h"
#include "shop/ticket.h"
#include "shop/tillfile.h"
#include "shop/trail.h"

Checkout::Checkout(Shop shop, QObject *ticketParent)
    : m_shop(shop)
    , m_sales(shop)
    , m_dayClose(shop)
    , m_owned(ticketParent ? nullptr : std::make_unique<Ticket>())
    , m_ticket(ticketParent ? new Ticket(ticketParent) : m_owned.get())
{
    // A till of a shop on a server keeps its own file beside its tarvel.ini.
    const std::optional<ShopConfig> server = m_shop.server();
    if (server && !server->directory.isEmpty()) {
        auto file = std::make_unique<TillFile>(TillFile::pathFor(*server));
        if (file->problem().isEmpty())
            m_tillFile = std::move(file);
        else
            qWarning("%s", qUtf8Printable(file->problem()));
    }
}

Checkout::~Checkout() = default;

Result<qint64> Checkout::nextNumber() const
{
    return m_sales.nextTicketNumber();
}

bool Checkout::addLine(const QString &code, const QString &name, qint32 quantity, Money listPrice, Money price,
                       const std::optional<Looked> &looked)
{
    const auto amount = Pricing::lineAmount(quantity, price);
    if (!amount)
        return false;
    TicketLine line;
    line.code = code;
    line.name = name;
    line.quantity = quantity;
    line.listPrice = listPrice;
    line.price = price;
    line.amount = *amount;
    line.time = QDateTime::currentDateTime();
    if (looked) {
        line.lookedUp = looked->charge.price;
        line.rate = looked->rate;
        markSaving(line, looked->charge.kind);
    }
    return m_ticket->add(line);
}

void Checkout::markSaving(TicketLine &line, GoodsCatalogue::Purchases::Kind kind)
{
    using Kind = GoodsCatalogue::Purchases::Kind;
    line.special = kind == Kind::Special;
    line.member = kind == Kind::Member;
    line.saved = Money();
    if (kind == Kind::Regular)
        return;
    const auto regular = Pricing::discountedPrice(line.listPrice.toPlain(), line.rate);
    const auto full = regular ? Pricing::lineAmount(line.quantity, *regular) : std::nullopt;
    line.saved = full ? full->minus(line.amount).value_or(Money()) : Money();
}

std::optional<Checkout::Settlement> Checkout::settle(Money total, PaymentMethod method, Money cash)
{
    Settlement s;
    s.paid = total;
    if (method == PaymentMethod::Cash) {
        if (cash < total)
            return std::nullopt;
        s.paid = cash;
        s.change = cash.minus(total).value_or(Money());
    }
    s.refund = total < Money();
    s.shown = method == PaymentMethod::Cash ? s.change : s.refund ? Money().minus(total).value_or(Money()) : Money();
    return s;
}

Checkout::Opening Checkout::opening(QString *why)
{
    // Offline the till's period is not known: the tickets kept meanwhile
    // join the period open on the server when they are sent.
    if (m_offline)
        return Opening::NotNeeded;
    const ServerDeadline deadline(m_shop, ServerDeadline::CounterMs);
    // A connection lost meanwhile is opened again first: a ticket stored by
    // a checkout that reconnected would otherwise open no period.
    auto needed = m_dayClose.needsOpening();
    if (!needed) {
        QString lost;
        switch (m_shop.recover(&lost)) {
        case Shop::Recovery::Reconnected:
            needed = m_dayClose.needsOpening();
            break;
        case Shop::Recovery::Lost:
            if (m_tillFile) {
                m_offline = true;
                return Opening::NotNeeded;
            }
            *why = SalesStore::notStoredWhileLost(lost);
            return Opening::Lost;
        case Shop::Recovery::NotLost:
            break;
        }
    }
    if (!needed) {
        *why = needed.errorText();
        return Opening::Failed;
    }
    return *needed ? Opening::Needed : Opening::NotNeeded;
}

Done Checkout::open(Money openingCash)
{
    return m_dayClose.open(openingCash, m_cashier ? m_cashier->number : QString());
}

Done Checkout::readCashiers()
{
    if (m_offline)
        return {}; // the cashiers are on the server: who signed in stays
    const auto any = Cashiers::anyActive(m_shop);
    if (!any)
        return any.error();
    m_cashiersKept = *any;
    m_dayClose.setShifts(m_cashiersKept);
    return {};
}

Done Checkout::signIn(const QString &number, const QString &password)
{
    const auto cashier = Cashiers::signIn(m_shop, number, password);
    if (!cashier)
        return cashier.error();
    m_cashier = *cashier;
    return {};
}

Result<std::optional<Cashier>> Checkout::shift() const
{
    if (m_offline)
        return std::optional<Cashier>();
    return m_dayClose.shiftCashier();
}

Checkout::Stored Checkout::store(PaymentMethod method, const Settlement &settlement)
{
    if (m_token.isNull())
        m_token = QUuid::createUuid();
    const Payment payment{method, settlement.paid, settlement.change, m_member ? m_member->card : QString(),
                          m_cashier ? m_cashier->number : QString()};
    Stored stored;
    if (!m_offline) {
        static_cast<SalesStore::Stored &>(stored) = m_sales.storeTicket(m_number, m_ticket->lines(), m_token, payment);
        if (stored.ok) {
            m_token = QUuid();
            // On a shared server another till may have taken the number shown.
            m_number = stored.ticketNumber + 1;
            return stored;
        }
        if (!stored.lost || !m_tillFile)
            return stored;
        m_offline = true;
    }
    stored = Stored();
    // A return is checked against the stored sales, which only the server has.
    for (const TicketLine &line : m_ticket->lines())
        if (line.isReturn()) {
            stored.error = QStringLiteral("这张小票有退货，与服务器断开时不能结帐；服务器恢复后再结帐即可。");
            return stored;
        }
    // Kept under the same token: a ticket whose commit went through with
    // its answer lost is found on the server when it is sent, not stored twice.
    const auto kept = m_tillFile->keep(m_ticket->lines(), m_token, payment, QDateTime::currentDateTime());
    if (!kept) {
        stored.error = QStringLiteral("这张小票没有保存在本机（%1），仍在屏幕上。").arg(kept.errorText());
        return stored;
    }
    stored.provisional = *kept;
    stored.ok = true;
    m_token = QUuid();
    return stored;
}

Result<GoodsCatalogue::Lookup> Checkout::lookup(const GoodsCatalogue &catalogue, const QString &code)
{
    if (!m_offline) {
        Result<GoodsCatalogue::Lookup> found = [&] {
            const ServerDeadline deadline(m_shop, ServerDeadline::CounterMs);
            return catalogue.lookup(code, m_member.has_value());
        }();
        if (found || !m_tillFile || m_shop.reachable())
            return found;
        m_offline = true;
    }
    return m_tillFile->lookup(code);
}

Result<Checkout::Sending> Checkout::sendWaiting(int most)
{
    if (!m_tillFile)
        return Sending::NoneWaiting;
    if (m_offline)
        return Sending::Lost;
    const auto oldest = m_tillFile->oldestWaiting(most);
    if (!oldest)
        return oldest.error();
    const QList<TillFile::Waiting> &waiting = *oldest;
    if (waiting.isEmpty())
        return Sending::NoneWaiting;
    // Their tokens make a second sending of a ticket the server has already
    // (the answer of the first lost) find it there.
    QList<SalesStore::Kept> kept;
    for (const TillFile::Waiting &w : waiting)
        kept.append({w.lines, w.token, w.payment, {w.provisional, w.sold}});
    const QList<SalesStore::Stored> stored = m_sales.storeKept(kept);
    QList<qint64> done;
    for (const SalesStore::Stored &s : stored)
        if (s.ok) {
            done.append(waiting[done.size()].seq);
            m_number = std::max(m_number, s.ticketNumber + 1);
        }
    // Removed once the server has them; if the removal fails the next
    // sending finds them stored by their tokens.
    if (!done.isEmpty())
        if (const QString problem = m_tillFile->sent(done); !problem.isEmpty())
            return Error{problem};
    if (done.size() == waiting.size())
        return Sending::Sent;
    if (!stored.isEmpty() && stored.last().lost) {
        m_offline = true;
        return Sending::Lost;
    }
    return Error{stored.isEmpty() ? QStringLiteral("没有打开的数据库连接。") : stored.last().error};
}

qint64 Checkout::waitingCount() const
{
    return m_tillFile ? m_tillFile->waitingCount() : 0;
}

namespace {

QString linesInWords(qint64 number, const QList<TicketLine> &lines)
{
    QStringList all;
    for (const TicketLine &l : lines)
        all.append(QStringLiteral("货号 %1，货名 %2，数量 %3，单价 %4，金额 %5")
                       .arg(l.code, l.name)
                       .arg(l.quantity)
                       .arg(l.price.toExactString(), l.amount.toExactString()));
    return QStringLiteral("流水号 %1：%2").arg(number).arg(all.join(QStringLiteral("；")));
}

} // namespace

QString Checkout::voidLine(int row)
{
    if (row < 0 || row >= m_ticket->lineCount())
        return QString();
    const QString what = linesInWords(m_number, {m_ticket->lines().at(row)});
    m_ticket->remove(row);
    return record(QStringLiteral("删除本行"), what);
}

QString Checkout::emptyTicket()
{
    const QString what = linesInWords(m_number, m_ticket->lines());
    const bool held = m_ticket->lineCount() > 0;
    clear();
    return held ? record(QStringLiteral("清除小票"), what) : QString();
}

QString Checkout::record(const QString &kind, const QString &what)
{
    if (m_offline)
        return QString();
    // A silent server keeps the cashier no longer than at a checkout.
    const ServerDeadline deadline(m_shop, ServerDeadline::CounterMs);
    return Trail::appendAlone(m_shop, kind, what).errorText();
}

void Checkout::clear()
{
    m_ticket->clear();
    m_token = QUuid();
    m_member.reset();
}
