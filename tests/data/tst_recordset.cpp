#include "gui/recordsetmodel.h"
#include "shop/recordset.h"
#include "shop/schema.h"
#include "testshop.h"

#include <QItemSelectionModel>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTest>

class TestRecordSet : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_shop = std::make_unique<TestShop>();
        m_shop->create();
    }
    void cleanup() { m_shop.reset(); }

    void findOnEmptySetEndsAtEof()
    {
        RecordSet rs(m_shop->db().shop(), QStringLiteral("name"));
        QVERIFY(rs.open());
        QCOMPARE(rs.count(), 0);
        QVERIFY(rs.isBof() && rs.isEof());
        rs.moveFirst();
        QVERIFY(!rs.find(QStringLiteral("code='A'")));
        QVERIFY(rs.isEof());
    }

    void findMatchesValuesWithApostrophesExactly()
    {
        m_shop->addGoods(QStringLiteral("O'Neil"), QStringLiteral("odd"));
        m_shop->addGoods(QStringLiteral("o'neil"), QStringLiteral("lower"));
        m_shop->addGoods(QStringLiteral("x' OR '1'='1"), QStringLiteral("inject"));
        RecordSet rs(m_shop->db().shop(), QStringLiteral("name"));
        QVERIFY(rs.open());
        rs.moveFirst();
        QVERIFY(rs.find(QStringLiteral("code='o'neil'")));
        QCOMPARE(rs.value(QStringLiteral("Name")).toString(), QStringLiteral("lower"));
        rs.moveFirst();
        QVERIFY(rs.find(QStringLiteral("code='x' OR '1'='1'")));
        QCOMPARE(rs.value(QStringLiteral("name")).toString(), QStringLiteral("inject"));
        rs.moveFirst();
        QVERIFY(rs.find(QStringLiteral("code = 'O'Neil'")));
        QCOMPARE(rs.value(QStringLiteral("name")).toString(), QStringLiteral("odd"));
        rs.moveFirst();
        QVERIFY(!rs.find(QStringLiteral("code='x'")));
        QVERIFY(rs.isEof());
    }

    void findSearchesFromTheCurrentRowForward()
    {
        m_shop->addGoods(QStringLiteral("A"), QStringLiteral("first"));
        m_shop->addGoods(QStringLiteral("B"), QStringLiteral("b"));
        m_shop->addGoods(QStringLiteral("A"), QStringLiteral("second"));
        RecordSet rs(m_shop->db().shop(), QStringLiteral("name"));
        rs.open();
        rs.moveFirst();
        QVERIFY(rs.find(QStringLiteral("code='A'")));
        QCOMPARE(rs.position(), 0);
        rs.moveNext();
        QVERIFY(rs.find(QStringLiteral("code='A'")));
        QCOMPARE(rs.value(QStringLiteral("name")).toString(), QStringLiteral("second"));
    }

    void pendingRowIsWrittenByTheNextMove_data()
    {
        QTest::addColumn<int>("trigger");
        QTest::newRow("move first") << 0;
        QTest::newRow("new row") << 1;
        QTest::newRow("requery") << 2;
        QTest::newRow("record set goes away") << 3;
    }

    void pendingRowIsWrittenByTheNextMove()
    {
        QFETCH(int, trigger);
        {
            RecordSet rs(m_shop->db().shop(), QStringLiteral("kuaijie"));
            rs.open();
            QVERIFY(rs.addNew());
            rs.setValue(QStringLiteral("id"), 1);
            rs.setValue(QStringLiteral("kuaijie"), QStringLiteral("可乐"));
            QCOMPARE(rs.count(), 1);
            QCOMPARE(m_shop->count(QStringLiteral("kuaijie")), 0);
            switch (trigger) {
            case 0:
                QVERIFY(rs.moveFirst());
                break;
            case 1:
                QVERIFY(rs.addNew());
                break;
            case 2:
                QVERIFY(rs.requery());
                rs.moveFirst();
                QVERIFY(rs.find(QStringLiteral("kuaijie='可乐'")));
                break;
            default:
                break;
            }
            if (trigger != 3) {
                QCOMPARE(m_shop->count(QStringLiteral("kuaijie")), 1);
                rs.discardChanges();
            }
        }
        QCOMPARE(m_shop->count(QStringLiteral("kuaijie")), 1);
    }

    void rowsOfOtherSetsShowAfterRequeryOnly()
    {
        RecordSet a(m_shop->db().shop(), QStringLiteral("name"));
        RecordSet b(m_shop->db().shop(), QStringLiteral("name"));
        a.open();
        b.open();
        a.addNew();
        a.setValue(QStringLiteral("code"), QStringLiteral("N1"));
        a.write();
        QCOMPARE(b.count(), 0);
        b.requery();
        QCOMPARE(b.count(), 1);
    }

    void deleteKeepsPositionUntilNextMove()
    {
        for (const char *c : {"A", "B", "C"})
            m_shop->addGoods(QString::fromLatin1(c), QString::fromLatin1(c));
        RecordSet rs(m_shop->db().shop(), QStringLiteral("name"));
        rs.open();
        rs.moveFirst();
        rs.moveNext();
        QVERIFY(rs.deleteCurrent());
        QVERIFY(!rs.value(QStringLiteral("code")).isValid());
        QVERIFY(!rs.isBof() && !rs.isEof());
        rs.moveNext();
        QCOMPARE(rs.value(QStringLiteral("code")).toString(), QStringLiteral("C"));
        QCOMPARE(m_shop->count(QStringLiteral("name")), 2);

        // Deleting every row as the cleanup does leaves an empty set at BOF and EOF.
        const int n = rs.count();
        rs.moveFirst();
        for (int i = 0; i < n; ++i) {
            QVERIFY(rs.deleteCurrent());
            rs.moveNext();
        }
        QCOMPARE(rs.count(), 0);
        QVERIFY(rs.isBof() && rs.isEof());
        QCOMPARE(m_shop->count(QStringLiteral("name")), 0);
    }

    void moneyAndDatesAreTyped()
    {
        m_shop->addPurchase(QStringLiteral("A"), 3, Money::fromCents(1250));
        RecordSet rs(m_shop->db().shop(), QStringLiteral("SELECT * FROM jinhuo"));
        rs.open();
        QCOMPARE(rs.value(QStringLiteral("shou")).value<Money>(), Money::fromCents(1250));
        QCOMPARE(rs.value(QStringLiteral("jindt")).toDate(), QDate(2026, 1, 1));
        // A query over one table writes back into it.
        rs.setValue(QStringLiteral("shou"), QVariant::fromValue(Money::fromCents(999)));
        QVERIFY(rs.write());
        QSqlQuery q(m_shop->db().shop().connection());
        q.exec(QStringLiteral("SELECT shou, typeof(shou) FROM jinhuo"));
        q.next();
        QCOMPARE(q.value(0).toLongLong(), 99900);
        QCOMPARE(q.value(1).toString(), QStringLiteral("integer"));
    }

    void joinIsReadOnly()
    {
        m_shop->addGoods(QStringLiteral("A"), QStringLiteral("a"));
        m_shop->addPurchase(QStringLiteral("A"), 1, Money::fromCents(100));
        RecordSet rs(m_shop->db().shop(), QStringLiteral("SELECT * FROM jinhuo,name WHERE jinhuo.code=name.code"));
        QVERIFY(rs.open());
        QCOMPARE(rs.count(), 1);
        QVERIFY(!rs.addNew());
        // A change is refused at once with a clear error, and the set stays
        // usable: moving, finding and re-reading still work.
        QVERIFY(!rs.setValue(QStringLiteral("shuliang"), 5));
        QVERIFY2(rs.lastError().contains(QStringLiteral("只读")), qPrintable(rs.lastError()));
        QCOMPARE(rs.value(QStringLiteral("shuliang")).toLongLong(), 1);
        QVERIFY(!rs.hasPendingChanges());
        QVERIFY(rs.moveNext());
        QVERIFY(rs.moveFirst());
        QVERIFY(rs.find(QStringLiteral("code='A'")));
        QVERIFY(rs.requery());
        QVERIFY(!rs.deleteCurrent());
        QCOMPARE(m_shop->count(QStringLiteral("jinhuo")), 1);
    }

    // Values of every storage class come back as Qt's own SQLite driver gives
    // them, and bound values of every type select as the driver binds them.
    void valuesAsTheDriverReadsThem_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QVariant>("bound");
        QTest::newRow("text") << QStringLiteral("'可乐 it''s'") << QVariant(QStringLiteral("c1"));
        QTest::newRow("empty text") << QStringLiteral("''") << QVariant(QStringLiteral("c1"));
        QTest::newRow("integer") << QStringLiteral("9007199254740993") << QVariant(qint64(1));
        QTest::newRow("real") << QStringLiteral("2.5") << QVariant(1.0);
        QTest::newRow("null") << QStringLiteral("NULL") << QVariant(true);
        QTest::newRow("blob") << QStringLiteral("X'00ff41'") << QVariant(QByteArray("c1"));
    }
    void valuesAsTheDriverReadsThem()
    {
        QFETCH(QString, stored);
        QFETCH(QVariant, bound);
        // The code is stored as what is bound, so the bound value must select it.
        QSqlQuery insert(m_shop->db().shop().connection());
        insert.prepare(QStringLiteral("INSERT INTO name (code, name) VALUES (?, %1)").arg(stored));
        insert.addBindValue(bound);
        QVERIFY2(insert.exec(), qPrintable(insert.lastError().text()));
        QSqlQuery driver(m_shop->db().shop().connection());
        QVERIFY(driver.exec(QStringLiteral("SELECT name FROM name")) && driver.next());

        RecordSet rs(m_shop->db().shop(), QStringLiteral("SELECT name FROM name WHERE code = ?"), {bound});
        QVERIFY2(rs.open(), qPrintable(rs.lastError()));
        QCOMPARE(rs.count(), 1);
        const QVariant mine = rs.value(QStringLiteral("name"));
        const QVariant theirs = Schema::fromStorage(Schema::kindOfColumn(QStringLiteral("name")), driver.value(0));
        QCOMPARE(mine.isNull(), theirs.isNull());
        QCOMPARE(mine.toString(), theirs.toString());
        QCOMPARE(mine.toByteArray(), theirs.toByteArray());
    }

    void aFailedReadKeepsTheRowsShown()
    {
        m_shop->exec(QStringLiteral("CREATE TABLE scratch (a TEXT)"));
        m_shop->exec(QStringLiteral("INSERT INTO scratch VALUES ('x'), ('y')"));
        RecordSet rs(m_shop->db().shop(), QStringLiteral("scratch"));
        QVERIFY(rs.open());
        m_shop->exec(QStringLiteral("DROP TABLE scratch"));
        QVERIFY(!rs.requery());
        QVERIFY(!rs.lastError().isEmpty());
        QCOMPARE(rs.count(), 2);
    }

    void boundValuesAreNeverPasted()
    {
        m_shop->addPurchase(QStringLiteral("it's"), 4, Money::fromCents(100));
        RecordSet rs(m_shop->db().shop(), QStringLiteral("SELECT shuliang FROM jinhuo WHERE code=?"),
                     {QStringLiteral("it's")});
        QVERIFY2(rs.open(), qPrintable(rs.lastError()));
        QCOMPARE(rs.count(), 1);
        QCOMPARE(rs.value(QStringLiteral("shuliang")).toInt(), 4);
    }

    void gridFollowsCurrentRowBothWays()
    {
        RecordSet ticket;
        ticket.appendColumn(QStringLiteral("货号"), Schema::ColumnKind::Text);
        ticket.appendColumn(QStringLiteral("金额"), Schema::ColumnKind::Money);
        ticket.open();
        RecordSetModel model(&ticket);
        model.setColumnFormat(1, DisplayFormat::Currency);
        QTableView view;
        model.bindView(&view);
        for (int i = 0; i < 3; ++i) {
            ticket.addNew();
            ticket.setValue(QStringLiteral("货号"), QString::number(i));
            ticket.setValue(QStringLiteral("金额"), QVariant::fromValue(Money::fromCents(123450)));
        }
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("金额"));
        QCOMPARE(model.index(0, 1).data().toString(), QStringLiteral("¥1,234.50"));
        QCOMPARE(view.selectionModel()->currentIndex().row(), 2);
        view.selectionModel()->setCurrentIndex(model.index(0, 0), QItemSelectionModel::ClearAndSelect);
        QCOMPARE(ticket.position(), 0);
        ticket.moveLast();
        QCOMPARE(view.selectionModel()->currentIndex().row(), 2);
    }

private:
    std::unique_ptr<TestShop> m_shop;
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TestShop::pinLocale();
    TestRecordSet t;
    return QTest::qExec(&t, argc, argv);
}
#include "tst_recordset.moc"
