#include "gui/stock/purchasedialog.h"
#include "messagerecorder.h"
#include "shop/purchaselist.h"
#include "testshop.h"

#include <QDateEdit>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>
#include <QTest>

#include <sqlite3.h>

// The purchase screen, driven through its controls.
class TestPurchases : public QObject
{
    Q_OBJECT

    struct Fixture
    {
        explicit Fixture(bool withGoods = true, bool server = false)
        {
            TestShop::pinLocale();
            shop.create();
            if (withGoods) {
                shop.addGoods(QStringLiteral("A"), QStringLiteral("可乐"));
                shop.addGoods(QStringLiteral("it's"), QStringLiteral("苹果"));
            }
            if (server)
                shop.moveToServer();
            dialog = new PurchaseDialog(shop.db().shop());
            showActive(dialog);
        }
        ~Fixture() { delete dialog; }
        QLineEdit *edit(const char *name) const { return dialog->findChild<QLineEdit *>(QString::fromLatin1(name)); }
        void click(const char *name)
        {
            QTest::mouseClick(dialog->findChild<QPushButton *>(QString::fromLatin1(name)), Qt::LeftButton);
        }
        void fill(const QString &code, const QString &quantity, const QString &price, const QString &selling,
                  const QString &maker)
        {
            edit("Text1")->setText(code);
            edit("Text2")->setText(quantity);
            edit("Text3")->setText(price);
            edit("Text7")->setText(selling);
            edit("Text6")->setText(maker);
        }
        QStringList rows()
        {
            QSqlQuery q(shop.db().shop().connection());
            q.exec(QStringLiteral("SELECT id, code, shuliang, jinjia, shou, huiyuanjia, changjia, jindt, guoqidt "
                                  "FROM jinhuo ORDER BY rowid"));
            QStringList all;
            while (q.next()) {
                QStringList r;
                for (int i = 0; i < 9; ++i)
                    r.append(q.value(i).isNull() ? QString() : q.value(i).toString());
                all.append(r.join(u'|'));
            }
            return all;
        }
        TestShop shop;
        MessageRecorder messages;
        PurchaseDialog *dialog = nullptr;
    };

private Q_SLOTS:
    void initialState()
    {
        Fixture f;
        QCOMPARE(f.dialog->windowTitle(), QStringLiteral("进货管理"));
        for (const char *d : {"DTPicker1", "DTPicker2"})
            QCOMPARE(f.dialog->findChild<QDateEdit *>(QString::fromLatin1(d))->date(), QDate::currentDate());
        QVERIFY(!f.edit("Text5")->isEnabled());
        auto *grid = f.dialog->findChild<QTableView *>(QStringLiteral("DataGrid1"));
        QStringList captions;
        for (int c = 0; c < grid->model()->columnCount(); ++c)
            captions.append(grid->model()->headerData(c, Qt::Horizontal).toString());
        QCOMPARE(captions, (QStringList{QStringLiteral("货号"), QStringLiteral("货名"), QStringLiteral("数量"),
                                        QStringLiteral("进价"), QStringLiteral("售价"), QStringLiteral("厂家"),
                                        QStringLiteral("进货日期"), QStringLiteral("过期日期")}));
    }

    void keystrokeConversions_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("keys");   // typed key by key
        QTest::addColumn<QString>("pasted"); // or set at once
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("messages");
        QTest::newRow("point after 12 disappears") << "Text2"
                                                   << "12." << QString() << "12" << 0;
        QTest::newRow("12.5 pasted") << "Text2" << QString() << "12.5"
                                     << "12" << 0;
        QTest::newRow("13.5 pasted") << "Text2" << QString() << "13.5"
                                     << "14" << 0;
        QTest::newRow("40000 at the fifth digit") << "Text2"
                                                  << "40000" << QString() << "" << 1;
        QTest::newRow("lone minus") << "Text2"
                                    << "-" << QString() << "" << 1;
        QTest::newRow("letter in the purchase price") << "Text3"
                                                      << "12a" << QString() << "" << 1;
        QTest::newRow("letter in the selling price") << "Text7"
                                                     << "3x" << QString() << "" << 1;
        QTest::newRow("price with decimals") << "Text3"
                                             << "2.345" << QString() << "2.345" << 0;
    }

    void keystrokeConversions()
    {
        QFETCH(QString, box);
        QFETCH(QString, keys);
        QFETCH(QString, pasted);
        QFETCH(QString, shown);
        QFETCH(int, messages);
        Fixture f;
        QLineEdit *e = f.edit(box.toLatin1().constData());
        if (keys.isEmpty())
            e->setText(pasted);
        else
            QTest::keyClicks(e, keys);
        QCOMPARE(e->text(), shown);
        QCOMPARE(f.messages.boxes.size(), messages);
        if (messages)
            QCOMPARE(f.messages.last(), QStringLiteral("输入有误！"));
    }

    void requiredFieldsInOrder_data()
    {
        QTest::addColumn<int>("filled");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        QTest::newRow("nothing") << 0 << QStringLiteral("货号不能为空！") << QStringLiteral("Text1");
        QTest::newRow("code") << 1 << QStringLiteral("数量不能为空！") << QStringLiteral("Text2");
        QTest::newRow("code, quantity") << 2 << QStringLiteral("进价不能为空！") << QStringLiteral("Text3");
        QTest::newRow("and price") << 3 << QStringLiteral("售价不能为空！") << QStringLiteral("Text7");
        QTest::newRow("and selling price") << 4 << QStringLiteral("厂家不能为空！") << QStringLiteral("Text6");
    }

    void requiredFieldsInOrder()
    {
        QFETCH(int, filled);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        Fixture f;
        const char *boxes[] = {"Text1", "Text2", "Text3", "Text7", "Text6"};
        const QString values[] = {QStringLiteral("A"), QStringLiteral("5"), QStringLiteral("1"), QStringLiteral("2"),
                                  QStringLiteral("厂")};
        for (int i = 0; i < filled; ++i)
            f.edit(boxes[i])->setText(values[i]);
        f.click("OKButton");
        // (Leaving an empty code box for the button has its own message first.)
        QCOMPARE(f.messages.last(), message);
        QCOMPARE(f.messages.texts().count(message), 1);
        QCOMPARE(QApplication::focusWidget()->objectName(), focus);
        QCOMPARE(f.shop.count(QStringLiteral("jinhuo")), 0);
    }

    void addedRowsIdsMemberPriceAndList_data() { addEngineColumn(); }
    void addedRowsIdsMemberPriceAndList()
    {
        QFETCH(bool, server);
        Fixture f(true, server);
        auto *d1 = f.dialog->findChild<QDateEdit *>(QStringLiteral("DTPicker1"));
        auto *d2 = f.dialog->findChild<QDateEdit *>(QStringLiteral("DTPicker2"));
        d1->setDate(QDate(2026, 12, 1));
        d2->setDate(QDate(2027, 6, 30));
        f.fill(QStringLiteral("it's"), QStringLiteral("40"), QStringLiteral("1,234.5"), QStringLiteral("2.5"),
               QStringLiteral("厂's"));
        f.click("OKButton");
        QVERIFY2(f.messages.boxes.isEmpty(), qPrintable(f.messages.texts().join(u'|')));
        // Fields are kept for the next purchase.
        QCOMPARE(f.edit("Text1")->text(), QStringLiteral("it's"));
        // Another id after a row whose id is not its position.
        f.shop.exec(QStringLiteral("INSERT INTO jinhuo (id, code, shuliang) VALUES (70000, 'A', 1)"));
        // A code not in the catalogue is stored, but the joined list leaves it out.
        f.fill(QStringLiteral("ZZ"), QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1"),
               QStringLiteral("m"));
        f.click("OKButton");
        QCOMPARE(f.rows(), (QStringList{QStringLiteral("1|it's|40|12345000|25000|25000|厂's|2026-12-01|2027-06-30"),
                                        QStringLiteral("70000|A|1||||||"),
                                        QStringLiteral("70001|ZZ|1|10000|10000|10000|m|2026-12-01|2027-06-30")}));
        auto *model = f.dialog->findChild<QTableView *>(QStringLiteral("DataGrid1"))->model();
        QCOMPARE(model->rowCount(), 2);
        QCOMPARE(model->index(0, 1).data().toString(), QStringLiteral("苹果"));
        QCOMPARE(model->index(0, 3).data().toString(), QStringLiteral("1,234.50"));
        QCOMPARE(model->index(0, 4).data().toString(), QStringLiteral("2.50"));
        QCOMPARE(model->index(0, 6).data().toString(), QStringLiteral("2026-12-01"));
        QCOMPARE(model->index(0, 7).data().toString(), QStringLiteral("2027-06-30"));
    }

    void leavingTheCodeBox_data()
    {
        QTest::addColumn<bool>("withGoods");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("focusBack");
        QTest::newRow("empty catalogue") << false << QStringLiteral("A")
                                         << QStringLiteral("请先进入“货名管理”输入货名！") << QString() << false;
        QTest::newRow("empty code") << true << QString() << QStringLiteral("请先输入货号！") << QString() << true;
        QTest::newRow("unknown code") << true << QStringLiteral("Q")
                                      << QStringLiteral("没有这个货物代码，请重新输入或进入 货名管理 添加新代码！")
                                      << QString() << true;
        QTest::newRow("known, with an apostrophe")
            << true << QStringLiteral("it's") << QString() << QStringLiteral("苹果") << false;
    }

    void leavingTheCodeBox()
    {
        QFETCH(bool, withGoods);
        QFETCH(QString, code);
        QFETCH(QString, message);
        QFETCH(QString, name);
        QFETCH(bool, focusBack);
        Fixture f(withGoods);
        f.edit("Text1")->setFocus();
        f.edit("Text1")->setText(code);
        QTest::keyClick(f.edit("Text1"), Qt::Key_Tab);
        QCOMPARE(f.messages.texts(), message.isEmpty() ? QStringList{} : QStringList{message});
        QCOMPARE(f.edit("Text5")->text(), name);
        QCOMPARE(QApplication::focusWidget() == f.edit("Text1"), focusBack);
        QCOMPARE(f.edit("Text1")->text(), code);
    }

    void soldGoodsCannotBeDeleted()
    {
        Fixture f;
        f.fill(QStringLiteral("A"), QStringLiteral("10"), QStringLiteral("1"), QStringLiteral("2"),
               QStringLiteral("厂"));
        f.click("OKButton");
        f.edit("Text1")->setText(QStringLiteral("it's"));
        f.click("OKButton");
        f.shop.addSale(1, 1, QStringLiteral("A"), 1, Money::fromCents(200));
        auto *grid = f.dialog->findChild<QTableView *>(QStringLiteral("DataGrid1"));
        grid->selectRow(0);
        f.click("Command2");
        QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("此货物有销售数据，请先删除销售数据！")});
        QCOMPARE(f.shop.count(QStringLiteral("jinhuo")), 2);
        grid->selectRow(1);
        f.click("Command2");
        QCOMPARE(f.messages.boxes.size(), 1);
        QCOMPARE(f.rows().size(), 1);
        QVERIFY(f.rows().first().contains(QStringLiteral("|A|")));
        QCOMPARE(grid->model()->rowCount(), 1);
    }

    void deletingTakesTheHighlightedPurchaseOnly()
    {
        // Ids given twice (by another tool): the purchase highlighted goes,
        // not the other with its id, and the next delete, without selecting
        // again, takes the purchase then highlighted.
        Fixture f;
        for (int i = 0; i < 3; ++i)
            f.shop.exec(QStringLiteral("INSERT INTO jinhuo (id, code, shuliang, jinjia, shou, changjia) "
                                       "VALUES (7, 'A', %1, 100, 200, 'm')")
                            .arg(i + 1));
        f.click("CancelButton");
        f.dialog->list()->reload();
        auto *grid = f.dialog->findChild<QTableView *>(QStringLiteral("DataGrid1"));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(grid->model()->index(1, 0)).center());
        f.click("Command2");
        QSqlQuery q(f.shop.db().shop().connection());
        QVERIFY(q.exec(QStringLiteral("SELECT group_concat(shuliang) FROM jinhuo")) && q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("1,3"));
        QCOMPARE(grid->currentIndex().row(), 0);
        QCOMPARE(grid->model()->index(0, 2).data().toString(), QStringLiteral("1"));
        f.click("Command2");
        QVERIFY(q.exec(QStringLiteral("SELECT group_concat(shuliang) FROM jinhuo")) && q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("3"));
        QVERIFY(f.messages.boxes.isEmpty());
    }

    void cancelClearsTheFieldsButNotTheDates()
    {
        Fixture f;
        auto *d1 = f.dialog->findChild<QDateEdit *>(QStringLiteral("DTPicker1"));
        d1->setDate(QDate(2025, 1, 2));
        f.fill(QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("m"));
        f.click("CancelButton");
        for (const char *box : {"Text1", "Text2", "Text3", "Text5", "Text6", "Text7"})
            QVERIFY2(f.edit(box)->text().isEmpty(), box);
        QCOMPARE(d1->date(), QDate(2025, 1, 2));
    }

    void closeAndReopenKeepTheFields()
    {
        // "关闭" only hides the screen: the next opening shows what was typed.
        Fixture f;
        auto *d1 = f.dialog->findChild<QDateEdit *>(QStringLiteral("DTPicker1"));
        d1->setDate(QDate(2026, 1, 31));
        f.fill(QStringLiteral("A"), QStringLiteral("3"), QStringLiteral("1.5"), QStringLiteral("2"),
               QStringLiteral("厂"));
        f.click("Command1");
        QVERIFY(!f.dialog->isVisible());
        QVERIFY(showActive(f.dialog));
        QCOMPARE(f.edit("Text1")->text(), QStringLiteral("A"));
        QCOMPARE(f.edit("Text3")->text(), QStringLiteral("1.5"));
        QCOMPARE(f.edit("Text6")->text(), QStringLiteral("厂"));
        QCOMPARE(d1->date(), QDate(2026, 1, 31));
        f.click("OKButton");
        QCOMPARE(f.rows().size(), 1);
        QVERIFY(f.rows().first().contains(QStringLiteral("|15000|")));
    }

    // Rows are read a page at a time in any order the grid asks for them:
    // from the start, from the end, from the middle, and next to pages read.
    // Every row must be the row a plain reading of the join gives at that place.
    void gridReadsAnyPage_data()
    {
        QTest::addColumn<QList<int>>("order");
        QTest::newRow("start to end") << QList<int>{0, 1, 2, 3, 4, 5, 6};
        QTest::newRow("end first, then backwards") << QList<int>{6, 5, 4, 3, 2, 1, 0};
        QTest::newRow("middle, then around it") << QList<int>{3, 2, 4, 1, 5, 0, 6};
        QTest::newRow("jumps") << QList<int>{5, 1, 3, 6, 0, 4, 2};
    }
    void gridReadsAnyPage()
    {
        QFETCH(QList<int>, order);
        Fixture f;
        f.shop.exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000) "
                                   "INSERT INTO jinhuo (id, code, shuliang, jinjia, shou) "
                                   "SELECT i, CASE WHEN i % 7 = 0 THEN 'GONE' ELSE 'A' END, i, 10000, 20000 FROM n"));
        // A code twice in the catalogue gives each of its purchases twice, so
        // pages end inside a purchase; purchases of a code no longer in the
        // catalogue are not listed.
        f.shop.addGoods(QStringLiteral("A"), QStringLiteral("可乐二"));
        QStringList expected;
        QSqlQuery q(f.shop.db().shop().connection());
        QVERIFY(q.exec(QStringLiteral("SELECT jinhuo.shuliang, name.name FROM jinhuo, name "
                                      "WHERE jinhuo.code = name.code ORDER BY jinhuo.rowid, name.rowid")));
        while (q.next())
            expected << q.value(0).toString() + u'|' + q.value(1).toString();
        QCOMPARE(expected.size(), 2 * (1000 - 1000 / 7));

        PurchaseList list(f.shop.db().shop());
        QVERIFY(list.reload());
        QCOMPARE(list.rowCount(), PurchaseList::PageSize);
        QVERIFY(list.canFetchMore({}));
        list.fetchMore({});
        QVERIFY(!list.canFetchMore({}));
        QCOMPARE(list.rowCount(), expected.size());
        const int pages = (expected.size() + PurchaseList::PageSize - 1) / PurchaseList::PageSize;
        QCOMPARE(pages, 7);
        for (int page : order) {
            // Backwards within the page too, so a page is read from either edge.
            const int first = page * PurchaseList::PageSize;
            const int last = std::min(first + PurchaseList::PageSize, int(expected.size())) - 1;
            for (int row = last; row >= first; --row) {
                const QString shown =
                    list.index(row, 2).data().toString() + u'|' + list.index(row, 1).data().toString();
                QCOMPARE(shown, expected.at(row));
            }
        }
        QVERIFY(list.rowAt(expected.size() - 1).has_value());
        QVERIFY(!list.rowAt(expected.size()).has_value());
    }

    // The count of a long list comes from what the program keeps of the
    // file; purchases and catalogue rows written since, here by another
    // tool, are in the next count.
    void theCountFollowsAnotherToolsWrites()
    {
        Fixture f;
        f.shop.exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 600) "
                                   "INSERT INTO jinhuo (id, code, shuliang, jinjia, shou) "
                                   "SELECT i, 'A', i, 10000, 20000 FROM n"));
        auto counted = [&f] {
            PurchaseList list(f.shop.db().shop());
            list.reload();
            list.fetchMore({});
            return list.rowCount();
        };
        QCOMPARE(counted(), 600);
        sqlite3 *other = nullptr;
        QCOMPARE(sqlite3_open_v2(QFile::encodeName(f.shop.path()).constData(), &other, SQLITE_OPEN_READWRITE, nullptr),
                 SQLITE_OK);
        QCOMPARE(sqlite3_exec(other,
                              "INSERT INTO jinhuo (id, code, shuliang, jinjia, shou) VALUES (601, 'A', 1, 1, 1);"
                              "INSERT INTO name (code, name) VALUES ('A', '可乐二');",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        sqlite3_close(other);
        QCOMPARE(counted(), 2 * 601);
    }
};

QTEST_MAIN(TestPurchases)
#include "tst_purchases.moc"
