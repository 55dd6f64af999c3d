#include "database.h"
#include "testshop.h"

#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTest>

class TestDatabase : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void newFileHasTablesSettingsAndOwnerOnlyPermissions()
    {
        TestShop shop;
        Database &db = shop.create();
        QSqlQuery q(db.connection());
        QVERIFY(q.exec(QStringLiteral("SELECT id, code, content FROM code ORDER BY id")));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 1);
        QCOMPARE(q.value(1).toString(), Database::defaultPassword());
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 20000);
        QCOMPARE(q.value(2).toString(), Database::defaultHeader());
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 20001);
        const auto perms = QFile::permissions(shop.path());
        QVERIFY(perms & QFileDevice::ReadOwner);
        QVERIFY(!(perms & (QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteOther)));
        q.exec(QStringLiteral("PRAGMA journal_mode"));
        q.next();
        QCOMPARE(q.value(0).toString(), QStringLiteral("wal"));
    }

    void createRefusesToOverwrite()
    {
        TestShop shop;
        QFile f(shop.path());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("keep me");
        f.close();
        const Database::Result r = Database::create(shop.path());
        QVERIFY(!r.database);
        QFile g(shop.path());
        QVERIFY(g.open(QIODevice::ReadOnly));
        QCOMPARE(g.readAll(), QByteArray("keep me"));
    }

    void faultyFilesAreReportedAndLeftAlone_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("reason");
        QTest::newRow("text file") << QByteArray("this is not a database\n") << QStringLiteral("不是 Tarvel 数据库");
        QTest::newRow("empty file") << QByteArray() << QStringLiteral("不是 Tarvel 数据库");
        QTest::newRow("truncated") << QByteArray("truncate") << QString();
        QTest::newRow("missing tables") << QByteArray("other") << QStringLiteral("缺少表");
    }

    void faultyFilesAreReportedAndLeftAlone()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);
        TestShop shop;
        if (content == "truncate" || content == "other") {
            {
                TestShop source;
                Database &db = source.create();
                for (int i = 0; i < 2000; ++i)
                    source.addGoods(QStringLiteral("C%1").arg(i), QStringLiteral("goods name %1").arg(i));
                QSqlQuery q(db.connection());
                q.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
                if (content == "other")
                    q.exec(QStringLiteral("DROP TABLE kuaijie")),
                        q.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
                source.take().reset();
                QFile f(source.path());
                QVERIFY(f.open(QIODevice::ReadOnly));
                content = f.readAll();
            }
            if (content.size() > 4096 * 3 && reason.isEmpty())
                content.truncate(content.size() / 2);
        }
        QFile f(shop.path());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
        f.close();

        const Database::Result r = Database::open(shop.path());
        QVERIFY(!r.database);
        QCOMPARE(r.status, Database::Status::Unusable);
        QVERIFY2(r.message.contains(shop.path()), qPrintable(r.message));
        if (!reason.isEmpty())
            QVERIFY2(r.message.contains(reason), qPrintable(r.message));
        QFile g(shop.path());
        QVERIFY(g.open(QIODevice::ReadOnly));
        QCOMPARE(g.readAll(), content);
    }

    void missingFileIsNotCreated()
    {
        TestShop shop;
        const Database::Result r = Database::open(shop.path());
        QCOMPARE(r.status, Database::Status::Missing);
        QVERIFY(r.message.contains(shop.path()));
        QVERIFY(!QFile::exists(shop.path()));
    }

    void directoryInsteadOfFile()
    {
        TestShop shop;
        QVERIFY(QDir(shop.dir()).mkdir(QString::fromLatin1(Database::FileName)));
        const Database::Result r = Database::open(shop.path());
        QCOMPARE(r.status, Database::Status::Unusable);
    }

    void secondInstanceIsRefused()
    {
        TestShop shop;
        shop.create();
        const Database::Result second = Database::open(shop.path());
        QCOMPARE(second.status, Database::Status::AlreadyRunning);
        QVERIFY(second.message.contains(QStringLiteral("已经在运行")));
        // Once the first lets go, the file opens again.
        shop.take().reset();
        const Database::Result third = Database::open(shop.path());
        QCOMPARE(third.status, Database::Status::Ok);
    }
};

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
