#include "gui/sheetexport.h"
#include "gui/stock/cataloguedialog.h"
#include "gui/stock/purchasedialog.h"
#include "messagerecorder.h"
#include "shop/csvimport.h"
#include "testshop.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <iconv.h>

// Goods and purchases from a supplier's CSV: odd files read or refused with
// a clear message, every problem found before anything is stored, and
// nothing stored while one is left.
class TestCsvImport : public QObject
{
    Q_OBJECT

    static QByteArray gb18030(const QString &text)
    {
        const QByteArray utf8 = text.toUtf8();
        iconv_t cd = iconv_open("GB18030", "UTF-8");
        QByteArray out(utf8.size() * 2, Qt::Uninitialized);
        char *in = const_cast<char *>(utf8.constData()), *to = out.data();
        size_t inLeft = size_t(utf8.size()), outLeft = size_t(out.size());
        iconv(cd, &in, &inLeft, &to, &outLeft);
        iconv_close(cd);
        out.truncate(out.size() - qsizetype(outLeft));
        return out;
    }

    static QStringList names(TestShop &shop)
    {
        QSqlQuery q(shop.db().shop().connection());
        q.exec(QStringLiteral("SELECT code, name FROM name ORDER BY rowid"));
        QStringList all;
        while (q.next())
            all.append(q.value(0).toString() + u'=' + q.value(1).toString());
        return all;
    }

private Q_SLOTS:
    void initTestCase() { TestShop::pinLocale(); }

    void goods_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("refusal"); // the file's error or the first problem; empty: stored
        QTest::addColumn<QStringList>("stored");
        const QByteArray header = "货号,货名,最低库存\r\n";
        QTest::newRow("quotes and line breaks")
            << header + "A1,\"矿泉水, 550ml\",5\r\nA2,\"两行\n名字\",\r\n"
            << QString() << strings({"A0=旧货", "A1=矿泉水, 550ml", "A2=两行\n名字"});
        QTest::newRow("a BOM") << "\xEF\xBB\xBF" + header + "A1,可乐\r\n"
                               << QString() << strings({"A0=旧货", "A1=可乐"});
        QTest::newRow("GB18030") << gb18030(QStringLiteral("货号,货名\r\nA1,纯牛奶\r\n")) << QString()
                                 << strings({"A0=旧货", "A1=纯牛奶"});
        QTest::newRow("semicolons, as Excel writes in Germany or France")
            << QByteArray("货号;货名;最低库存\r\nA1;\"可乐; 330ml\";3\r\nA2;牛奶, 1L;\r\n") << QString()
            << strings({"A0=旧货", "A1=可乐; 330ml", "A2=牛奶, 1L"});
        QTest::newRow("no header") << QByteArray("B1,薯片\nB2,毛巾\n") << QString()
                                   << strings({"A0=旧货", "B1=薯片", "B2=毛巾"});
        QTest::newRow("a 10 MB line") << header + "A1," + QByteArray(10 << 20, 'x') + "\r\n"
                                      << QStringLiteral("第 2 行太长") << QStringList();
        QTest::newRow("truncated") << header + "A1,\"矿泉" << QStringLiteral("文件在引号里结束") << QStringList();
        QTest::newRow("not text") << QByteArray("A1,\0\x01\x02", 6) << QStringLiteral("这不是文本文件")
                                  << QStringList();
        QTest::newRow("neither UTF-8 nor GB18030")
            << QByteArray("A1,\xFF\xFF\r\n") << QStringLiteral("编码") << QStringList();
        QTest::newRow("code twice") << header + "A1,可乐\r\nA1,雪碧\r\n"
                                    << QStringLiteral("第 3 行：货号 A1 在第 2 行已经有了") << QStringList();
        QTest::newRow("code in the catalogue") << header + "A0,新货\r\n"
                                               << QStringLiteral("第 2 行：货号 A0 已经在货名表里") << QStringList();
        QTest::newRow("no name") << header + "A1,,3\r\n" << QStringLiteral("第 2 行：货名是空的") << QStringList();
        QTest::newRow("name too long") << header + "A1," + QString(51, QChar(0x6C34)).toUtf8() + "\r\n"
                                       << QStringLiteral("第 2 行：货名超过 50 个字") << QStringList();
        QTest::newRow("bad minimum") << header + "A1,可乐,三\r\n"
                                     << QStringLiteral("第 2 行：最低库存“三”不是整数") << QStringList();
        // Other programs' captions are a header, and the columns are found by them.
        QTest::newRow("another program's header")
            << QByteArray("商品编码,商品名称\r\nA1,可乐\r\n") << QString() << strings({"A0=旧货", "A1=可乐"});
        QTest::newRow("name first") << QByteArray("货名,货号\r\n可乐,A1\r\n") << QString()
                                    << strings({"A0=旧货", "A1=可乐"});
        QTest::newRow("品名 and 条码") << QByteArray("品名,条码,最低库存\r\n可乐,A1,4\r\n") << QString()
                                       << strings({"A0=旧货", "A1=可乐"});
        QTest::newRow("a header without codes")
            << QByteArray("名称,数量\r\n可乐,3\r\n") << QStringLiteral("标题行里没有“货号”") << QStringList();
        QTest::newRow("a formula kept from the export") << header + "'=1+1,'@名\r\n"
                                                        << QString() << strings({"A0=旧货", "=1+1=@名"});
    }

    void goods()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, refusal);
        QFETCH(QStringList, stored);
        TestShop shop;
        shop.create();
        shop.addGoods(QStringLiteral("A0"), QStringLiteral("旧货"));
        const CsvImport::Goods goods = CsvImport::checkGoods(shop.db().shop(), CsvImport::Source::text(file));
        const Done done = goods.error.isEmpty() ? CsvImport::storeGoods(shop.db().shop(), goods) : Error{goods.error};
        const bool ok = done.ok();
        if (refusal.isEmpty()) {
            QVERIFY2(ok, qPrintable(done.errorText()));
            QCOMPARE(names(shop), stored);
        } else {
            QVERIFY(!ok);
            const QString first = !goods.error.isEmpty() ? goods.error
                                                         : QStringLiteral("第 %1 行：%2")
                                                               .arg(goods.problems.value(0).line)
                                                               .arg(goods.problems.value(0).text);
            QVERIFY2(first.contains(refusal), qPrintable(first));
            QCOMPARE(names(shop), strings({"A0=旧货"}));
        }
    }

    void purchasesAreStoredWholeOrNotAtAll_data() { addEngineColumn(); }

    void purchasesAreStoredWholeOrNotAtAll()
    {
        QFETCH(bool, server);
        TestShop shop;
        shop.create();
        shop.addGoods(QStringLiteral("A"), QStringLiteral("可乐"));
        shop.addPurchase(QStringLiteral("A"), 1, Money::fromCents(100));
        if (server)
            shop.moveToServer();
        const Shop handle = shop.db().shop();
        const QSqlDatabase db = handle.connection();
        const QByteArray bad = "A,5,1.50,2.50,甲厂,2026-12-01,2027-06-01\n"
                               "X,5,1.50,2.50,甲厂,2026-12-01,2027-06-01\n"
                               "A,五,1.50,2.50,甲厂,2026-12-01,2027-06-01\n"
                               "A,5,abc,2.50,甲厂,2026-12-01,2027-06-01\n"
                               "A,5,1.50,2.50,甲厂,2026-13-01,2027-06-01\n";
        const CsvImport::Purchases refused = CsvImport::checkPurchases(handle, CsvImport::Source::text(bad));
        QStringList problems;
        for (const CsvImport::Problem &p : refused.problems)
            problems.append(QStringLiteral("%1 %2").arg(p.line).arg(p.text));
        QCOMPARE(problems, strings({"2 没有货号 X（请先在货名管理里输入）", "3 数量“五”不是 1 到 32767 的整数",
                                    "4 进价“abc”不是金额", "5 进货日期“2026-13-01”不是日期（2026-12-09）"}));
        QVERIFY(!CsvImport::storePurchases(handle, refused));
        QCOMPARE(shop.count(QStringLiteral("jinhuo")), 1);

        const CsvImport::Purchases good = CsvImport::checkPurchases(
            handle, CsvImport::Source::text(
                        "A,5,1.50,2.50,甲厂,2026-12-01,2027-06-01\nA,7,1.60,2.80,乙厂,2026/12/2,2027-07-01\n"));
        // Split by semicolons, "1,50" is ¥1.50.
        const CsvImport::Purchases european = CsvImport::checkPurchases(
            handle, CsvImport::Source::text(
                        "A;5;1,50;2,50;甲厂;2026-12-01;2027-06-01\nA;7;1.60;2,80;乙厂;2026/12/2;2027-07-01\n"));
        QVERIFY(european.problems.isEmpty());
        QCOMPARE(european.rowAt(0).purchasePrice, Money::fromCents(150));
        QCOMPARE(european.rowAt(1).sellingPrice, Money::fromCents(280));
        QVERIFY(good.problems.isEmpty());
        QVERIFY_OK(CsvImport::storePurchases(handle, good));
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("SELECT id, shuliang, jinjia, shou, changjia FROM jinhuo ORDER BY rowid")));
        QStringList rows;
        while (q.next())
            rows.append(QStringLiteral("%1 %2 %3 %4 %5")
                            .arg(q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                                 q.value(3).toString(), q.value(4).toString()));
        QCOMPARE(rows.mid(1), strings({"2 5 15000 25000 甲厂", "3 7 16000 28000 乙厂"}));
    }

    void purchaseQuantities_data()
    {
        QTest::addColumn<QString>("quantity");
        QTest::addColumn<bool>("ok");
        QTest::newRow("0") << QStringLiteral("0") << false;
        QTest::newRow("1") << QStringLiteral("1") << true;
        QTest::newRow("32767") << QStringLiteral("32767") << true;
        QTest::newRow("32768") << QStringLiteral("32768") << false;
        QTest::newRow("-1") << QStringLiteral("-1") << false;
    }

    void purchaseQuantities()
    {
        // The same bounds as the purchase screen's.
        QFETCH(QString, quantity);
        QFETCH(bool, ok);
        TestShop shop;
        shop.create();
        shop.addGoods(QStringLiteral("A"), QStringLiteral("可乐"));
        const CsvImport::Purchases p = CsvImport::checkPurchases(
            shop.db().shop(),
            CsvImport::Source::text(
                QStringLiteral("A,%1,1.50,2.50,甲厂,2026-12-01,2027-06-01\n").arg(quantity).toUtf8()));
        QCOMPARE(p.problems.isEmpty(), ok);
        if (ok)
            QCOMPARE(p.rowAt(0).quantity, quantity.toLongLong());
    }

    void aRowThatFailsWhileStoringLeavesNothing()
    {
        // The second row is refused by the database itself: the first goes too.
        TestShop shop;
        shop.create();
        shop.addGoods(QStringLiteral("A"), QStringLiteral("可乐"));
        shop.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON jinhuo WHEN NEW.shuliang = 7 "
                                 "BEGIN SELECT RAISE(ABORT, 'disk full'); END"));
        shop.exec(QStringLiteral("CREATE TRIGGER refuseName BEFORE INSERT ON name WHEN NEW.code = 'C' "
                                 "BEGIN SELECT RAISE(ABORT, 'disk full'); END"));
        const Shop handle = shop.db().shop();
        const QSqlDatabase db = handle.connection();
        const CsvImport::Purchases purchases = CsvImport::checkPurchases(
            handle, CsvImport::Source::text(
                        "A,5,1.50,2.50,甲厂,2026-12-01,2027-06-01\nA,7,1.60,2.80,乙厂,2026-12-02,2027-07-01\n"));
        QVERIFY(purchases.problems.isEmpty());
        const Done refusedByDisk = CsvImport::storePurchases(handle, purchases);
        QVERIFY2(refusedByDisk.errorText().contains(QStringLiteral("disk full")),
                 qPrintable(refusedByDisk.errorText()));
        QCOMPARE(shop.count(QStringLiteral("jinhuo")), 0);
        const CsvImport::Goods goods = CsvImport::checkGoods(handle, CsvImport::Source::text("B,薯片,3\nC,毛巾\n"));
        QVERIFY(goods.problems.isEmpty());
        QVERIFY(!CsvImport::storeGoods(handle, goods));
        QCOMPARE(names(shop), strings({"A=可乐"}));
        QCOMPARE(shop.count(QStringLiteral("zuidi")), 0);
    }

    void theImportButtonPreviewsAndStores()
    {
        // 货名管理's 导入 as the keeper uses it: the file chosen, the preview
        // (the grid lazily filled), 确定, the count said.
        TestShop shop;
        shop.create();
        const QString csv = shop.dir() + QStringLiteral("/goods.csv");
        {
            QFile f(csv);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QByteArray text = "商品编码,商品名称\r\n";
            for (int i = 0; i < 3000; ++i)
                text += "G" + QByteArray::number(i) + ",货" + QByteArray::number(i) + "\r\n";
            f.write(text);
        }
        MessageRecorder messages;
        CatalogueDialog catalogue(shop.db().shop());
        int previewRows = -1;
        QString summary;
        QTimer answer;
        answer.setInterval(10);
        QElapsedTimer since;
        since.start();
        QObject::connect(&answer, &QTimer::timeout, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            // A box that would not close fails the test instead of hanging it.
            if (auto *stuck = qobject_cast<QDialog *>(modal); stuck && since.hasExpired(20000)) {
                stuck->reject();
                return;
            }
            if (auto *files = qobject_cast<QFileDialog *>(modal)) {
                // Typed whole into the name box, as a keeper would.
                if (auto *name = files->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
                    name->setText(csv);
                QMetaObject::invokeMethod(files, "accept");
            } else if (modal && modal->objectName() == u"frmdaoru") {
                previewRows = modal->findChild<QTableView *>(QStringLiteral("DataGrid1"))->model()->rowCount();
                summary = modal->findChild<QLabel *>(QStringLiteral("Label1"))->text();
                QTest::mouseClick(modal->findChild<QPushButton *>(QStringLiteral("OKButton")), Qt::LeftButton);
            }
        });
        answer.start();
        QTest::mouseClick(catalogue.findChild<QPushButton *>(QStringLiteral("ImportButton")), Qt::LeftButton);
        answer.stop();
        QVERIFY(previewRows > 0 && previewRows < 3000); // given to the view a batch at a time
        QCOMPARE(summary, QStringLiteral("共 3000 行，没有发现问题。点“确定”全部保存。"));
        QCOMPARE(messages.texts(), QStringList{QStringLiteral("已导入 3000 行。")});
        QCOMPARE(shop.count(QStringLiteral("name")), 3000);
    }

    void cancelledWorkStoresNothing()
    {
        TestShop shop;
        shop.create();
        const Shop handle = shop.db().shop();
        const QSqlDatabase db = handle.connection();
        const CsvImport::Cancelled yes = [] { return true; };
        QCOMPARE(CsvImport::checkGoods(handle, CsvImport::Source::text("A1,可乐\n"), yes).error,
                 CsvImport::CancelledText);
        const CsvImport::Goods goods = CsvImport::checkGoods(handle, CsvImport::Source::text("A1,可乐\nA2,雪碧\n"));
        QCOMPARE(CsvImport::storeGoods(handle, goods, yes).errorText(), CsvImport::CancelledText);
        QCOMPARE(shop.count(QStringLiteral("name")), 0);
    }

    void rowsAreReadBackFromTheFile()
    {
        // The check keeps no rows: the preview reads them back a block at a
        // time, names with line breaks moving the lines, and a file changed
        // after its check stores nothing.
        TestShop shop;
        shop.create();
        const QString csv = shop.dir() + QStringLiteral("/goods.csv");
        QFile f(csv);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("货号,货名\r\n");
        QList<int> lines;
        for (int i = 0, line = 2; i < 700; ++i) {
            lines.append(line);
            const bool broken = i % 7 == 3;
            f.write("G" + QByteArray::number(i) + (broken ? ",\"两\n行\"\r\n" : ",货\r\n"));
            line += broken ? 2 : 1;
        }
        f.close();
        const Shop handle = shop.db().shop();
        const QSqlDatabase db = handle.connection();
        const CsvImport::Goods goods = CsvImport::checkGoods(handle, CsvImport::Source::file(csv));
        QCOMPARE(goods.size(), 700);
        for (const int row : {0, 699, 255, 256, 3, 512}) {
            QCOMPARE(goods.rowAt(row).code, QStringLiteral("G%1").arg(row));
            QCOMPARE(goods.lineOf(row), lines.at(row));
        }
        QCOMPARE(goods.rowAt(3).name, QStringLiteral("两\n行"));
        QVERIFY(f.open(QIODevice::Append));
        f.write("G700,货\r\n");
        f.close();
        const Done changed = CsvImport::storeGoods(handle, goods);
        QVERIFY2(changed.errorText().contains(QStringLiteral("改过了")), qPrintable(changed.errorText()));
        QCOMPARE(shop.count(QStringLiteral("name")), 0);
    }

    void aRoundTripGivesTheSameRows()
    {
        // 货名管理's and 进货管理's exports read back into an empty shop.
        TestShop from;
        from.create();
        from.addGoods(QStringLiteral("A"), QStringLiteral("可乐, 大瓶"));
        from.addGoods(QStringLiteral("B"), QStringLiteral("薯片\"原味\""));
        from.addPurchase(QStringLiteral("A"), 4, Money::fromCents(250));
        from.addPurchase(QStringLiteral("B"), 6, Money::fromCents(1000));
        using K = Spreadsheet::Kind;
        const QString goodsCsv = from.dir() + QStringLiteral("/goods.csv");
        const QString purchasesCsv = from.dir() + QStringLiteral("/purchases.csv");
        {
            CatalogueDialog catalogue(from.db().shop());
            QVERIFY_OK(Spreadsheet::writeCsv(
                sheetOfView(catalogue.findChild<QTableView *>(QStringLiteral("DataGrid1")), {}, {}), goodsCsv));
            PurchaseDialog purchases(from.db().shop());
            QVERIFY_OK(Spreadsheet::writeCsv(
                sheetOfView(purchases.findChild<QTableView *>(QStringLiteral("DataGrid1")),
                            {K::Text, K::Text, K::Integer, K::Money, K::Money, K::Text, K::Date, K::Date}, {}),
                purchasesCsv));
        }
        TestShop to;
        to.create();
        const Shop handle = to.db().shop();
        const QSqlDatabase db = handle.connection();
        QVERIFY_OK(CsvImport::storeGoods(handle, CsvImport::checkGoods(handle, CsvImport::Source::file(goodsCsv))));
        const CsvImport::Purchases purchases = CsvImport::checkPurchases(handle, CsvImport::Source::file(purchasesCsv));
        QVERIFY2(purchases.problems.isEmpty(), qPrintable(purchases.problems.value(0).text));
        QVERIFY_OK(CsvImport::storePurchases(handle, purchases));
        QCOMPARE(names(to), names(from));
        for (const char *sql :
             {"SELECT group_concat(id || code || shuliang || jinjia || shou || jindt || guoqidt, '|') "
              "FROM jinhuo"}) {
            QSqlQuery a(from.db().shop().connection()), b(db);
            QVERIFY(a.exec(QString::fromLatin1(sql)) && a.next() && b.exec(QString::fromLatin1(sql)) && b.next());
            QCOMPARE(b.value(0).toString(), a.value(0).toString());
        }
    }
};

QTEST_MAIN(TestCsvImport)
#include "tst_csvimport.moc"
