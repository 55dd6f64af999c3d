#include "gui/sheetexport.h"
#include "gui/stock/purchasedialog.h"
#include "shop/money.h"
#include "testshop.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTableView>
#include <QTest>

#include <ctime>

// Grids written out for spreadsheet programs: CSV with the Chinese intact and
// fields quoted, .xlsx with numbers, dates and a frozen header, read back.
class TestSpreadsheet : public QObject
{
    Q_OBJECT

    static Spreadsheet::Sheet sample()
    {
        using K = Spreadsheet::Kind;
        return {QStringLiteral("进货"),
                strings({"货号", "货名", "数量", "进价", "进货日期"}),
                {K::Text, K::Text, K::Integer, K::Money, K::Date},
                {strings({"6901", "矿泉水, 550ml", "12", "¥1,234.50", "2026-12-09"}),
                 strings({"69\"02", "两行\n名字", "-3", "(¥2.50)", ""})}};
    }

    static QString unzipped(const QString &xlsx, const QString &member)
    {
        QProcess p;
        p.start(QStringLiteral("unzip"), {QStringLiteral("-p"), xlsx, member});
        p.waitForFinished(30000);
        return QString::fromUtf8(p.readAllStandardOutput());
    }

private Q_SLOTS:
    void initTestCase() { TestShop::pinLocale(); }

    void csvKeepsTheChineseAndQuotes()
    {
        TestShop shop;
        const QString path = shop.dir() + QStringLiteral("/进货.csv");
        QVERIFY_OK(Spreadsheet::write(sample(), path));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        QCOMPARE(QString::fromUtf8(bytes.mid(3)), QStringLiteral("货号,货名,数量,进价,进货日期\r\n"
                                                                 "6901,\"矿泉水, 550ml\",12,1234.50,2026-12-09\r\n"
                                                                 "\"69\"\"02\",\"两行\n名字\",-3,-2.50,\r\n"));
    }

    void formulasAreWrittenAsText()
    {
        // Names that came in through the catalogue or an import are shown by a
        // spreadsheet, never run; a quantity below zero stays a number.
        using K = Spreadsheet::Kind;
        const Spreadsheet::Sheet sheet{QStringLiteral("货名"),
                                       strings({"货号", "货名", "数量"}),
                                       {K::Text, K::Text, K::Integer},
                                       {strings({"=1+1", "=HYPERLINK(\"http://x\",\"y\")", "-3"}),
                                        strings({"@cmd", "+SUM(1;1)", "4"}), strings({"\t=1", "-3+4", "5"})}};
        TestShop shop;
        const QString path = shop.dir() + QStringLiteral("/货名.csv");
        QVERIFY_OK(Spreadsheet::write(sheet, path));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(f.readAll().mid(3)),
                 QStringLiteral("货号,货名,数量\r\n"
                                "'=1+1,\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\",-3\r\n"
                                "'@cmd,'+SUM(1;1),4\r\n"
                                "'\t=1,'-3+4,5\r\n"));
    }

    void xlsxAmountsReadBackAsTheirDecimals()
    {
        // The sheet's XML may spell ¥95.26 as 95.26000000000001 (sixteen
        // digits of the double): read back, it is the double of 95.26 itself.
        if (QStandardPaths::findExecutable(QStringLiteral("unzip")).isEmpty())
            QSKIP("unzip is not installed");
        QList<QStringList> rows;
        QStringList amounts;
        for (qint64 cents = 1; cents < 2000000; cents += 7919) {
            const QString text = Money::fromCents(cents).toPlain(QLocale::c());
            amounts.append(text);
            rows.append({text});
        }
        TestShop shop;
        const QString path = shop.dir() + QStringLiteral("/amounts.xlsx");
        QVERIFY_OK(
            Spreadsheet::write({QStringLiteral("金额"), strings({"金额"}), {Spreadsheet::Kind::Money}, rows}, path));
        const QString xml = unzipped(path, QStringLiteral("xl/worksheets/sheet1.xml"));
        QStringList read;
        static const QRegularExpression value(QStringLiteral("<v>([^<]*)</v>"));
        for (auto it = value.globalMatch(xml); it.hasNext();)
            read.append(it.next().captured(1));
        QCOMPARE(read.size(), amounts.size());
        for (int i = 0; i < amounts.size(); ++i)
            QVERIFY2(read[i].toDouble() == amounts[i].toDouble(), qPrintable(read[i] + u' ' + amounts[i]));
    }

    void exportsAreTheOwnersOnly_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("xlsx") << QStringLiteral("进货.xlsx");
        QTest::newRow("csv") << QStringLiteral("进货.csv");
    }

    void exportsAreTheOwnersOnly()
    {
        QFETCH(QString, name);
        TestShop shop;
        const QString path = shop.dir() + u'/' + name;
        QVERIFY_OK(Spreadsheet::write(sample(), path));
        QCOMPARE(QFileInfo(path).permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }

    void xlsxHoldsNumbersDatesAndAFrozenHeader()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("unzip")).isEmpty())
            QSKIP("unzip is not installed");
        TestShop shop;
        const QString path = shop.dir() + QStringLiteral("/进货.xlsx");
        QVERIFY_OK(Spreadsheet::write(sample(), path));
        const QString sheet = unzipped(path, QStringLiteral("xl/worksheets/sheet1.xml"));
        const QString styles = unzipped(path, QStringLiteral("xl/styles.xml"));
        QVERIFY2(sheet.contains(QStringLiteral("ySplit=\"1\"")), qPrintable(sheet));
        // Money and quantities are numbers, the date its serial day number.
        QVERIFY(sheet.contains(QStringLiteral("<v>1234.5</v>")));
        QVERIFY(sheet.contains(QStringLiteral("<v>-2.5</v>")));
        QVERIFY(sheet.contains(QStringLiteral("<v>12</v>")));
        QVERIFY(sheet.contains(QStringLiteral("<v>%1</v>").arg(QDate(1899, 12, 30).daysTo(QDate(2026, 12, 9)))));
        QVERIFY(styles.contains(QStringLiteral("¥#,##0.00")));
        QVERIFY(styles.contains(QStringLiteral("yyyy-mm-dd")));
        // Texts are written in the rows themselves.
        for (const char *text : {"货名", "矿泉水, 550ml", "69\"02", "两行\n名字"})
            QVERIFY2(sheet.contains(QString::fromUtf8(text)), text);
        // A column is as wide as its widest text, a Chinese character counted
        // twice, so that a spreadsheet shows the name whole.
        QVERIFY2(sheet.contains(QStringLiteral("<col min=\"2\" max=\"2\" width=\"15.")), qPrintable(sheet));
    }

    void xlsxTimesAreTheShownWallClockTimes()
    {
        // A sale time is written as it stands, whatever the zone: 02:30 on the
        // night Berlin's clocks go forward is no local time there.
        if (QStandardPaths::findExecutable(QStringLiteral("unzip")).isEmpty())
            QSKIP("unzip is not installed");
        const QByteArray zone = qgetenv("TZ");
        qputenv("TZ", "Europe/Berlin");
        tzset();
        TestShop shop;
        const QString path = shop.dir() + QStringLiteral("/零售.xlsx");
        using K = Spreadsheet::Kind;
        const Spreadsheet::Sheet times{QStringLiteral("零售"),
                                       strings({"时间", "日期"}),
                                       {K::DateTime, K::Date},
                                       {strings({"2026-03-29 02:30:00", "2026-03-29"})}};
        const Done written = Spreadsheet::write(times, path);
        zone.isNull() ? qunsetenv("TZ") : qputenv("TZ", zone);
        tzset();
        QVERIFY_OK(written);
        const QString sheet = unzipped(path, QStringLiteral("xl/worksheets/sheet1.xml"));
        const qint64 day = QDate(1899, 12, 30).daysTo(QDate(2026, 3, 29));
        QVERIFY2(sheet.contains(QStringLiteral("<v>%1.104166").arg(day)), qPrintable(sheet)); // 02:30 of the day
        QVERIFY2(sheet.contains(QStringLiteral("<v>%1</v>").arg(day)), qPrintable(sheet));
    }

    void thePurchaseGridGivesEveryRow()
    {
        // The list is read in pages as it scrolls, and written while it is
        // read: the file has every row, in the grid's order.
        TestShop shop;
        shop.create();
        shop.addGoods(QStringLiteral("A"), QStringLiteral("可乐"));
        shop.exec(QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
            "INSERT INTO jinhuo (id, code, shuliang, jinjia, shou, huiyuanjia, changjia, jindt, guoqidt) "
            "SELECT i, 'A', i, 15000, 25000, 25000, '厂', '2026-01-01', '2027-01-01' FROM n"));
        PurchaseDialog dialog(shop.db().shop());
        auto *grid = dialog.findChild<QTableView *>(QStringLiteral("DataGrid1"));
        using K = Spreadsheet::Kind;
        const GridSheet sheet{grid, {K::Text, K::Text, K::Integer, K::Money, K::Money, K::Text, K::Date, K::Date}, {}};
        const QString path = shop.dir() + QStringLiteral("/进货.csv");
        int rows = 0;
        QCOMPARE(exportGrid(sheet, path, &rows), QString());
        QCOMPARE(rows, 3000);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(f.readAll().mid(3)).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 3002); // the captions, the rows, and after the last line break nothing
        QVERIFY(lines.first().startsWith(QStringLiteral("货号,货名,数量,进价")));
        for (int i = 1; i <= 3000; ++i)
            QCOMPARE(lines[i].section(u',', 2, 2), QString::number(i));
    }

    void aFileThatCannotBeWrittenIsSaidSo_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("xlsx") << QStringLiteral("进货.xlsx");
        QTest::newRow("csv") << QStringLiteral("进货.csv");
    }

    void aFileThatCannotBeWrittenIsSaidSo()
    {
        QFETCH(QString, name);
        TestShop shop;
        const QString path = shop.dir() + QStringLiteral("/no such folder/") + name;
        QVERIFY(!Spreadsheet::write(sample(), path));
        QVERIFY(!QFile::exists(path));
    }
};

QTEST_MAIN(TestSpreadsheet)
#include "tst_spreadsheet.moc"
