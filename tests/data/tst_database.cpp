#include "shop/database.h"
#include "shop/schema.h"
#include "shop/settings.h"
#include "testshop.h"

#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTest>

#include <unistd.h>

class TestDatabase : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Dates and times are written without Qt's format parser, in its exact form.
    void storedDateTextsAreQtsOwn_data()
    {
        QTest::addColumn<QDateTime>("moment");
        QTest::newRow("checkout") << QDateTime(QDate(2026, 12, 8), QTime(9, 5, 7));
        QTest::newRow("midnight") << QDateTime(QDate(2024, 2, 29), QTime(0, 0));
        QTest::newRow("last second") << QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59, 999));
        QTest::newRow("year one") << QDateTime(QDate(1, 1, 1), QTime(12, 0));
        QTest::newRow("before year one") << QDateTime(QDate(-5, 3, 1), QTime(1, 2, 3));
        QTest::newRow("year 10000") << QDateTime(QDate(10000, 1, 1), QTime(0, 0));
        QTest::newRow("UTC") << QDateTime(QDate(2026, 6, 1), QTime(22, 30), Qt::UTC);
    }
    void storedDateTextsAreQtsOwn()
    {
        QFETCH(QDateTime, moment);
        using K = Schema::ColumnKind;
        QCOMPARE(Schema::toStorage(K::DateTime, moment).toString(),
                 moment.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        QCOMPARE(Schema::toStorage(K::Date, moment.date()).toString(),
                 moment.date().toString(QStringLiteral("yyyy-MM-dd")));
    }

    // Stored dates are read without Qt's format parser too, to the same date.
    void storedDatesReadAsQtReadsThem_data()
    {
        QTest::addColumn<QString>("stored");
        for (const char *text : {"2026-12-09", "2024-02-29", "2025-02-29", "2026-13-01", "2026-00-10", "0000-01-01",
                                 "9999-12-31", "2026-12-09 10:00:00", "2026-1-09", "2026/12/09", "2026-12-0x", ""})
            QTest::newRow(text) << QString::fromLatin1(text);
    }
    void storedDatesReadAsQtReadsThem()
    {
        QFETCH(QString, stored);
        const QDate qts = QDate::fromString(stored.left(10), QStringLiteral("yyyy-MM-dd"));
        QCOMPARE(Schema::fromStorage(Schema::ColumnKind::Date, stored).toDate(), qts);
        if (stored.size() == 10 && qts.isValid())
            QCOMPARE(Schema::fromStorage(Schema::ColumnKind::DateTime, stored).toDateTime().date(), qts);
    }

    void newFileHasTablesSettingsAndOwnerOnlyPermissions()
    {
        TestShop shop;
        Database &db = shop.create();
        QSqlQuery q(db.shop().connection());
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
                QSqlQuery q(db.shop().connection());
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

    void lockFollowsTheFileThroughAnyPath_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("symbolic link") << QStringLiteral("symlink");
        QTest::newRow("hard link") << QStringLiteral("hardlink");
        QTest::newRow("another program") << QStringLiteral("process");
    }

    void lockFollowsTheFileThroughAnyPath()
    {
        // A second program reaching the same file by another name would hand
        // out the same ticket numbers: it must be refused.
        QFETCH(QString, kind);
        TestShop shop;
        shop.create();
        QTemporaryDir other;
        const QString otherPath = other.filePath(QString::fromLatin1(Database::FileName));
        if (kind == u"symlink") {
            QVERIFY(QFile::link(shop.path(), otherPath));
        } else if (kind == u"hardlink") {
            QVERIFY(::link(QFile::encodeName(shop.path()).constData(), QFile::encodeName(otherPath).constData()) == 0);
        } else {
            // Another process holds the file: refused; once that process is
            // gone (killed, no clean-up of its own), the lock is gone with it.
            shop.take().reset();
            QProcess holder;
            // The shell takes the lock on a descriptor and becomes `sleep`, so
            // the process killed below is the one that holds it.
            holder.start(QStringLiteral("sh"),
                         {QStringLiteral("-c"), QStringLiteral("exec 9<\"$1\"; flock -x 9; exec sleep 60"),
                          QStringLiteral("sh"), shop.path()});
            QVERIFY(holder.waitForStarted());
            QTest::qWait(300);
            const Database::Result busy = Database::open(shop.path());
            QCOMPARE(busy.status, Database::Status::AlreadyRunning);
            QVERIFY(busy.message.contains(shop.path()));
            holder.kill();
            holder.waitForFinished();
            const Database::Result free = Database::open(shop.path());
            QCOMPARE(free.status, Database::Status::Ok);
            return;
        }
        const Database::Result second = Database::open(otherPath);
        QCOMPARE(second.status, Database::Status::AlreadyRunning);
        // No lock file of its own lies about: the lock is on the file itself.
        QVERIFY(!QFile::exists(shop.path() + QStringLiteral(".lock")));
    }

    void passwordChange_data()
    {
        QTest::addColumn<bool>("moveFileAway");
        QTest::newRow("stored") << false;
        // A shop file moved away meanwhile: refused, the old password stays.
        QTest::newRow("file moved away") << true;
    }

    void passwordChange()
    {
        QFETCH(bool, moveFileAway);
        TestShop shop;
        shop.create();
        Settings settings(shop.db().shop());
        QCOMPARE(settings.password().valueOr(QString()), Database::defaultPassword());
        if (moveFileAway)
            QVERIFY(QFile::rename(shop.path(), shop.path() + QStringLiteral(".moved")));
        const Done set = settings.setPassword(QStringLiteral("it's 新"));
        QCOMPARE(set.ok(), !moveFileAway);
        QCOMPARE(set.errorText().isEmpty(), !moveFileAway);
        QCOMPARE(settings.password().valueOr(QString()),
                 moveFileAway ? Database::defaultPassword() : QStringLiteral("it's 新"));
    }

    void settingsRowsAreChecked_data()
    {
        QTest::addColumn<QString>("removal");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("firstFooter");
        QTest::newRow("no password row") << QStringLiteral("DELETE FROM code WHERE id = 1") << false << QString()
                                         << QString();
        // An empty password is one the shop can have: the file opens.
        QTest::newRow("NULL password") << QStringLiteral("UPDATE code SET code = NULL WHERE id = 1") << true
                                       << QStringLiteral("店") << Database::defaultFooter().first();
        QTest::newRow("empty password") << QStringLiteral("UPDATE code SET code = '' WHERE id = 1") << true
                                        << QStringLiteral("店") << Database::defaultFooter().first();
        QTest::newRow("no header row") << QStringLiteral("DELETE FROM code WHERE id = 20000") << true
                                       << Database::defaultHeader() << Database::defaultFooter().first();
        QTest::newRow("no footer rows") << QStringLiteral("DELETE FROM code WHERE id > 20000") << true
                                        << QStringLiteral("店") << Database::defaultFooter().first();
    }

    void settingsRowsAreChecked()
    {
        QFETCH(QString, removal);
        QFETCH(bool, opens);
        QFETCH(QString, header);
        QFETCH(QString, firstFooter);
        TestShop shop;
        shop.create();
        shop.exec(QStringLiteral("UPDATE code SET content = '店' WHERE id = 20000"));
        shop.exec(removal);
        shop.take().reset();
        const Database::Result r = Database::open(shop.path());
        QCOMPARE(r.status, opens ? Database::Status::Ok : Database::Status::Unusable);
        if (!opens) {
            QVERIFY2(r.message.contains(shop.path()), qPrintable(r.message));
            return;
        }
        QSqlQuery q(r.database->shop().connection());
        // Every write the screens report survives a power cut.
        QVERIFY(q.exec(QStringLiteral("PRAGMA synchronous")) && q.next());
        QCOMPARE(q.value(0).toInt(), 2); // FULL
        QVERIFY(q.exec(QStringLiteral("SELECT content FROM code WHERE id = 20000")) && q.next());
        QCOMPARE(q.value(0).toString(), header);
        QVERIFY(q.exec(QStringLiteral("SELECT id, content FROM code WHERE id > 20000 ORDER BY id")) && q.next());
        QCOMPARE(q.value(0).toInt(), 20001);
        QCOMPARE(q.value(1).toString(), firstFooter);
    }
};

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
