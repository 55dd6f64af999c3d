#pragma once

#include "shop/goodscatalogue.h"
#include "shop/money.h"
#include "shop/payment.h"
#include "shop/shopconfig.h"
#include "shop/ticket.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <map>
#include <optional>
#include <string>

struct sqlite3;

// A till's own file beside its tarvel.ini (on the server engine): what it
// needs to sell while the server cannot be reached, and the tickets sold
// meanwhile until the server has them.
//
// The copy: every code's name and price as the counter would take them, the
// pick list, the receipt's texts and the keeper's password, replaced whole
// whenever the server's are read again. The waiting tickets: each stored
// whole or not at all (synchronous=FULL: a power cut after the receipt keeps
// it), with the token it will be sent under and the provisional number its
// receipt shows; removed only once the server has it.
class TillFile
{
public:
    // "tarvel-till<n>.db" in the directory of the till's tarvel.ini.
    static QString pathFor(const ShopConfig &server);
    explicit TillFile(const QString &path);
    ~TillFile();
    TillFile(const TillFile &) = delete;
    TillFile &operator=(const TillFile &) = delete;

    // Empty when the file is open and has its tables; else the reason.
    QString problem() const { return m_problem; }
    QString path() const { return m_path; }

    struct Goods
    {
        QString code, name;
        qint64 purchaseRows = 0, purchased = 0;
        Money price;
    };
    struct Copy
    {
        QList<Goods> goods;
        QString header;
        QStringList footer;
        QString password;
        bool hasPassword = false;
        QStringList picks;
    };
    // The server's figures, in place of the last copy, in one transaction.
    QString replaceCopy(const Copy &copy);
    // When the copy was last replaced; invalid when the file never had one.
    QDateTime copiedAt() const;
    // The counter's lookup answered from the copy, in the same order as on
    // the server; an error when there is no copy.
    Result<GoodsCatalogue::Lookup> lookup(const QString &code) const;
    QString header() const;
    QStringList footer() const;
    // Nothing when the copy holds no password row.
    std::optional<QString> password() const;

    struct Waiting
    {
        qint64 seq = 0;
        qint64 provisional = 0; // the till's offline ticket number
        QUuid token;
        QList<TicketLine> lines;
        Payment payment;
        QDateTime sold;
    };
    // Keeps a ticket to be sent; its provisional number.
    Result<qint64> keep(const QList<TicketLine> &lines, const QUuid &token, const Payment &payment,
                        const QDateTime &sold);
    qint64 waitingCount() const;
    // The oldest `most` waiting tickets, oldest first; none when none waits.
    Result<QList<Waiting>> oldestWaiting(int most) const;
    // The server has them.
    QString sent(const QList<qint64> &seqs);

    // "离线 2-0007": till 2's seventh ticket sold while offline.
    static QString provisionalText(int till, qint64 provisional);

private:
    QString exec(const char *sql) const;
    // Prepared at its first use, finalised with the file.
    sqlite3_stmt *kept(const char *sql) const;
    QString text(const char *key, bool *found = nullptr) const;

    QString m_path;
    QString m_problem;
    sqlite3 *m_db = nullptr;
    mutable std::map<std::string, sqlite3_stmt *, std::less<>> m_kept;
};
