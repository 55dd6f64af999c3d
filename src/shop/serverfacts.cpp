#include "shop/serverfacts.h"

#include "shop/engine.h"
#include "shop/transaction.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {

// Recomputes the catalogue and purchase facts of some codes from the rows.
// The codes' kept rows are locked first, in code order (two writers never
// wait on each other in a circle); the facts are read by the next statement,
// whose snapshot then holds every write committed before the lock was given.
const char *GoodsFunction = R"(
CREATE OR REPLACE FUNCTION huizong_goods(codes text[]) RETURNS void LANGUAGE plpgsql AS $$
BEGIN
  INSERT INTO huizong (code) SELECT DISTINCT c FROM unnest(codes) AS u(c) WHERE c IS NOT NULL ORDER BY 1
    ON CONFLICT (code) DO NOTHING;
  PERFORM 1 FROM huizong WHERE code = ANY (codes) ORDER BY code FOR UPDATE;
  UPDATE huizong h SET
    name = (SELECT n.name FROM name n WHERE n.code = h.code ORDER BY n.rowid LIMIT 1),
    jinhuo_first = p.first, jinhuo_last = p.last,
    jinjia = (SELECT l.jinjia FROM jinhuo l WHERE l.rowid = p.last),
    changjia = (SELECT l.changjia FROM jinhuo l WHERE l.rowid = p.last),
    jinhuo_shuliang = COALESCE(p.quantity, 0)
  FROM (SELECT DISTINCT c FROM unnest(codes) AS u(c)) AS c
  CROSS JOIN LATERAL (SELECT MIN(j.rowid) AS first, MAX(j.rowid) AS last, SUM(j.shuliang) AS quantity
                      FROM jinhuo j WHERE j.code = c.c) AS p
  WHERE h.code = c.c;
END $$)";

const char *GoodsTrigger = R"(
CREATE OR REPLACE FUNCTION huizong_goods_changed() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  -- Connections that keep names and prices read them again after the commit.
  PERFORM pg_notify('huizong_goods', '');
  IF TG_OP = 'TRUNCATE' THEN
    IF TG_TABLE_NAME = 'name' THEN
      UPDATE huizong SET name = NULL WHERE name IS NOT NULL;
    ELSE
      UPDATE huizong SET jinhuo_first = NULL, jinhuo_last = NULL, jinjia = NULL, changjia = NULL,
                         jinhuo_shuliang = 0 WHERE jinhuo_first IS NOT NULL;
    END IF;
  ELSIF TG_OP = 'INSERT' THEN
    PERFORM huizong_goods(ARRAY(SELECT code FROM added));
  ELSIF TG_OP = 'DELETE' THEN
    PERFORM huizong_goods(ARRAY(SELECT code FROM gone));
  ELSE
    PERFORM huizong_goods(ARRAY(SELECT code FROM added UNION SELECT code FROM gone));
  END IF;
  RETURN NULL;
END $$)";

// Sales are added and taken away: the sums commute, so concurrent writers
// need no more than the row lock of each code they touch. %1-%3 add the
// changed rows to each code's totals, %4-%6 to the periods.
const char *SalesTrigger = R"(
CREATE OR REPLACE FUNCTION huizong_sales_changed() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  IF TG_OP = 'TRUNCATE' THEN
    UPDATE huizong SET xiaoshou_shuliang = 0, xiaoshou_jine = 0
      WHERE xiaoshou_shuliang <> 0 OR xiaoshou_jine <> 0;
    DELETE FROM huizong_yue;
    DELETE FROM huizong_nian;
  ELSIF TG_OP = 'INSERT' THEN
    %1
    %4
  ELSIF TG_OP = 'DELETE' THEN
    %2
    %5
  ELSE
    %3
    %6
  END IF;
  RETURN NULL;
END $$)";

QString periodsAdded();
QString periodsChanged(bool withAdded);

QString salesTrigger()
{
    const QString add = QStringLiteral(
        "INSERT INTO huizong AS h (code, xiaoshou_shuliang, xiaoshou_jine) "
        "SELECT code, SUM(quantity), SUM(amount) FROM (%1) AS x WHERE code IS NOT NULL GROUP BY code ORDER BY code "
        "ON CONFLICT (code) DO UPDATE SET xiaoshou_shuliang = h.xiaoshou_shuliang + EXCLUDED.xiaoshou_shuliang, "
        "xiaoshou_jine = h.xiaoshou_jine + EXCLUDED.xiaoshou_jine;");
    const QString added = QStringLiteral(
        "SELECT code, COALESCE(shuliang, 0)::bigint AS quantity, COALESCE(jine, 0)::numeric AS amount FROM added");
    const QString gone = QStringLiteral(
        "SELECT code, -COALESCE(shuliang, 0)::bigint AS quantity, -COALESCE(jine, 0)::numeric AS amount FROM gone");
    return QString::fromLatin1(SalesTrigger)
        .arg(add.arg(added), add.arg(gone), add.arg(added + QStringLiteral(" UNION ALL ") + gone), periodsAdded(),
             periodsChanged(false), periodsChanged(true));
}

// The sales of each code per month (huizong_yue) and per year
// (huizong_nian), with the first line's rowid: a range of whole months reads
// these instead of its lines. New lines are added. A change or delete of a
// few lines takes them away and adds them again, and where the first line of
// a code's period went, finds it again among the code's lines; one of many
// lines (a cleanup) counts the periods it touched again from their lines.
// Either way the lines are locked against writes meanwhile.
struct Period
{
    const char *table, *column, *unit;
};
constexpr Period Periods[] = {{"huizong_yue", "yue", "month"}, {"huizong_nian", "nian", "year"}};

QString periodsAdded()
{
    QString all;
    for (const Period &p : Periods)
        all += QStringLiteral(
                   "INSERT INTO %1 AS b (%2, code, shuliang, jine, shou) "
                   "SELECT date_trunc('%3', dt)::date, code, SUM(COALESCE(shuliang, 0)), SUM(COALESCE(jine, 0)), "
                   "MIN(rowid) FROM added WHERE code IS NOT NULL AND dt IS NOT NULL GROUP BY 1, 2 ORDER BY 1, 2 "
                   "ON CONFLICT (%2, code) DO UPDATE SET shuliang = b.shuliang + EXCLUDED.shuliang, "
                   "jine = b.jine + EXCLUDED.jine, shou = LEAST(b.shou, EXCLUDED.shou);\n")
                   .arg(QLatin1String(p.table), QLatin1String(p.column), QLatin1String(p.unit));
    return all;
}

// One period's rows in the order of their first line, with what the
// analysis reads of them: the index alone answers a month or a year, however
// the rows lie in the table.
QString periodIndex(const Period &p)
{
    return QStringLiteral("CREATE INDEX IF NOT EXISTS %1_shou ON %1 (%2, shou) INCLUDE (code, shuliang, jine)")
        .arg(QLatin1String(p.table), QLatin1String(p.column));
}

QString periodsFilled(const Period &p, const QString &periods)
{
    return QStringLiteral("INSERT INTO %1 (%2, code, shuliang, jine, shou) "
                          "SELECT m.start, x.code, SUM(COALESCE(x.shuliang, 0)), SUM(COALESCE(x.jine, 0)), "
                          "MIN(x.rowid) FROM (%4) AS m "
                          "JOIN xiaoshou x ON x.dt >= m.start AND x.dt < m.start + interval '1 %3' "
                          "WHERE x.code IS NOT NULL GROUP BY m.start, x.code")
        .arg(QLatin1String(p.table), QLatin1String(p.column), QLatin1String(p.unit), periods);
}

QString periodsRebuilt(const QString &moments)
{
    QString all;
    for (const Period &p : Periods) {
        const QString periods = QStringLiteral("SELECT DISTINCT date_trunc('%1', dt)::date AS start FROM (%2) AS t "
                                               "WHERE dt IS NOT NULL")
                                    .arg(QLatin1String(p.unit), moments);
        all += QStringLiteral("DELETE FROM %1 WHERE %2 IN (SELECT start FROM (%3) AS m);\n")
                   .arg(QLatin1String(p.table), QLatin1String(p.column), periods) +
               periodsFilled(p, periods) + QStringLiteral(";\n");
    }
    return all;
}

QString periodsChanged(bool withAdded)
{
    QString few;
    for (const Period &p : Periods) {
        const QString table = QLatin1String(p.table), column = QLatin1String(p.column), unit = QLatin1String(p.unit);
        const QString rows =
            (withAdded ? QStringLiteral("SELECT dt, code, COALESCE(shuliang, 0)::bigint AS q, "
                                        "COALESCE(jine, 0)::numeric AS a, rowid AS f FROM added UNION ALL ")
                       : QString()) +
            QStringLiteral("SELECT dt, code, -COALESCE(shuliang, 0)::bigint AS q, -COALESCE(jine, 0)::numeric AS a, "
                           "NULL::bigint AS f FROM gone");
        const QString touched = QStringLiteral("SELECT date_trunc('%1', dt)::date, code FROM gone "
                                               "WHERE code IS NOT NULL AND dt IS NOT NULL")
                                    .arg(unit);
        few +=
            QStringLiteral("INSERT INTO %1 AS b (%2, code, shuliang, jine, shou) "
                           "SELECT date_trunc('%3', dt)::date, code, SUM(q), SUM(a), MIN(f) FROM (%4) AS x "
                           "WHERE code IS NOT NULL AND dt IS NOT NULL GROUP BY 1, 2 ORDER BY 1, 2 "
                           "ON CONFLICT (%2, code) DO UPDATE SET shuliang = b.shuliang + EXCLUDED.shuliang, "
                           "jine = b.jine + EXCLUDED.jine, shou = LEAST(b.shou, EXCLUDED.shou);\n"
                           "UPDATE %1 b SET shou = (SELECT MIN(x.rowid) FROM xiaoshou x WHERE x.code = b.code "
                           "AND x.dt >= b.%2 AND x.dt < b.%2 + interval '1 %3') "
                           "WHERE (b.%2, b.code) IN (%5) AND (b.shou IS NULL OR b.shou IN (SELECT rowid FROM gone));\n"
                           "DELETE FROM %1 b WHERE (b.%2, b.code) IN (%5) AND b.shou IS NULL;\n")
                .arg(table, column, unit, rows, touched);
    }
    const QString moments = withAdded ? QStringLiteral("SELECT dt FROM gone UNION SELECT dt FROM added")
                                      : QStringLiteral("SELECT dt FROM gone");
    return QStringLiteral("LOCK TABLE xiaoshou IN SHARE ROW EXCLUSIVE MODE;\n"
                          "IF (SELECT count(*) FROM gone) > 1000 THEN\n%1ELSE\n%2END IF;")
        .arg(periodsRebuilt(moments), few);
}

QStringList buildStatements()
{
    QStringList all = {
        // Anything left of an earlier build goes: the whole is made again,
        // without a notice for what was not there.
        QStringLiteral("SET LOCAL client_min_messages = warning"),
        QStringLiteral("DROP TABLE IF EXISTS huizong, huizong_yue, huizong_nian"),
        QStringLiteral("CREATE TABLE huizong (code text PRIMARY KEY, name text, jinhuo_first bigint, "
                       "jinhuo_last bigint, jinjia bigint, changjia text, "
                       "jinhuo_shuliang bigint NOT NULL DEFAULT 0, xiaoshou_shuliang bigint NOT NULL DEFAULT 0, "
                       "xiaoshou_jine numeric NOT NULL DEFAULT 0)"),
        // Filled in passes over whole tables, not code by code.
        QStringLiteral("INSERT INTO huizong (code, xiaoshou_shuliang, xiaoshou_jine) "
                       "SELECT code, COALESCE(SUM(shuliang), 0), COALESCE(SUM(jine), 0) FROM xiaoshou "
                       "WHERE code IS NOT NULL GROUP BY code"),
        QStringLiteral("CREATE TABLE huizong_yue (yue date, code text, shuliang bigint NOT NULL, "
                       "jine numeric NOT NULL, shou bigint, PRIMARY KEY (yue, code))"),
        QStringLiteral("CREATE TABLE huizong_nian (nian date, code text, shuliang bigint NOT NULL, "
                       "jine numeric NOT NULL, shou bigint, PRIMARY KEY (nian, code))"),
        QStringLiteral("INSERT INTO huizong (code) SELECT code FROM jinhuo WHERE code IS NOT NULL "
                       "UNION SELECT code FROM name WHERE code IS NOT NULL ON CONFLICT (code) DO NOTHING"),
        QStringLiteral("UPDATE huizong h SET jinhuo_first = p.first, jinhuo_last = p.last, "
                       "jinhuo_shuliang = p.quantity, jinjia = l.jinjia, changjia = l.changjia "
                       "FROM (SELECT code, MIN(rowid) AS first, MAX(rowid) AS last, "
                       "      COALESCE(SUM(shuliang), 0) AS quantity FROM jinhuo GROUP BY code) AS p "
                       "JOIN jinhuo l ON l.rowid = p.last WHERE h.code = p.code"),
        QStringLiteral("UPDATE huizong h SET name = n.name "
                       "FROM (SELECT DISTINCT ON (code) code, name FROM name ORDER BY code, rowid) AS n "
                       "WHERE h.code = n.code"),
        periodsFilled(Periods[0], QStringLiteral("SELECT DISTINCT date_trunc('month', dt)::date AS start "
                                                 "FROM xiaoshou WHERE dt IS NOT NULL")),
        periodsFilled(Periods[1], QStringLiteral("SELECT DISTINCT date_trunc('year', dt)::date AS start "
                                                 "FROM xiaoshou WHERE dt IS NOT NULL")),
        periodIndex(Periods[0]),
        periodIndex(Periods[1]),
        QString::fromLatin1(GoodsFunction),
        QString::fromLatin1(GoodsTrigger),
        salesTrigger(),
        // Kept names and prices of other connections are read again.
        QStringLiteral("NOTIFY huizong_goods"),
    };
    for (const char *table : {"name", "jinhuo", "xiaoshou"}) {
        const QString function = QLatin1String(table) == QLatin1String("xiaoshou")
                                     ? QStringLiteral("huizong_sales_changed")
                                     : QStringLiteral("huizong_goods_changed");
        const QString on = QLatin1String(table);
        all += {
            QStringLiteral("CREATE OR REPLACE TRIGGER huizong_added AFTER INSERT ON %1 REFERENCING NEW TABLE AS added "
                           "FOR EACH STATEMENT EXECUTE FUNCTION %2()")
                .arg(on, function),
            QStringLiteral("CREATE OR REPLACE TRIGGER huizong_changed AFTER UPDATE ON %1 "
                           "REFERENCING OLD TABLE AS gone NEW TABLE AS added FOR EACH STATEMENT EXECUTE FUNCTION %2()")
                .arg(on, function),
            QStringLiteral("CREATE OR REPLACE TRIGGER huizong_gone AFTER DELETE ON %1 REFERENCING OLD TABLE AS gone "
                           "FOR EACH STATEMENT EXECUTE FUNCTION %2()")
                .arg(on, function),
            QStringLiteral("CREATE OR REPLACE TRIGGER huizong_emptied AFTER TRUNCATE ON %1 FOR EACH STATEMENT "
                           "EXECUTE FUNCTION %2()")
                .arg(on, function),
        };
    }
    return all;
}

// A table missing, or a trigger dropped or disabled by another tool (the
// kept rows may then have missed writes): the whole is built again.
bool missing(QSqlQuery &q, QString *error)
{
    if (!q.exec(QStringLiteral("SELECT to_regclass('huizong') IS NULL OR to_regclass('huizong_yue') IS NULL OR "
                               "to_regclass('huizong_nian') IS NULL OR "
                               "(SELECT count(*) FROM pg_trigger WHERE tgname LIKE 'huizong\\_%' AND tgenabled <> 'D' "
                               "AND tgrelid IN (to_regclass('name'), to_regclass('jinhuo'), "
                               "to_regclass('xiaoshou'))) < 12")) ||
        !q.next()) {
        *error = problemText(q.lastError());
        return false;
    }
    return q.value(0).toBool();
}

} // namespace

QString ServerFacts::build(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    for (const QString &statement : buildStatements())
        if (!q.exec(statement))
            return problemText(q.lastError());
    return QString();
}

// Kept facts of an older version lack the indexes of their periods and the
// notification of changed goods: they are added under the lock that every
// writer of the three tables waits for, and a second program that waited
// finds them made.
QString addLaterParts(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    auto lacking = [&q](bool *lacks) {
        if (!q.exec(QStringLiteral("SELECT to_regclass('huizong_yue_shou') IS NULL OR "
                                   "to_regclass('huizong_nian_shou') IS NULL OR NOT EXISTS (SELECT 1 FROM pg_proc "
                                   "WHERE proname = 'huizong_goods_changed' AND prosrc LIKE '%pg_notify%')")) ||
            !q.next())
            return false;
        *lacks = q.value(0).toBool();
        return true;
    };
    bool lacks = false;
    if (!lacking(&lacks))
        return problemText(q.lastError());
    if (!lacks)
        return QString();
    {
        Transaction tx(Shop::of(db));
        if (!tx.isActive())
            return tx.lastError();
        if (!q.exec(QStringLiteral("SET LOCAL client_min_messages = warning")) ||
            !q.exec(QStringLiteral("LOCK TABLE name, jinhuo, xiaoshou IN SHARE ROW EXCLUSIVE MODE")) ||
            !lacking(&lacks))
            return problemText(q.lastError());
        if (!lacks)
            return QString();
        for (const Period &p : Periods)
            if (!q.exec(periodIndex(p)))
                return problemText(q.lastError());
        if (!q.exec(QString::fromLatin1(GoodsTrigger)) || !q.exec(QStringLiteral("NOTIFY huizong_goods")))
            return problemText(q.lastError());
        if (!tx.commit())
            return tx.lastError();
    }
    // The visibility map, so that the indexes are read alone; a failure loses nothing.
    q.exec(QStringLiteral("VACUUM ANALYZE huizong_yue, huizong_nian"));
    return QString();
}

QString ServerFacts::ensure(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    QString error;
    if (!missing(q, &error))
        return error.isEmpty() ? addLaterParts(db) : error;
    // The tables are locked as the tills lock them for a checkout; a second
    // program that waited here finds the table made and leaves it.
    Transaction tx(Shop::of(db));
    if (!tx.isActive())
        return tx.lastError();
    if (!q.exec(QStringLiteral("LOCK TABLE name, jinhuo, xiaoshou IN SHARE ROW EXCLUSIVE MODE")))
        return problemText(q.lastError());
    if (!missing(q, &error))
        return error; // built meanwhile by another program, indexes and all
    if (const QString failed = build(db); !failed.isEmpty())
        return failed;
    if (!tx.commit())
        return tx.lastError();
    // The planner's figures, and the visibility map that lets the periods'
    // indexes be read alone; a failure loses nothing.
    q.exec(QStringLiteral("VACUUM ANALYZE huizong, huizong_yue, huizong_nian"));
    return QString();
}

bool ServerFacts::coverAllCodes(const QSqlDatabase &db, QString *error)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT NOT EXISTS (SELECT 1 FROM jinhuo WHERE code IS NULL) "
                               "AND NOT EXISTS (SELECT 1 FROM xiaoshou WHERE code IS NULL)")) ||
        !q.next()) {
        *error = problemText(q.lastError());
        return false;
    }
    return q.value(0).toBool();
}
