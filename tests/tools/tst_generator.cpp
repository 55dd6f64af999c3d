#include "shop/database.h"
#include "shop/salesstore.h"
#include "shopgenerator.h"

#include <QCryptographicHash>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

// The shop generator: the scale asked for, the same file for the same seed,
// and a file the program opens and sells on.
class TestGenerator : public QObject
{
    Q_OBJECT

    // A fingerprint of every row of every table, in stored order.
    static QByteArray fingerprint(const QString &path)
    {
        Database::Result opened = Database::open(path);
        if (!opened.database)
            return {};
        QCryptographicHash hash(QCryptographicHash::Sha256);
        QSqlQuery q(opened.database->shop().connection());
        for (const char *table : {"name", "kuaijie", "jinhuo", "xiaoshou", "code"}) {
            q.exec(QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(QString::fromLatin1(table)));
            while (q.next())
                for (int c = 0; c < q.record().count(); ++c)
                    hash.addData(q.value(c).toString().toUtf8() + '|');
        }
        return hash.result();
    }

private Q_SLOTS:
    void smallShop()
    {
        QTemporaryDir dir;
        const QString a = dir.filePath(QStringLiteral("a.db")), b = dir.filePath(QStringLiteral("b.db")),
                      c = dir.filePath(QStringLiteral("c.db"));
        QCOMPARE(ShopGenerator::generate(a, ShopGenerator::small(), 7), QString());
        QCOMPARE(ShopGenerator::generate(b, ShopGenerator::small(), 7), QString());
        QCOMPARE(ShopGenerator::generate(c, ShopGenerator::small(), 8), QString());
        QCOMPARE(fingerprint(a), fingerprint(b));
        QVERIFY(fingerprint(a) != fingerprint(c));
        // Refuses to overwrite.
        QVERIFY(!ShopGenerator::generate(a, ShopGenerator::small(), 7).isEmpty());

        Database::Result opened = Database::open(a);
        QVERIFY2(opened.database, qPrintable(opened.message));
        QSqlQuery q(opened.database->shop().connection());
        auto one = [&q](const char *sql) {
            return q.exec(QString::fromLatin1(sql)) && q.next() ? q.value(0).toLongLong() : -1;
        };
        QCOMPARE(one("SELECT COUNT(*) FROM name"), 200);
        QCOMPARE(one("SELECT COUNT(DISTINCT code) FROM name"), 200);
        QCOMPARE(one("SELECT COUNT(*) FROM jinhuo"), 500);
        QCOMPARE(one("SELECT COUNT(*) FROM xiaoshou"), 2000);
        QCOMPARE(one("SELECT COUNT(*) - COUNT(DISTINCT id) FROM xiaoshou"), 0);
        QCOMPARE(one("SELECT MAX(id) FROM jinhuo"), 500);
        // Every sale is of goods in the catalogue, at its amount.
        QCOMPARE(one("SELECT COUNT(*) FROM xiaoshou WHERE code NOT IN (SELECT code FROM name)"), 0);
        QCOMPARE(one("SELECT COUNT(*) FROM xiaoshou WHERE jine != shoujia * shuliang"), 0);
        // Times only go forward, and within the opening hours.
        QCOMPARE(one("SELECT COUNT(*) FROM xiaoshou a JOIN xiaoshou b ON b.rowid = a.rowid + 1 WHERE b.dt < a.dt"), 0);
        QCOMPARE(one("SELECT COUNT(*) FROM xiaoshou WHERE substr(dt, 12, 2) < '08' OR substr(dt, 12, 2) > '21'"), 0);
        QCOMPARE(SalesStore(opened.database->shop()).nextTicketNumber().valueOr(-1),
                 one("SELECT MAX(danjuhao) FROM xiaoshou") + 1);
    }
};

QTEST_GUILESS_MAIN(TestGenerator)
#include "tst_generator.moc"
