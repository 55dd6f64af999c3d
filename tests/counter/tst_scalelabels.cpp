#include "counterfixture.h"
#include "gui/stock/minimumstockbox.h"
#include "messagerecorder.h"
#include "shop/checkout.h"
#include "shop/goodscatalogue.h"
#include "shop/reorder.h"
#include "shop/salesfigures.h"
#include "shop/scalegoods.h"
#include "shop/stockfigures.h"
#include "shop/ticket.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>

// Weighed goods from a label scale: reading the two common label formats,
// ringing a label up at the counter and storing it, and the figures of
// weighed goods in kg.
class TestScaleLabels : public QObject
{
    Q_OBJECT

    // A label of the digits with its check digit made.
    static QString label(const char *digits) { return ScaleLabel::withCheckDigit(QString::fromLatin1(digits)); }

    // Apples (D) sold by weight under scale code 123: 50 kg bought at 6.00
    // per kg, sold at 12.98 per kg; the two ready formats.
    static void weighedApples(TestShop &shop)
    {
        QVERIFY_OK(ScaleGoods::setFormats(shop.db().shop(), LabelFormat::ready()));
        shop.addGoods(QStringLiteral("D"), QStringLiteral("散装苹果"));
        shop.exec(QStringLiteral("INSERT INTO jinhuo (id, code, shuliang, jinjia, shou, huiyuanjia, changjia, jindt, "
                                 "guoqidt) VALUES (9, 'D', 50000, 60000, 129800, 129800, '果园', '2026-12-01', "
                                 "'2026-12-20')"));
        QVERIFY_OK(ScaleGoods::setWeighed(shop.db().shop(), QStringLiteral("D"), QStringLiteral("000123")));
    }

private Q_SLOTS:
    void initTestCase() { TestShop::pinLocale(); }

    void read_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("read"); // ScaleLabel::Read
        QTest::addColumn<QString>("scaleCode");
        QTest::addColumn<qint64>("cents"); // -1: no amount on the label
        QTest::addColumn<qint64>("grams"); // -1: no weight on the label
        const int L = int(ScaleLabel::Read::Label);
        QTest::newRow("13: amount 12.34") << label("200012301234") << L << "000123" << 1234LL << -1LL;
        QTest::newRow("13: amount 0") << label("200012300000") << L << "000123" << 0LL << -1LL;
        QTest::newRow("13: amount 999.99") << label("200012399999") << L << "000123" << 99999LL << -1LL;
        QTest::newRow("18: amount and weight") << label("21001230059200456") << L << "00123" << 592LL << 456LL;
        QTest::newRow("18: flag 29") << label("29001230000100001") << L << "00123" << 1LL << 1LL;
        QString wrong = label("200012301234");
        wrong.back() = QChar(u'0' + (wrong.back().unicode() - u'0' + 1) % 10);
        QTest::newRow("wrong check digit") << wrong << int(ScaleLabel::Read::BadCheck) << "" << -1LL << -1LL;
        QTest::newRow("an EAN-13 goods code")
            << QStringLiteral("6901234567892") << int(ScaleLabel::Read::NotLabel) << "" << -1LL << -1LL;
        QTest::newRow("flag 2 but 14 digits")
            << label("2000123012345") << int(ScaleLabel::Read::NotLabel) << "" << -1LL << -1LL;
        QTest::newRow("18 digits, flag 19")
            << label("19001230059200456") << int(ScaleLabel::Read::NotLabel) << "" << -1LL << -1LL;
    }

    void read()
    {
        QFETCH(QString, code);
        QFETCH(int, read);
        QFETCH(QString, scaleCode);
        QFETCH(qint64, cents);
        QFETCH(qint64, grams);
        ScaleLabel l;
        QCOMPARE(int(ScaleLabel::read(LabelFormat::ready(), code, &l)), read);
        if (read != int(ScaleLabel::Read::Label))
            return;
        QCOMPARE(l.scaleCode, scaleCode);
        QCOMPARE(l.amount ? qint64(l.amount->units() / 100) : qint64(-1), cents);
        QCOMPARE(qint64(l.grams.value_or(-1)), grams);
    }

    // What a label charges: its amount exactly; the part it lacks from the
    // price per kg, the amount rounded half up to the fen as the scale does.
    void weighedLine_data()
    {
        QTest::addColumn<qint64>("labelCents"); // -1: none
        QTest::addColumn<qint64>("labelGrams"); // -1: none
        QTest::addColumn<qint64>("perKgCents");
        QTest::addColumn<qint64>("cents");
        QTest::addColumn<qint64>("grams");
        QTest::addColumn<qint64>("chargedPerKgCents");
        QTest::newRow("both: the label's amount") << 592LL << 456LL << 1298LL << 592LL << 456LL << 1298LL;
        QTest::newRow("weight only: 4.32567 up") << -1LL << 333LL << 1299LL << 433LL << 333LL << 1299LL;
        QTest::newRow("weight only: a half fen up") << -1LL << 125LL << 398LL << 50LL << 125LL << 398LL;
        QTest::newRow("weight only: 9.99975 to 10.00") << -1LL << 1005LL << 995LL << 1000LL << 1005LL << 995LL;
        QTest::newRow("amount only: grams it buys") << 592LL << -1LL << 1298LL << 592LL << 456LL << 1298LL;
        QTest::newRow("amount 0") << 0LL << -1LL << 1298LL << 0LL << 0LL << 1298LL;
    }

    void weighedLine()
    {
        QFETCH(qint64, labelCents);
        QFETCH(qint64, labelGrams);
        QFETCH(qint64, perKgCents);
        ScaleLabel l;
        if (labelCents >= 0)
            l.amount = Money::fromCents(labelCents);
        if (labelGrams >= 0)
            l.grams = labelGrams;
        const auto line = ScaleGoods::lineOf(l, Money::fromCents(perKgCents));
        QVERIFY(line);
        QFETCH(qint64, cents);
        QFETCH(qint64, grams);
        QFETCH(qint64, chargedPerKgCents);
        QCOMPARE(line->amount, Money::fromCents(cents));
        QCOMPARE(line->grams, grams);
        QCOMPARE(line->perKg, Money::fromCents(chargedPerKgCents));
    }

    void formatProblems_data()
    {
        QTest::addColumn<QString>("flags");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("amount");
        QTest::addColumn<int>("weight");
        QTest::addColumn<bool>("usable");
        QTest::newRow("ready 13") << "2" << 13 << 6 << 5 << 0 << true;
        QTest::newRow("weight only, flag 28") << "28" << 13 << 5 << 0 << 5 << true;
        QTest::newRow("digits do not add up") << "2" << 13 << 5 << 5 << 0 << false;
        QTest::newRow("flags of two lengths") << "2,21" << 13 << 6 << 5 << 0 << false;
        QTest::newRow("range backwards") << "29-20" << 18 << 5 << 5 << 5 << false;
        QTest::newRow("neither amount nor weight") << "2" << 13 << 11 << 0 << 0 << false;
        QTest::newRow("length 12") << "2" << 12 << 5 << 5 << 0 << false;
    }

    void formatProblems()
    {
        LabelFormat f;
        QFETCH(QString, flags);
        f.flags = flags;
        QFETCH(int, length);
        f.length = length;
        QFETCH(int, code);
        f.codeDigits = code;
        QFETCH(int, amount);
        f.amountDigits = amount;
        QFETCH(int, weight);
        f.weightDigits = weight;
        QFETCH(bool, usable);
        QCOMPARE(f.problem().isEmpty(), usable);
    }

    // A label rung up by the till's checkout and stored: one line of the
    // goods, its grams as the quantity, the price per kg and the label's
    // amount; on both engines.
    void labelStored_data() { addEngineColumn(); }
    void labelStored()
    {
        QFETCH(bool, server);
        TestShop shop;
        shop.create();
        weighedApples(shop);
        if (server)
            shop.moveToServer();
        const Shop s = shop.db().shop();
        Checkout checkout(s);
        checkout.reloadLabelFormats();
        GoodsCatalogue catalogue(s);
        const auto ring = checkout.ringLabel(catalogue, label("21001230059200456"));
        QVERIFY_OK(ring);
        QCOMPARE(int(ring->outcome), int(Checkout::LabelRing::Added));
        const TicketLine line = checkout.ticket()->line(0);
        QVERIFY(line.weighed);
        QCOMPARE(line.quantityText(), QStringLiteral("0.456kg"));
        QCOMPARE(checkout.ticket()->quantityTotal(), 1);
        const auto paid =
            Checkout::settle(checkout.ticket()->amountTotal(), PaymentMethod::Cash, Money::fromCents(1000));
        QVERIFY(paid);
        QCOMPARE(paid->change, Money::fromCents(408));
        const auto stored = checkout.store(PaymentMethod::Cash, *paid);
        QVERIFY2(stored.ok, qPrintable(stored.error));
        QSqlQuery q(s.connection());
        QVERIFY(q.exec(QStringLiteral("SELECT code, shuliang, shoujia, jine FROM xiaoshou")) && q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("D"));
        QCOMPARE(q.value(1).toLongLong(), 456);
        QCOMPARE(q.value(2).toLongLong(), 129800);
        QCOMPARE(q.value(3).toLongLong(), 59200);
        QVERIFY(!q.next());

        // The figures: kg, and the cost and stock value per kg.
        const QDate today = QDate::currentDate();
        const SalesFigures sales = SalesFigures::compute(s, today, today);
        QVERIFY2(sales.ok, qPrintable(sales.error));
        QCOMPARE(sales.rows.size(), 1);
        QCOMPARE(SalesFigures::text(sales.rows.first(), 2), QStringLiteral("0.456"));
        QCOMPARE(sales.rows.first().profit, Money::fromCents(318)); // 5.92 − 6.00 × 0.456
        QCOMPARE(sales.totalProfit, Money::fromCents(318));
        const StockFigures stock = StockFigures::compute(s);
        QVERIFY2(stock.ok, qPrintable(stock.error));
        const auto apples = std::find_if(stock.rows.cbegin(), stock.rows.cend(),
                                         [](const StockFigures::Row &r) { return r.code == u"D"; });
        QVERIFY(apples != stock.rows.cend());
        QCOMPARE(StockFigures::text(*apples, 4), QStringLiteral("50.000"));
        QCOMPARE(StockFigures::text(*apples, 5), QStringLiteral("49.544"));
        QCOMPARE(apples->value, Money::fromCents(29726)); // 6.00 × 49.544
    }

    // A weighed goods' minimum stock is typed in kg (kept in grams), a
    // piece goods' in whole pieces.
    void minimumTypedInKg_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<qint64>("kept"); // -1: refused
        QTest::addColumn<QString>("shown");
        QTest::newRow("2.5 kg") << QStringLiteral("D") << QStringLiteral("2.5") << qint64(2500)
                                << QStringLiteral("2.500");
        QTest::newRow("kg past the gram") << QStringLiteral("D") << QStringLiteral("2.5001") << qint64(-1) << QString();
        QTest::newRow("pieces") << QStringLiteral("A") << QStringLiteral("3") << qint64(3) << QStringLiteral("3");
        QTest::newRow("a piece goods in kg") << QStringLiteral("A") << QStringLiteral("2.5") << qint64(-1) << QString();
    }

    void minimumTypedInKg()
    {
        QFETCH(QString, code);
        QFETCH(QString, typed);
        QFETCH(qint64, kept);
        QFETCH(QString, shown);
        TestShop shop;
        shop.create();
        shop.addGoods(QStringLiteral("A"), QStringLiteral("可乐"));
        weighedApples(shop);
        MessageRecorder messages;
        MinimumStockBox box(shop.db().shop());
        box.setCode(code);
        auto *minimum = box.findChild<QLineEdit *>(QStringLiteral("Text5"));
        minimum->setText(typed);
        box.findChild<QPushButton *>(QStringLiteral("Command7"))->click();
        const auto stored = MinimumStock::of(shop.db().shop(), code);
        QVERIFY(stored);
        QCOMPARE(stored->value_or(-1), kept);
        QCOMPARE(messages.boxes.size(), 1); // saved, or why not
        if (kept < 0)
            return;
        box.setCode(code);
        QCOMPARE(minimum->text(), shown);
    }

    // At the counter a refused label says why, and the code box is ready for
    // the next scan; a weighed goods' own code is not sold by the piece.
    void refusedAtTheCounter_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("message");
        QString wrong = label("21001230059200456");
        wrong.back() = QChar(u'0' + (wrong.back().unicode() - u'0' + 3) % 10);
        QTest::newRow("wrong check digit") << wrong << QStringLiteral("称重条码的校验位不对，请重新扫描！");
        QTest::newRow("unknown scale code")
            << label("21009990059200456") << QStringLiteral("没有这个秤码的称重商品，请先在“货名管理”中设定！");
        QTest::newRow("also a goods code") << label("200012301234")
                                           << QStringLiteral("这个条码既是货物代码又符合条码秤格式，不能确定是哪一种，"
                                                             "请检查条码秤格式！");
        QTest::newRow("the weighed goods' own code")
            << QStringLiteral("D") << QStringLiteral("这是称重商品，请扫描条码秤打出的秤签！");
    }

    void refusedAtTheCounter()
    {
        QFETCH(QString, code);
        QFETCH(QString, message);
        CounterFixture f;
        weighedApples(f.shop);
        f.shop.addGoods(label("200012301234"), QStringLiteral("店内码商品"));
        f.window->reloadScaleSettings();
        f.key(Qt::Key_F1);
        f.type("Text1", label("21001230059200456"));
        f.key(Qt::Key_Return);
        QCOMPARE(f.messages.texts(), QStringList());
        QCOMPARE(f.window->ticket()->lineCount(), 1);
        QCOMPARE(f.text("Label10"), QStringLiteral("1"));
        f.type("Text1", code);
        f.key(Qt::Key_Return);
        QCOMPARE(f.messages.texts(), QStringList{message});
        QCOMPARE(f.window->ticket()->lineCount(), 1);
        QCOMPARE(QApplication::focusWidget(), f.edit("Text1"));
        QCOMPARE(f.edit("Text1")->selectedText(), code);
    }
};

QTEST_MAIN(TestScaleLabels)
#include "tst_scalelabels.moc"
