#include "shop/serverfacts.h"

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
// need no more than the row lock of each code they touch. %1 is the changed
// rows, as (code, quantity, amount).
const char *SalesTrigger = R"(
CREATE OR REPLACE FUNCTION huizong_sales_changed() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  IF TG_OP = 'TRUNCATE' THEN
    UPDATE huizong SET xiaoshou_shuliang = 0, xiaoshou_jine = 0
      WHERE xiaoshou_shuliang <> 0 OR xiaoshou_jine <> 0;
  ELSIF TG_OP = 'INSERT' THEN
    %1
  ELSIF TG_OP = 'DELETE' THEN
    %2
  ELSE
    %3
  END IF;
  RETURN NULL;
END $$)";

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
        .arg(add.arg(added), add.arg(gone), add.arg(added + QStringLiteral(" UNION ALL ") + gone));
}

QStringList buildStatements()
{
    QStringList all = {
        QStringLiteral("CREATE TABLE huizong (code text PRIMARY KEY, name text, jinhuo_first bigint, "
                       "jinhuo_last bigint, jinjia bigint, changjia text, "
                       "jinhuo_shuliang bigint NOT NULL DEFAULT 0, xiaoshou_shuliang bigint NOT NULL DEFAULT 0, "
                       "xiaoshou_jine numeric NOT NULL DEFAULT 0)"),
        // Filled in passes over whole tables, not code by code.
        QStringLiteral("INSERT INTO huizong (code, xiaoshou_shuliang, xiaoshou_jine) "
                       "SELECT code, COALESCE(SUM(shuliang), 0), COALESCE(SUM(jine), 0) FROM xiaoshou "
                       "WHERE code IS NOT NULL GROUP BY code"),
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
        QString::fromLatin1(GoodsFunction),
        QString::fromLatin1(GoodsTrigger),
        salesTrigger(),
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

bool missing(QSqlQuery &q, QString *error)
{
    if (!q.exec(QStringLiteral("SELECT to_regclass('huizong') IS NULL")) || !q.next()) {
        *error = q.lastError().text();
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
            return q.lastError().text();
    return QString();
}

QString ServerFacts::ensure(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    QString error;
    if (!missing(q, &error))
        return error;
    // The tables are locked as the tills lock them for a checkout; a second
    // program that waited here finds the table made and leaves it.
    Transaction tx(db);
    if (!tx.isActive())
        return tx.lastError();
    if (!q.exec(QStringLiteral("LOCK TABLE name, jinhuo, xiaoshou IN SHARE ROW EXCLUSIVE MODE")))
        return q.lastError().text();
    if (!missing(q, &error))
        return error;
    if (const QString failed = build(db); !failed.isEmpty())
        return failed;
    if (!tx.commit())
        return tx.lastError();
    q.exec(QStringLiteral("ANALYZE huizong")); // the planner's figures; a failure loses nothing
    return QString();
}

bool ServerFacts::coverAllCodes(const QSqlDatabase &db, QString *error)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT NOT EXISTS (SELECT 1 FROM jinhuo WHERE code IS NULL) "
                               "AND NOT EXISTS (SELECT 1 FROM xiaoshou WHERE code IS NULL)")) ||
        !q.next()) {
        *error = q.lastError().text();
        return false;
    }
    return q.value(0).toBool();
}
