#pragma once

#include "shop/cashiers.h"
#include "shop/dayclose.h"
#include "shop/goodscatalogue.h"
#include "shop/members.h"
#include "shop/money.h"
#include "shop/payment.h"
#include "shop/salesstore.h"
#include "shop/scalegoods.h"
#include "shop/scalelabel.h"
#include "shop/shop.h"

#include <QHash>
#include <QString>
#include <QUuid>

#include <memory>
#include <optional>

class QObject;
class Ticket;
struct TicketLine;
class TillFile;

// The till's checkout without its window: the ticket on the counter, the
// number it is shown under and its token, what a payment comes to, the
// opening of a new period, and storing the ticket whole or not at all. The
// counter window shows it and asks the cashier; the rules are here.
class Checkout
{
public:
    // The ticket belongs to `ticketParent` when given (a window whose grid
    // shows it outlives its children), else to the checkout.
    explicit Checkout(Shop shop, QObject *ticketParent = nullptr);
    ~Checkout();

    Ticket *ticket() const { return m_ticket; }

    // Puts `quantity` of the goods at the unit price charged on the ticket
    // (`listPrice`: the stored price it was looked up at), timed now; false
    // when its amount or a total of the ticket would overflow.
    // `looked`: the line is charged the price looked up for it (`charge`,
    // before the discount rate `rate`); a special's or a member's price is
    // marked with what it saved against the regular one at the same rate.
    struct Looked
    {
        GoodsCatalogue::Purchases::Charge charge;
        QString rate;
    };
    bool addLine(const QString &code, const QString &name, qint32 quantity, Money listPrice, Money price,
                 const std::optional<Looked> &looked = std::nullopt);
    // 会员: a member's card scanned into the code box makes the ticket the
    // member's: the lines on it charged the price looked up are priced
    // again with the members' prices, and so is every line after. Joined
    // with the member (and its points so far); NotMember: no member has the
    // card. Not while offline: the members are on the server.
    enum class MemberRing { NotMember, Joined };
    Result<MemberRing> ringMember(const GoodsCatalogue &catalogue, const QString &card);
    const std::optional<Member> &member() const { return m_member; }
    // The points this ticket gives its member: one per whole yuan of its sales.
    qint64 ticketPoints() const;
    // The member's points read again (after the ticket was stored).
    // Nothing without a member.
    Result<std::optional<qint64>> memberPoints() const;

    // A scanned scale label (条码秤) puts its weighed goods on the ticket: the
    // label's amount exactly, its weight or the one the amount buys at the
    // goods' price per kg. NotLabel: the text is no label of the shop's
    // formats (a normal goods code). The formats are read again by
    // reloadLabelFormats (the counter does so when it becomes active). While
    // the till sells offline a label is read with the formats and scale
    // codes read last and the goods from the till's own copy.
    struct LabelRing
    {
        enum Outcome { NotLabel, Added, BadCheck, UnknownScaleCode, AlsoGoodsCode, NotGoods, TooLarge };
        Outcome outcome = NotLabel;
        GoodsCatalogue::Lookup goods; // from NotGoods on: what the lookup of the goods found
    };
    Result<LabelRing> ringLabel(const GoodsCatalogue &catalogue, const QString &text);
    void reloadLabelFormats();
    // Whether `code` is a goods sold by weight: it is rung up from its label only.
    bool isWeighed(const QString &code) const { return m_weighedCodes.contains(code); }
    // Whether `text` has the length and flag of one of the formats.
    bool looksLikeLabel(const QString &text) const;

    // 收银员: once the shop has an active cashier, the till sells only for a
    // cashier signed in, and records the cashier with each ticket and with
    // each period it opens (a shift). Read at start and whenever the counter
    // becomes active again (after the back office).
    Done readCashiers();
    bool hasCashiers() const { return m_cashiersKept; }
    bool needsSignIn() const { return m_cashiersKept && !m_cashier; }
    const std::optional<Cashier> &cashier() const { return m_cashier; }
    // Signs `number` in after checking the password; the refusal says why.
    Done signIn(const QString &number, const QString &password);
    // 锁屏 / after 交班: nobody is signed in until the next sign-in.
    void signOut() { m_cashier.reset(); }
    // The cashier of the till's open period (工号 empty: opened without one);
    // nothing when none is open, or while offline.
    Result<std::optional<Cashier>> shift() const;

    // The number the ticket is shown under; the store settles the real one.
    qint64 number() const { return m_number; }
    void setNumber(qint64 number) { m_number = number; }
    // The number after the last stored ticket.
    Result<qint64> nextNumber() const;

    // What a payment by `method` comes to for a ticket of `total`: cash is
    // what was handed over (`cash`) with its change; the other methods take
    // the total itself. Below zero the ticket gives money back: in cash as
    // change, otherwise through its method (`shown`). Nothing when the cash
    // does not cover the total.
    struct Settlement
    {
        Money paid, change;
        Money shown; // what the total panel shows under 找零 or 应退
        bool refund = false;
    };
    static std::optional<Settlement> settle(Money total, PaymentMethod method, Money cash);

    // Whether this ticket opens the till's period (the first after a close),
    // asked after opening a lost connection again where needed.
    enum class Opening { NotNeeded, Needed, Lost, Failed };
    Opening opening(QString *why);
    Done open(Money openingCash);
    // After a close made elsewhere (the day-close screen).
    void forgetOpening() { m_dayClose.forgetOpening(); }

    // Stores the ticket as settled. Every try of the same ticket carries the
    // same token, so one whose answer was lost is never stored twice; once
    // stored the next number follows the stored one.
    //
    // On the server engine, a ticket the server cannot take (it is gone, or
    // silent past the deadline) is kept in the till's own file instead, and
    // the till sells offline from then on: `provisional` is the number its
    // receipt shows, and the ticket is sent when the server is back.
    struct Stored : SalesStore::Stored
    {
        qint64 provisional = 0; // kept offline under this number
    };
    Stored store(PaymentMethod method, const Settlement &settlement);
    // The ticket emptied: its next checkout is a new ticket, nobody's.
    void clear();
    // The cashier takes a line off the ticket, or empties a ticket that held
    // lines: it goes, and the trail records what went. A record the trail
    // could not take (the server away) does not keep the line on the ticket;
    // the reason is returned.
    QString voidLine(int row);
    QString emptyTicket();

    // Selling through an outage (server engine only). The till's own file,
    // null on the file engine or when it cannot be used.
    TillFile *tillFile() const { return m_tillFile.get(); }
    // Whether the till sells from its own file: the server was found gone.
    bool isOffline() const { return m_offline; }
    // The server is reachable again (its connection opened again).
    void backOnline() { m_offline = false; }
    // The program started without its server: it sells from its file.
    void goOffline() { m_offline = m_tillFile != nullptr; }
    // Looks a code up on the server, or in the till's copy while offline (or
    // when the server is found gone by this lookup); on a member's ticket
    // with the members' prices.
    Result<GoodsCatalogue::Lookup> lookup(const GoodsCatalogue &catalogue, const QString &code);
    // Sends the oldest `most` tickets kept offline, each in its own server
    // transaction, all in one round trip. Sent: all of them went; Lost (the
    // server gone) or an error: those before the first that did not go were sent.
    enum class Sending { Sent, NoneWaiting, Lost };
    Result<Sending> sendWaiting(int most);
    qint64 waitingCount() const;

private:
    // A special's or a member's price marked on the line with what it saved.
    static void markSaving(TicketLine &line, GoodsCatalogue::Purchases::Kind kind);
    // The trail's record of what the cashier took off the ticket.
    QString record(const QString &kind, const QString &what);

    Shop m_shop;
    std::optional<Member> m_member;
    std::optional<Cashier> m_cashier;
    bool m_cashiersKept = false; // the shop has an active cashier
    QList<LabelFormat> m_labelFormats;
    QHash<QString, QString> m_weighedCodes; // goods code → scale code
    QHash<QString, QString> m_scaleCodes;   // scale code → goods code
    // A label read on the server, or from the till's copy while offline.
    Result<ScaleGoods::LabelLookup> readLabel(const QString &text);
    Result<ScaleGoods::LabelLookup> readLabelOffline(const QString &text) const;
    SalesStore m_sales;
    DayClose m_dayClose;
    std::unique_ptr<Ticket> m_owned;
    Ticket *m_ticket;
    qint64 m_number = 0;
    QUuid m_token; // of the ticket on the counter, from its first checkout try
    std::unique_ptr<TillFile> m_tillFile;
    bool m_offline = false;
};
