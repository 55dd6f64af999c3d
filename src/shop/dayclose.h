#pragma once

#include "shop/cashiers.h"
#include "shop/money.h"
#include "shop/payment.h"
#include "shop/shop.h"

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QUuid>
#include <QVariantList>
#include <QVector>

#include <array>
#include <optional>

// The figures of one till's period: what its tickets since the last close
// took and gave back, by payment method, and the cash the drawer should hold.
struct CloseFigures
{
    qint64 id = 0; // the close's number; 0 while the period is open
    int till = 1;
    QDateTime start, end; // end: when it was closed (invalid while open)
    Money opening;        // the cash the drawer started with
    qint64 tickets = 0, lines = 0;
    Money sales, returns;
    std::array<Money, 4> byMethod{}; // net per PaymentMethod, in its order
    std::optional<Money> counted;    // the cash counted at the close
    Cashier cashier;                 // the shift's (工号 empty: a period without cashier)
    int shifts = 0;                  // a till's day: the closes it adds up (0: one period)

    bool isClosed() const { return id != 0; }
    Money net() const;
    Money method(PaymentMethod m) const { return byMethod[size_t(m)]; }
    // The opening cash and the cash tickets' net.
    Money expectedCash() const;
    // Counted − expected: above zero 长款, below zero 短款.
    std::optional<Money> difference() const;
};

// The report of a period, as the screen shows it and the printer prints it:
// a title and rows of caption and value.
struct CloseReport
{
    QString title;
    QList<std::pair<QString, QString>> rows;
    static CloseReport of(const CloseFigures &figures);
};

// The day's close (日结 / 交班) of the till this program sells as. A ticket
// belongs to its till's open period (its fukuan row has no close) until the
// till closes; the close stores its figures and the counted cash in rijie and
// marks the period's tickets as its own, in one transaction. Each till closes
// its own period; the list of closes holds every till's.
class DayClose
{
public:
    explicit DayClose(Shop shop);

    // The figures of this till's open period.
    Result<CloseFigures> current() const;
    // True when this till has closed before and no period is open: the next
    // sale opens one, with the cash the drawer starts with.
    // Once answered "no", the answer is kept until this object closes a
    // period or forgetOpening() is called: only this till's own close can
    // change it, and the checkout asks on every ticket.
    Result<bool> needsOpening() const;
    // Drops the kept answer of needsOpening (after a close made elsewhere).
    void forgetOpening() { m_noOpeningNeeded = false; }
    // Opens this till's period with the opening cash (or sets it, when one is
    // open), as the shift of `cashier` (工号) when given.
    Done open(Money opening, const QString &cashier = QString());
    // Once the shop has cashiers every period is a shift, opened with its
    // cashier and opening cash: needsOpening is true whenever none is open.
    void setShifts(bool shifts)
    {
        if (shifts != m_shifts)
            m_noOpeningNeeded = false;
        m_shifts = shifts;
    }
    // The cashier of this till's open period (工号 empty: opened without one);
    // nothing when no period is open.
    Result<std::optional<Cashier>> shiftCashier() const;
    // The till's day: the sums of its closes that ended on `day` (every shift).
    Result<CloseFigures> daySummary(QDate day) const;
    // Closes this till's period with the cash counted; the closed figures.
    // On the server a close tried again with the same token after its answer
    // was lost gives the close stored then, and stores none.
    Result<CloseFigures> close(Money counted, const QUuid &token = QUuid());
    // Every till's closes, the newest first.
    Result<QVector<CloseFigures>> history() const;

private:
    struct OpenRow
    {
        qint64 rowid = 0, id = 0;
        Money opening;
        QDateTime start;
        Cashier cashier;
    };
    Result<std::optional<OpenRow>> openRow() const;
    Result<CloseFigures> periodFigures() const;
    // The closes of rijie that `where` picks (no condition: all), newest first.
    Result<QVector<CloseFigures>> closes(const QString &where, const QVariantList &values) const;
    // On the server, the close a try with `token` stored before (its answer lost).
    Result<std::optional<CloseFigures>> closedBy(const QString &token) const;
    // Stores the close of `f` (its id given here) and makes the period's tickets its own.
    Done writeClose(CloseFigures &f, const std::optional<OpenRow> &open) const;

    Shop m_shop;
    QSqlDatabase m_db;
    int m_till;
    mutable bool m_noOpeningNeeded = false;
    bool m_shifts = false;
};
