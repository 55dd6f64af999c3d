#include "gui/stock/retaildialog.h"
#include "messagerecorder.h"
#include "shop/recordset.h"
#include "testshop.h"

#include <QDateEdit>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSqlQuery>
#include <QTableView>
#include <QTest>

// The retail records screen: one day's sale lines and totals.
class TestRetail : public QObject
{
    Q_OBJECT

    struct Fixture
    {
        explicit Fixture(bool server = false)
        {
            TestShop::pinLocale();
            shop.create();
            shop.addGoods(QStringLiteral("A"), QStringLiteral("可乐"));
            shop.addGoods(QStringLiteral("it's"), QStringLiteral("苹果"));
            if (server)
                shop.moveToServer();
        }
        ~Fixture() { delete dialog; }
        void sale(qint64 id, qint64 ticket, const QString &code, int quantity, qint64 cents, const QString &dt)
        {
            QSqlQuery q(shop.db().shop().connection());
            q.prepare(QStringLiteral("INSERT INTO xiaoshou (id, danjuhao, code, shuliang, shoujia, jine, dt) "
                                     "VALUES (?, ?, ?, ?, ?, ?, ?)"));
            for (const QVariant &v : QVariantList{id, ticket, code, quantity, cents * 100, cents * 100 * quantity, dt})
                q.addBindValue(v);
            if (!q.exec())
                qFatal("sale not stored");
        }
        void open(QDate day)
        {
            dialog = new RetailDialog(shop.db().shop());
            dialog->setDay(day);
            showActive(dialog);
        }
        QString label(const char *name) const { return dialog->findChild<QLabel *>(QString::fromLatin1(name))->text(); }
        QStringList totals() const { return {label("Label6"), label("Label7"), label("Label8")}; }
        QAbstractItemModel *grid() const
        {
            return dialog->findChild<QTableView *>(QStringLiteral("DataGrid1"))->model();
        }
        QStringList column(int c) const
        {
            QStringList all;
            for (int r = 0; r < grid()->rowCount(); ++r)
                all.append(grid()->index(r, c).data().toString());
            return all;
        }
        TestShop shop;
        MessageRecorder messages;
        RetailDialog *dialog = nullptr;
    };

private Q_SLOTS:
    void emptyDay()
    {
        Fixture f;
        f.open(QDate(2026, 12, 7));
        QCOMPARE(f.dialog->windowTitle(), QStringLiteral("零售管理"));
        QCOMPARE(f.grid()->rowCount(), 0);
        QCOMPARE(f.totals(), (QStringList{QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("¥0.00")}));
        QCOMPARE(f.grid()->columnCount(), 8);
        auto *view = f.dialog->findChild<QTableView *>(QStringLiteral("DataGrid1"));
        QVERIFY(view->isColumnHidden(7));
        QVERIFY(view->columnWidth(3) >= 700 / 15);
        QVERIFY(view->columnWidth(6) >= 2000 / 15);
    }

    void dayListAndTotals_data() { addEngineColumn(); }
    void dayListAndTotals()
    {
        QFETCH(bool, server);
        Fixture f(server);
        // Two tickets of several lines, a line of the day before at 23:59:59
        // and one of the next day at 00:00:00, a code no longer in the catalogue.
        f.sale(1, 8, QStringLiteral("A"), 1, 250, QStringLiteral("2026-12-06 23:59:59"));
        f.sale(2, 9, QStringLiteral("A"), 2, 250, QStringLiteral("2026-12-07 00:00:00"));
        f.sale(3, 9, QStringLiteral("it's"), 1, 123450, QStringLiteral("2026-12-07 09:00:00"));
        f.sale(4, 9, QStringLiteral("gone"), 3, 100, QStringLiteral("2026-12-07 09:00:01"));
        f.sale(5, 10, QStringLiteral("A"), 30000, 1, QStringLiteral("2026-12-07 23:59:59"));
        f.sale(6, 10, QStringLiteral("A"), 30000, 1, QStringLiteral("2026-12-07 23:59:59"));
        f.sale(7, 11, QStringLiteral("A"), 1, 250, QStringLiteral("2026-12-08 00:00:00"));
        f.open(QDate(2026, 12, 7));
        QCOMPARE(f.column(0), strings({"9", "9", "9", "10", "10"}));
        QCOMPARE(f.column(2), strings({"可乐", "苹果", "", "可乐", "可乐"}));
        QCOMPARE(f.column(4).at(1), QStringLiteral("¥1,234.50"));
        QCOMPARE(f.column(5).at(0), QStringLiteral("¥5.00"));
        QCOMPARE(f.column(6).at(0), QStringLiteral("2026-12-07 00:00:00"));
        QCOMPARE(f.column(7), strings({"2", "3", "4", "5", "6"}));
        // 60,006 goods: past 16 bits without loss.
        QCOMPARE(f.totals(), strings({"2", "60006", "¥1,842.50"}));

        f.dialog->setDay(QDate(2026, 12, 6));
        QCOMPARE(f.column(7), strings({"1"}));
        QCOMPARE(f.totals(), strings({"1", "1", "¥2.50"}));
    }

    void deleteAsksFirstAndKeepsTotals_data() { addEngineColumn(); }
    void deleteAsksFirstAndKeepsTotals()
    {
        QFETCH(bool, server);
        Fixture f(server);
        f.sale(1, 1, QStringLiteral("A"), 1, 250, QStringLiteral("2026-12-07 10:00:00"));
        f.sale(2, 2, QStringLiteral("it's"), 2, 100, QStringLiteral("2026-12-07 11:00:00"));
        f.open(QDate(2026, 12, 7));
        auto *view = f.dialog->findChild<QTableView *>(QStringLiteral("DataGrid1"));
        view->selectRow(1);

        f.messages.answer = false;
        QTest::mouseClick(f.dialog->findChild<QPushButton *>(QStringLiteral("delete")), Qt::LeftButton);
        QCOMPARE(f.messages.boxes.size(), 1);
        QCOMPARE(f.messages.boxes.first().text, QStringLiteral("确认要删除？"));
        QCOMPARE(f.messages.boxes.first().title, QStringLiteral("删除"));
        QCOMPARE(f.messages.boxes.first().icon, Messages::Icon::Question);
        QCOMPARE(f.shop.count(QStringLiteral("xiaoshou")), 2);
        QCOMPARE(f.grid()->rowCount(), 2);

        f.messages.answer = true;
        QTest::mouseClick(f.dialog->findChild<QPushButton *>(QStringLiteral("delete")), Qt::LeftButton);
        QCOMPARE(f.messages.boxes.size(), 2);
        QCOMPARE(f.shop.count(QStringLiteral("xiaoshou")), 1);
        QCOMPARE(f.column(7), strings({"1"}));
        QCOMPARE(f.totals(), strings({"2", "3", "¥4.50"}));
        // Changing the date and back counts again.
        f.dialog->setDay(QDate(2026, 12, 8));
        f.dialog->setDay(QDate(2026, 12, 7));
        QCOMPARE(f.totals(), strings({"1", "1", "¥2.50"}));
    }

    void lineNoLongerStoredDeletesNothingAndSaysSo()
    {
        Fixture f;
        f.sale(1, 1, QStringLiteral("A"), 1, 250, QStringLiteral("2026-12-07 10:00:00"));
        f.sale(1, 2, QStringLiteral("A"), 1, 250, QStringLiteral("2026-11-01 10:00:00")); // the same id, other day
        f.open(QDate(2026, 12, 7));
        f.shop.exec(QStringLiteral("DELETE FROM xiaoshou WHERE danjuhao = 1"));
        QTest::mouseClick(f.dialog->findChild<QPushButton *>(QStringLiteral("delete")), Qt::LeftButton);
        QCOMPARE(f.messages.boxes.size(), 2);
        QVERIFY(f.messages.last().contains(QStringLiteral("没有删除")));
        // The other day's line with the same id is untouched.
        QCOMPARE(f.shop.count(QStringLiteral("xiaoshou")), 1);
        QCOMPARE(f.grid()->rowCount(), 0);
    }

    void deletingAgainTakesTheHighlightedLine()
    {
        Fixture f;
        for (int id = 1; id <= 3; ++id)
            f.sale(id, id, QStringLiteral("A"), id, 100, QStringLiteral("2026-12-07 1%1:00:00").arg(id));
        f.open(QDate(2026, 12, 7));
        auto *view = f.dialog->findChild<QTableView *>(QStringLiteral("DataGrid1"));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(f.grid()->index(0, 1)).center());
        auto *del = f.dialog->findChild<QPushButton *>(QStringLiteral("delete"));
        QTest::mouseClick(del, Qt::LeftButton);
        // The line that took the deleted one's place is highlighted, and the
        // next delete, without selecting again, takes that very line.
        QCOMPARE(view->currentIndex().row(), 0);
        QCOMPARE(f.grid()->index(0, 7).data().toString(), QStringLiteral("2"));
        QTest::mouseClick(del, Qt::LeftButton);
        QCOMPARE(f.messages.texts(), strings({"确认要删除？", "确认要删除？"}));
        QCOMPARE(f.column(7), strings({"3"}));
        QSqlQuery q(f.shop.db().shop().connection());
        QVERIFY(q.exec(QStringLiteral("SELECT group_concat(id) FROM xiaoshou")) && q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("3"));
    }

    void aListShownBeforeACleanupDeletesNoNewSale()
    {
        // After the cleanup the new sale gets the old line's place and id.
        Fixture f;
        f.sale(1, 1, QStringLiteral("A"), 1, 250, QStringLiteral("2026-12-07 10:00:00"));
        f.open(QDate(2026, 12, 7));
        f.shop.exec(QStringLiteral("DELETE FROM xiaoshou"));
        f.sale(1, 1, QStringLiteral("A"), 1, 250, QStringLiteral("2026-12-08 09:00:00"));
        QTest::mouseClick(f.dialog->findChild<QPushButton *>(QStringLiteral("delete")), Qt::LeftButton);
        QCOMPARE(f.messages.last(), QStringLiteral("这条销售记录已经不在数据库中，没有删除任何数据。"));
        QCOMPARE(f.shop.count(QStringLiteral("xiaoshou")), 1);
    }

    void amountsWithFourDecimalsAreCountedAsShown()
    {
        // 1.2345 shows as ¥1.23; two of them total ¥2.46, not the ¥2.47 of
        // the unrounded sum. An amount another tool stored as REAL counts as
        // the amount it shows.
        Fixture f;
        f.shop.exec(QStringLiteral("INSERT INTO xiaoshou (id, danjuhao, code, shuliang, shoujia, jine, dt) VALUES "
                                   "(1, 1, 'A', 1, 12345, 12345, '2026-12-07 10:00:00'), "
                                   "(2, 1, 'A', 1, 12345, 12345, '2026-12-07 10:00:01'), "
                                   "(3, 2, 'A', 1, 2.5, 2.5, '2026-12-07 11:00:00')"));
        f.open(QDate(2026, 12, 7));
        QCOMPARE(f.column(5), strings({"¥1.23", "¥1.23", "¥2.50"}));
        QCOMPARE(f.totals(), strings({"2", "3", "¥4.96"}));
        // Every column is in sight, the sale time too.
        auto *view = f.dialog->findChild<QTableView *>(QStringLiteral("DataGrid1"));
        QCOMPARE(view->horizontalScrollBar()->maximum(), 0);
    }

    void aDayThatCouldNotBeReadNeverShowsAsEmpty()
    {
        // Shown again after a failed read, the screen reads the day again and
        // says so while it fails; 刷新 reads what was sold meanwhile.
        Fixture f;
        f.sale(1, 1, QStringLiteral("A"), 1, 250, QStringLiteral("2026-12-07 10:00:00"));
        f.open(QDate(2026, 12, 7));
        QCOMPARE(f.totals().first(), QStringLiteral("1"));
        auto *refresh = f.dialog->findChild<QPushButton *>(QStringLiteral("refresh"));
        QCOMPARE(refresh->text(), QStringLiteral("刷新"));
        f.shop.exec(QStringLiteral("ALTER TABLE xiaoshou RENAME TO xiaoshou_away"));
        QTest::mouseClick(refresh, Qt::LeftButton);
        QCOMPARE(f.messages.boxes.size(), 1);
        QVERIFY(f.messages.last().startsWith(QStringLiteral("销售数据未能读写：")));
        QCOMPARE(f.totals(), QStringList(3, QStringLiteral("未能读取")));
        f.dialog->hide();
        f.messages.clear();
        f.dialog->show();
        QTRY_COMPARE(f.messages.boxes.size(), 1);
        QCOMPARE(f.totals().first(), QStringLiteral("未能读取"));
        f.shop.exec(QStringLiteral("ALTER TABLE xiaoshou_away RENAME TO xiaoshou"));
        f.sale(2, 2, QStringLiteral("A"), 1, 250, QStringLiteral("2026-12-07 11:00:00"));
        QTest::mouseClick(refresh, Qt::LeftButton);
        QCOMPARE(f.totals(), (QStringList{QStringLiteral("2"), QStringLiteral("2"), QStringLiteral("¥5.00")}));
        QCOMPARE(f.grid()->rowCount(), 2);
    }

    void reopeningShowsTheSameList()
    {
        Fixture f;
        f.sale(1, 1, QStringLiteral("A"), 1, 250, QStringLiteral("2026-12-07 10:00:00"));
        f.open(QDate(2026, 12, 7));
        f.dialog->hide();
        f.sale(2, 2, QStringLiteral("A"), 1, 250, QStringLiteral("2026-12-07 11:00:00"));
        f.dialog->show();
        QCOMPARE(f.dialog->findChild<QDateEdit *>(QStringLiteral("DTPicker1"))->date(), QDate(2026, 12, 7));
        QCOMPARE(f.grid()->rowCount(), 1);
        QCOMPARE(f.totals().first(), QStringLiteral("1"));
    }
};

QTEST_MAIN(TestRetail)
#include "tst_retail.moc"
