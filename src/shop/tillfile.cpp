#include "shop/tillfile.h"

#include "shop/schema.h"

#include <QDir>
#include <QScopeGuard>

#include <algorithm>

#include <sqlite3.h>

namespace {

const char *const Tables = "CREATE TABLE IF NOT EXISTS goods (code TEXT PRIMARY KEY, name TEXT NOT NULL, "
                           "purchase_rows INTEGER NOT NULL, purchased INTEGER NOT NULL, price INTEGER NOT NULL);"
                           "CREATE TABLE IF NOT EXISTS texts (key TEXT PRIMARY KEY, value TEXT);"
                           "CREATE TABLE IF NOT EXISTS picks (pos INTEGER PRIMARY KEY, name TEXT);"
                           // A checkout writes as few pages as it can: no index
                           // beside the tables' own keys.
                           "CREATE TABLE IF NOT EXISTS waiting (seq INTEGER PRIMARY KEY, token TEXT NOT NULL, "
                           "provisional INTEGER NOT NULL, method TEXT NOT NULL, "
                           "paid INTEGER NOT NULL, change INTEGER NOT NULL, sold TEXT NOT NULL);"
                           "CREATE TABLE IF NOT EXISTS waiting_lines (seq INTEGER NOT NULL, pos INTEGER NOT NULL, "
                           "code TEXT, name TEXT, quantity INTEGER, list_price INTEGER, price INTEGER, "
                           "amount INTEGER, time TEXT, PRIMARY KEY (seq, pos)) WITHOUT ROWID;"
                           // A member's ticket kept when the server went away
                           // at its checkout: the card goes with it.
                           "CREATE TABLE IF NOT EXISTS waiting_members (seq INTEGER PRIMARY KEY, card TEXT NOT NULL);"
                           // ... and so does its cashier.
                           "CREATE TABLE IF NOT EXISTS waiting_cashiers (seq INTEGER PRIMARY KEY, "
                           "gonghao TEXT NOT NULL);"
                           // The highest provisional number sent: numbers never go
                           // back, also once every ticket was sent.
                           "CREATE TABLE IF NOT EXISTS sent_up_to (id INTEGER PRIMARY KEY CHECK (id = 1), "
                           "last INTEGER NOT NULL);";

// A file of the first version numbered from its table's own counter.
const char *const CounterTakenOver =
    "INSERT OR IGNORE INTO sent_up_to SELECT 1, seq FROM sqlite_sequence WHERE name = 'waiting'";

// One use of a statement the file keeps prepared: reset and its values
// cleared however the use ends.
class Statement
{
public:
    Statement(sqlite3 *db, sqlite3_stmt *kept) : m_db(db), m_stmt(kept), m_ok(kept != nullptr) { }
    ~Statement()
    {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    Statement &bind(qint64 value)
    {
        m_ok = m_ok && sqlite3_bind_int64(m_stmt, ++m_column, value) == SQLITE_OK;
        return *this;
    }
    Statement &bind(const QString &value)
    {
        const QByteArray text = value.toUtf8();
        m_ok = m_ok &&
               sqlite3_bind_text(m_stmt, ++m_column, text.constData(), int(text.size()), SQLITE_TRANSIENT) == SQLITE_OK;
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE, or an error.
    int step() { return m_ok ? sqlite3_step(m_stmt) : SQLITE_ERROR; }
    bool run() { return step() == SQLITE_DONE; }
    qint64 integer(int column) const { return sqlite3_column_int64(m_stmt, column); }
    QString text(int column) const
    {
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column)),
                                 sqlite3_column_bytes(m_stmt, column));
    }
    QString error() const { return QString::fromUtf8(sqlite3_errmsg(m_db)); }

private:
    sqlite3 *m_db;
    sqlite3_stmt *m_stmt;
    int m_column = 0;
    bool m_ok;
};

// A transaction of the file: rolled back unless committed.
class FileTransaction
{
public:
    explicit FileTransaction(sqlite3 *db) : m_db(db)
    {
        m_active = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~FileTransaction()
    {
        if (m_active)
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    bool active() const { return m_active; }
    bool commit()
    {
        m_active = false;
        if (sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK)
            return true;
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }

private:
    sqlite3 *m_db;
    bool m_active;
};

// Sale times as the shop stores them (the wall clock, no zone), so a ticket
// sent later is stored with the very time it would have had online.
QString wallClock(const QDateTime &t)
{
    return Schema::toStorage(Schema::ColumnKind::DateTime, t).toString();
}

QDateTime fromWallClock(const QString &text)
{
    return Schema::fromStorage(Schema::ColumnKind::DateTime, text).toDateTime();
}

} // namespace

QString TillFile::pathFor(const ShopConfig &server)
{
    return QDir(server.directory).absoluteFilePath(QStringLiteral("tarvel-till%1.db").arg(server.till));
}

TillFile::TillFile(const QString &path) : m_path(path)
{
    const QByteArray name = QDir::toNativeSeparators(path).toUtf8();
    if (sqlite3_open_v2(name.constData(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        m_problem = QStringLiteral("本机文件 %1 打不开：%2")
                        .arg(QDir::toNativeSeparators(path), QString::fromUtf8(sqlite3_errmsg(m_db)));
        return;
    }
    // The refresh of the copy writes from another connection meanwhile.
    sqlite3_busy_timeout(m_db, 5000);
    QString problem = exec("PRAGMA journal_mode=WAL");
    if (problem.isEmpty())
        problem = exec("PRAGMA synchronous=FULL");
    if (problem.isEmpty())
        problem = exec(Tables);
    if (problem.isEmpty() && exec("SELECT 1 FROM sqlite_sequence LIMIT 0").isEmpty())
        problem = exec(CounterTakenOver);
    if (!problem.isEmpty())
        m_problem = QStringLiteral("本机文件 %1 不能使用：%2").arg(QDir::toNativeSeparators(path), problem);
}

TillFile::~TillFile()
{
    for (const auto &[sql, stmt] : m_kept)
        sqlite3_finalize(stmt);
    sqlite3_close(m_db);
}

sqlite3_stmt *TillFile::kept(const char *sql) const
{
    const auto it = m_kept.find(sql);
    if (it != m_kept.end())
        return it->second;
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(m_db, sql, -1, &stmt, nullptr) != SQLITE_OK)
        return nullptr;
    m_kept.emplace(sql, stmt);
    return stmt;
}

QString TillFile::exec(const char *sql) const
{
    char *message = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &message) == SQLITE_OK)
        return QString();
    const QString problem = QString::fromUtf8(message ? message : sqlite3_errmsg(m_db));
    sqlite3_free(message);
    return problem;
}

QString TillFile::text(const char *key, bool *found) const
{
    Statement q(m_db, kept("SELECT value FROM texts WHERE key = ?"));
    q.bind(QString::fromLatin1(key));
    const bool there = q.step() == SQLITE_ROW;
    if (found)
        *found = there;
    return there ? q.text(0) : QString();
}

QString TillFile::replaceCopy(const Copy &copy)
{
    FileTransaction tx(m_db);
    if (!tx.active())
        return QString::fromUtf8(sqlite3_errmsg(m_db));
    if (const QString problem = exec("DELETE FROM goods; DELETE FROM picks; DELETE FROM texts"); !problem.isEmpty())
        return problem;
    {
        for (const Goods &g : copy.goods) {
            Statement row(m_db, kept("INSERT OR IGNORE INTO goods VALUES (?, ?, ?, ?, ?)"));
            if (!row.bind(g.code).bind(g.name).bind(g.purchaseRows).bind(g.purchased).bind(g.price.units()).run())
                return row.error();
        }
    }
    for (int i = 0; i < copy.picks.size(); ++i) {
        Statement row(m_db, kept("INSERT INTO picks VALUES (?, ?)"));
        if (!row.bind(i).bind(copy.picks[i]).run())
            return row.error();
    }
    QList<std::pair<QString, QString>> texts = {
        {QStringLiteral("header"), copy.header},
        {QStringLiteral("footer"), copy.footer.join(u'\n')},
        {QStringLiteral("copied"), QDateTime::currentDateTime().toString(Qt::ISODateWithMs)}};
    if (copy.hasPassword)
        texts.append({QStringLiteral("password"), copy.password});
    for (const auto &[key, value] : texts) {
        Statement row(m_db, kept("INSERT INTO texts VALUES (?, ?)"));
        if (!row.bind(key).bind(value).run())
            return row.error();
    }
    return tx.commit() ? QString() : QString::fromUtf8(sqlite3_errmsg(m_db));
}

QDateTime TillFile::copiedAt() const
{
    return QDateTime::fromString(text("copied"), Qt::ISODateWithMs);
}

Result<GoodsCatalogue::Lookup> TillFile::lookup(const QString &code) const
{
    using L = GoodsCatalogue::Lookup;
    L found;
    if (!copiedAt().isValid())
        return Error{QStringLiteral("本机还没有商品资料的副本（这台收银机启动后从未连上服务器）。")};
    Statement any(m_db, kept("SELECT EXISTS (SELECT 1 FROM goods)"));
    if (any.step() != SQLITE_ROW)
        return Error{any.error()};
    if (any.integer(0) == 0) {
        found.outcome = L::NoCatalogue;
        return found;
    }
    if (code.isEmpty()) {
        found.outcome = L::NoCode;
        return found;
    }
    Statement q(m_db, kept("SELECT name, purchase_rows, purchased, price FROM goods WHERE code = ?"));
    q.bind(code);
    const int step = q.step();
    if (step == SQLITE_DONE) {
        found.outcome = L::UnknownCode;
        return found;
    }
    if (step != SQLITE_ROW)
        return Error{q.error()};
    found.named = true;
    found.name = q.text(0);
    found.purchases.rows = q.integer(1);
    found.purchases.totalQuantity = q.integer(2);
    found.purchases.lastPrice = Money::fromUnits(q.integer(3));
    found.outcome = found.purchases.rows == 0 ? L::NotPurchased : L::Found;
    return found;
}

QString TillFile::header() const
{
    return text("header");
}

QStringList TillFile::footer() const
{
    const QString footer = text("footer");
    return footer.isEmpty() ? QStringList() : footer.split(u'\n');
}

std::optional<QString> TillFile::password() const
{
    bool found = false;
    const QString value = text("password", &found);
    return found ? std::optional<QString>(value) : std::nullopt;
}

Result<qint64> TillFile::keep(const QList<TicketLine> &lines, const QUuid &token, const Payment &payment,
                              const QDateTime &sold)
{
    FileTransaction tx(m_db);
    if (!tx.active())
        return Error{QString::fromUtf8(sqlite3_errmsg(m_db))};
    // Provisional numbers go on from the highest ever kept.
    qint64 provisional = 1;
    {
        Statement last(m_db, kept("SELECT MAX(COALESCE((SELECT MAX(seq) FROM waiting), 0), "
                                  "COALESCE((SELECT last FROM sent_up_to), 0))"));
        if (last.step() != SQLITE_ROW)
            return Error{last.error()};
        provisional = last.integer(0) + 1;
    }
    Statement ticket(m_db, kept("INSERT INTO waiting (seq, token, provisional, method, paid, change, sold) "
                                "VALUES (?, ?, ?, ?, ?, ?, ?)"));
    if (!ticket.bind(provisional)
             .bind(token.toString(QUuid::WithoutBraces))
             .bind(provisional)
             .bind(paymentMethodName(payment.method))
             .bind(payment.paid.units())
             .bind(payment.change.units())
             .bind(wallClock(sold))
             .run())
        return Error{ticket.error()};
    if (!payment.member.isEmpty()) {
        Statement member(m_db, kept("INSERT INTO waiting_members VALUES (?, ?)"));
        if (!member.bind(provisional).bind(payment.member).run())
            return Error{member.error()};
    }
    if (!payment.cashier.isEmpty()) {
        Statement cashier(m_db, kept("INSERT INTO waiting_cashiers VALUES (?, ?)"));
        if (!cashier.bind(provisional).bind(payment.cashier).run())
            return Error{cashier.error()};
    }
    for (int i = 0; i < lines.size(); ++i) {
        const TicketLine &l = lines[i];
        Statement line(m_db, kept("INSERT INTO waiting_lines VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        if (!line.bind(provisional)
                 .bind(i)
                 .bind(l.code)
                 .bind(l.name)
                 .bind(l.quantity)
                 .bind(l.listPrice.units())
                 .bind(l.price.units())
                 .bind(l.amount.units())
                 .bind(wallClock(l.time))
                 .run())
            return Error{line.error()};
    }
    if (!tx.commit())
        return Error{QString::fromUtf8(sqlite3_errmsg(m_db))};
    return provisional;
}

qint64 TillFile::waitingCount() const
{
    Statement q(m_db, kept("SELECT COUNT(*) FROM waiting"));
    return q.step() == SQLITE_ROW ? q.integer(0) : 0;
}

Result<QList<TillFile::Waiting>> TillFile::oldestWaiting(int most) const
{
    QList<Waiting> all;
    {
        Statement q(m_db, kept("SELECT seq, provisional, token, method, paid, change, sold FROM waiting "
                               "ORDER BY seq LIMIT ?"));
        q.bind(most);
        int step;
        while ((step = q.step()) == SQLITE_ROW) {
            Waiting w;
            w.seq = q.integer(0);
            w.provisional = q.integer(1);
            w.token = QUuid::fromString(q.text(2));
            w.payment.method = paymentMethodNamed(q.text(3)).value_or(PaymentMethod::Cash);
            w.payment.paid = Money::fromUnits(q.integer(4));
            w.payment.change = Money::fromUnits(q.integer(5));
            w.sold = fromWallClock(q.text(6));
            all.append(w);
        }
        if (step != SQLITE_DONE)
            return Error{q.error()};
    }
    for (Waiting &w : all) {
        Statement member(m_db, kept("SELECT card FROM waiting_members WHERE seq = ?"));
        member.bind(w.seq);
        if (member.step() == SQLITE_ROW)
            w.payment.member = member.text(0);
        Statement cashier(m_db, kept("SELECT gonghao FROM waiting_cashiers WHERE seq = ?"));
        cashier.bind(w.seq);
        if (cashier.step() == SQLITE_ROW)
            w.payment.cashier = cashier.text(0);
        Statement lines(m_db, kept("SELECT code, name, quantity, list_price, price, amount, time FROM waiting_lines "
                                   "WHERE seq = ? ORDER BY pos"));
        lines.bind(w.seq);
        int row;
        while ((row = lines.step()) == SQLITE_ROW) {
            TicketLine l;
            l.code = lines.text(0);
            l.name = lines.text(1);
            l.quantity = qint32(lines.integer(2));
            l.listPrice = Money::fromUnits(lines.integer(3));
            l.price = Money::fromUnits(lines.integer(4));
            l.amount = Money::fromUnits(lines.integer(5));
            l.time = fromWallClock(lines.text(6));
            w.lines.append(l);
        }
        if (row != SQLITE_DONE)
            return Error{lines.error()};
    }
    return all;
}

QString TillFile::sent(const QList<qint64> &seqs)
{
    // A removal lost to a power cut costs nothing: the ticket is sent again
    // and found on the server by its token. It need not wait for the disk.
    exec("PRAGMA synchronous=NORMAL");
    const auto durable = qScopeGuard([this] { exec("PRAGMA synchronous=FULL"); });
    FileTransaction tx(m_db);
    if (!tx.active())
        return QString::fromUtf8(sqlite3_errmsg(m_db));
    for (const qint64 seq : seqs) {
        Statement lines(m_db, kept("DELETE FROM waiting_lines WHERE seq = ?"));
        Statement ticket(m_db, kept("DELETE FROM waiting WHERE seq = ?"));
        Statement member(m_db, kept("DELETE FROM waiting_members WHERE seq = ?"));
        Statement cashier(m_db, kept("DELETE FROM waiting_cashiers WHERE seq = ?"));
        if (!lines.bind(seq).run())
            return lines.error();
        if (!member.bind(seq).run())
            return member.error();
        if (!cashier.bind(seq).run())
            return cashier.error();
        if (!ticket.bind(seq).run())
            return ticket.error();
    }
    Statement upTo(m_db, kept("INSERT INTO sent_up_to VALUES (1, ?) ON CONFLICT (id) DO UPDATE "
                              "SET last = MAX(last, excluded.last)"));
    if (!seqs.isEmpty() && !upTo.bind(*std::max_element(seqs.begin(), seqs.end())).run())
        return upTo.error();
    return tx.commit() ? QString() : QString::fromUtf8(sqlite3_errmsg(m_db));
}

QString TillFile::provisionalText(int till, qint64 provisional)
{
    return QStringLiteral("离线 %1-%2").arg(till).arg(provisional, 4, 10, QChar(u'0'));
}
