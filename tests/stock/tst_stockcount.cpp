#include "gui/stock/stockcountdialog.h"
#include "messagerecorder.h"
#include "shop/adjustments.h"
#include "shop/expiry.h"
#include "shop/salesstore.h"
#include "shop/stockcount.h"
#include "shop/stockfigures.h"
#include "shop/trail.h"
#include "testshop.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>

// 盘点 and 报损: a count against a hand count while another till sells, a
// count posted once, and a write-off of an expired batch taking that batch.
class TestStockCount : public QObject
{
    Q_OBJECT

    static void buy(TestShop &shop, const QString &code, int quantity, const QString &maker, const QString &expires,
                    qint64 priceUnits = 20000)
    {
        shop.exec(QStringLiteral("INSERT INTO jinhuo (id, code, shuliang, jinjia, shou, changjia, jindt, guoqidt) "
                                 "VALUES (1, '%1', %2, %5, 30000, '%3', '2026-01-01', '%4')")
                      .arg(code)
                      .arg(quantity)
                      .arg(maker, expires)
                      .arg(priceUnits));
    }
    static qint64 stockOf(const Shop &shop, const QString &code)
    {
        const StockFigures f = StockFigures::compute(shop);
        for (const StockFigures::Row &r : f.rows)
            if (r.code == code)
                return r.stock;
        return -99999;
    }
    static const StockCount::Line *lineOf(const StockCount::Sheet &sheet, const QString &code)
    {
        for (const StockCount::Line &l : sheet.lines)
            if (l.code == code)
                return &l;
        return nullptr;
    }

private Q_SLOTS:
    void initTestCase() { TestShop::pinLocale(); }

    void aCountWhileAnotherTillSells_data() { addEngineColumn(); }
    void aCountWhileAnotherTillSells()
    {
        QFETCH(bool, server);
        TestShop shop;
        shop.create();
        shop.addGoods(QStringLiteral("A"), QStringLiteral("可乐"));
        shop.addGoods(QStringLiteral("B"), QStringLiteral("雪碧"));
        shop.addGoods(QStringLiteral("C"), QStringLiteral("面包"));
        shop.addGoods(QStringLiteral("N"), QStringLiteral("新货")); // on the shelf, never booked in
        buy(shop, QStringLiteral("A"), 10, QStringLiteral("饮料厂"), QStringLiteral("2027-12-01"));
        // A price below the cent: the stored differences are valued as the list shows them.
        buy(shop, QStringLiteral("B"), 5, QStringLiteral("饮料厂"), QStringLiteral("2027-12-01"), 952584);
        buy(shop, QStringLiteral("C"), 8, QStringLiteral("面包房"), QStringLiteral("2027-12-01"));
        shop.addSale(1, 1, QStringLiteral("B"), 1, Money::fromCents(300)); // B's book: 4
        if (server)
            shop.moveToServer();
        const Shop s = shop.db().shop();
        const auto id = StockCount::start(s, QStringLiteral("饮料厂"));
        QVERIFY2(id, qPrintable(id.errorText()));

        // The hand count: 3 A scanned one by one, B typed as 6, N found.
        for (int i = 0; i < 3; ++i)
            QVERIFY_OK(StockCount::scan(s, *id, QStringLiteral("A")));
        QCOMPARE(StockCount::set(s, *id, QStringLiteral("B"), 6)->counted, 6);
        const auto otherMakers = StockCount::scan(s, *id, QStringLiteral("C")); // another maker's
        QVERIFY(otherMakers.errorText().contains(QStringLiteral("不在这次盘点里")));
        QVERIFY(!StockCount::scan(s, *id, QStringLiteral("X"))); // no such goods
        // Another till sells 2 A after A was counted (on the file, where one
        // program holds the file, a second connection of its own).
        {
            std::unique_ptr<Database> other;
            QSqlDatabase second;
            if (server) {
                ShopConfig two = shop.server();
                two.till = 2;
                Database::Result opened = Database::openServer(two);
                QVERIFY2(opened.database, qPrintable(opened.message));
                other = std::move(opened.database);
            } else {
                second = QSqlDatabase::cloneDatabase(s.connection(), QStringLiteral("second"));
                QVERIFY(second.open());
            }
            if (server) {
                const SalesStore::Stored sold =
                    SalesStore(other->shop())
                        .storeTicket(2, {{QStringLiteral("A"), QStringLiteral("可乐"), 2, Money::fromCents(300),
                                          Money::fromCents(300), Money::fromCents(600), QDateTime::currentDateTime()}});
                QVERIFY2(sold.ok, qPrintable(sold.error));
            } else {
                QVERIFY(QSqlQuery(second).exec(
                    QStringLiteral("INSERT INTO xiaoshou (id, danjuhao, code, shuliang, shoujia, jine, dt) "
                                   "VALUES (2, 2, 'A', 2, 30000, 60000, '2026-12-10 10:00:00')")));
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("second"));
        QCOMPARE(stockOf(s, QStringLiteral("A")), 8);

        const StockCount::Sheet sheet = StockCount::sheet(s, *id);
        QVERIFY2(sheet.ok, qPrintable(sheet.error));
        QCOMPARE(sheet.lines.size(), 2); // A and B: C is another maker's, N outside the maker
        const StockCount::Line *a = lineOf(sheet, QStringLiteral("A"));
        QVERIFY(a && a->counted == 3);
        QCOMPARE(a->book, 10); // as it was when counted, not after the sale
        QCOMPARE(a->difference, -7);
        QVERIFY(a->soldSince);
        QCOMPARE(a->value.toExactString(), QStringLiteral("-14.0000"));
        const StockCount::Line *b = lineOf(sheet, QStringLiteral("B"));
        QVERIFY(b && b->difference == 2 && !b->soldSince);
        QCOMPARE(sheet.totalDifference, -5);
        QCOMPARE(sheet.notCounted, 0);

        QCOMPARE(b->value.toExactString(), QStringLiteral("190.5200"));
        QCOMPARE(StockCount::post(s, *id).valueOr(-1), 2);
        QSqlQuery value(s.connection());
        QVERIFY(value.exec(QStringLiteral("SELECT SUM(jine) FROM tiaozheng")) && value.next());
        QCOMPARE(value.value(0).toLongLong(), sheet.totalValue.units());
        // The shelf had 3 A when counted and 2 were sold since: 1 left.
        QCOMPARE(stockOf(s, QStringLiteral("A")), 1);
        QCOMPARE(stockOf(s, QStringLiteral("B")), 6);
        QCOMPARE(stockOf(s, QStringLiteral("C")), 8);
        // Posted once: neither posted again nor counted on.
        QVERIFY(StockCount::post(s, *id).errorText().contains(QStringLiteral("已经过账")));
        QVERIFY(!StockCount::scan(s, *id, QStringLiteral("A")));
        QCOMPARE(stockOf(s, QStringLiteral("A")), 1);
        const auto records = Trail::list(s, QDate::currentDate(), QDate::currentDate(), QStringLiteral("盘点过账"));
        QVERIFY(records && records->size() == 1);
        QVERIFY(records->first().what.contains(QStringLiteral("2 个货号有差异，共 -5 件")));

        // A count of all goods takes in N, which the book never had.
        const auto all = StockCount::start(s, QString());
        QVERIFY(all);
        QVERIFY_OK(StockCount::setMany(s, *all, {{QStringLiteral("N"), 4}, {QStringLiteral("C"), 8}}));
        QVERIFY(StockCount::setMany(s, *all, {{QStringLiteral("C"), 1}, {QStringLiteral("X"), 2}})
                    .errorText()
                    .startsWith(QStringLiteral("第 2 行")));
        const StockCount::Sheet second = StockCount::sheet(s, *all);
        QCOMPARE(lineOf(second, QStringLiteral("C"))->counted, std::optional<qint64>(8)); // the bad file stored nothing
        QCOMPARE(second.notCounted, 2);
        QVERIFY_OK(StockCount::post(s, *all));
        QCOMPARE(stockOf(s, QStringLiteral("N")), 4);
    }

    // The screen as the keeper uses it: a new count, three scans at scanner
    // speed, a typed figure, 过账 answered yes; then nothing more to count.
    void theScreenCountsAndPostsOnce()
    {
        TestShop shop;
        shop.create();
        shop.addGoods(QStringLiteral("A"), QStringLiteral("可乐"));
        buy(shop, QStringLiteral("A"), 10, QStringLiteral("饮料厂"), QStringLiteral("2027-12-01"));
        MessageRecorder messages;
        StockCountDialog dialog(shop.db().shop());
        QVERIFY(showActive(&dialog));
        auto *code = dialog.findChild<QLineEdit *>(QStringLiteral("Text1"));
        auto *quantity = dialog.findChild<QLineEdit *>(QStringLiteral("Text2"));
        QVERIFY(!code->isEnabled()); // no count yet
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("Command1")), Qt::LeftButton);
        QVERIFY(code->isEnabled() && code->hasFocus());
        for (int i = 0; i < 3; ++i) {
            QTest::keyClicks(code, QStringLiteral("A"));
            QTest::keyClick(code, Qt::Key_Return);
        }
        QCOMPARE(dialog.sheet().lines.at(0).counted, std::optional<qint64>(3));
        QTest::keyClicks(code, QStringLiteral("A"));
        QTest::keyClick(code, Qt::Key_Tab);
        QTest::keyClicks(quantity, QStringLiteral("7"));
        QTest::keyClick(quantity, Qt::Key_Return);
        QCOMPARE(dialog.sheet().lines.at(0).counted, std::optional<qint64>(7));
        QVERIFY(code->hasFocus() && code->text().isEmpty());
        QCOMPARE(messages.boxes.size(), 0);
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("Command4")), Qt::LeftButton);
        QVERIFY2(messages.texts().join(u'|').contains(QStringLiteral("1 个货号有差异（合计 -3 件")),
                 qPrintable(messages.texts().join(u'|')));
        QCOMPARE(shop.count(QStringLiteral("tiaozheng")), 1);
        QVERIFY(!code->isEnabled());
        QVERIFY(!dialog.findChild<QPushButton *>(QStringLiteral("Command4"))->isEnabled());
    }

    void aWriteOffOfAnExpiredBatchTakesThatBatch_data() { addEngineColumn(); }
    void aWriteOffOfAnExpiredBatchTakesThatBatch()
    {
        QFETCH(bool, server);
        TestShop shop;
        shop.create();
        shop.addGoods(QStringLiteral("M"), QStringLiteral("牛奶"));
        // The older purchase keeps longer than the newer, short-dated one.
        buy(shop, QStringLiteral("M"), 10, QStringLiteral("奶厂"), QStringLiteral("2027-06-01"));
        buy(shop, QStringLiteral("M"), 10, QStringLiteral("奶厂"), QStringLiteral("2026-12-01"));
        shop.addSale(1, 1, QStringLiteral("M"), 5, Money::fromCents(300));
        if (server)
            shop.moveToServer();
        const Shop s = shop.db().shop();
        const QDate today(2026, 12, 10);
        ExpiryFigures before = ExpiryFigures::compute(s, today, 0);
        QVERIFY2(before.ok, qPrintable(before.error));
        QCOMPARE(before.rows.size(), 1);
        QCOMPARE(before.rows[0].quantity, 10); // the newer batch, expired
        QVERIFY_OK(Adjustments::writeOff(
            s, {QStringLiteral("M"), before.rows[0].quantity, QStringLiteral("过期"), before.rows[0].batch}));
        QCOMPARE(ExpiryFigures::compute(s, today, 0).rows.size(), 0);
        const ExpiryFigures after = ExpiryFigures::compute(s, today, 365);
        QCOMPARE(after.rows.size(), 1);
        QCOMPARE(after.rows[0].quantity, 5); // what is left lies on the older batch
        QCOMPARE(after.rows[0].expires, QDate(2027, 6, 1));
        QCOMPARE(stockOf(s, QStringLiteral("M")), 5);
        const auto entries = Adjustments::of(s, QStringLiteral("M"));
        QVERIFY(entries && entries->size() == 1);
        QCOMPARE(entries->first().value.toExactString(), QStringLiteral("-20.0000"));
        // A write-off by code with a typed reason; none of nothing.
        QVERIFY_OK(Adjustments::writeOff(s, {QStringLiteral("M"), 1, QStringLiteral("老鼠咬了"), std::nullopt}));
        QVERIFY(!Adjustments::writeOff(s, {QStringLiteral("M"), 0, QStringLiteral("过期"), std::nullopt}));
        QVERIFY(Adjustments::writeOff(s, {QStringLiteral("MX"), 1, QStringLiteral("过期"), std::nullopt})
                    .errorText()
                    .contains(QStringLiteral("没有货号")));
        QCOMPARE(stockOf(s, QStringLiteral("M")), 4);
        QCOMPARE(Trail::list(s, QDate::currentDate(), QDate::currentDate(), QStringLiteral("报损"))->size(), 2);
    }
};

QTEST_MAIN(TestStockCount)
#include "tst_stockcount.moc"
