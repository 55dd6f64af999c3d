#include "counterfixture.h"
#include "print/receiptlayout.h"
#include "print/receiptprinter.h"
#include "printedpdf.h"

#include <QCheckBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTimer>

namespace {

// Text compared the way pdftotext gives it back: compatibility forms folded.
QString kc(const QString &s)
{
    return s.normalized(QString::NormalizationForm_KC);
}

// The text of a PDF, page by page (pdftotext separates pages with a form feed).
QStringList pdfPages(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return {};
    // CJK fonts share glyphs with the Kangxi radicals (金 and ⾦): fold them.
    return QString::fromUtf8(p.readAllStandardOutput()).normalized(QString::NormalizationForm_KC).split(u'\f');
}

Receipt sampleReceipt(int lines)
{
    Receipt r;
    r.header = QStringLiteral("欢迎光临测试超市");
    for (int i = 0; i < lines; ++i)
        r.lines.append({QStringLiteral("C%1").arg(i), QStringLiteral("商品%1").arg(i), QStringLiteral("1"),
                        QStringLiteral("¥1,234.50"), QStringLiteral("2026-12-07 10:00:00"), Money::fromCents(123450),
                        QString()});
    r.total = Money::fromCents(123450).times(lines).value();
    r.paid = QStringLiteral("¥100,000.00");
    r.change = QStringLiteral("¥1.00");
    r.footer = {QStringLiteral("谢谢惠顾"), QString(), QStringLiteral("第三行")};
    return r;
}

// Words of a PDF page with their boxes (pdftotext -bbox), in points.
struct Word
{
    QString text;
    double xMin, yMin, xMax, yMax;
};

QList<Word> pdfWords(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return {};
    static const QRegularExpression word(
        QStringLiteral(R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"));
    QList<Word> words;
    const QString xml = QString::fromUtf8(p.readAllStandardOutput());
    for (auto it = word.globalMatch(xml); it.hasNext();) {
        const auto m = it.next();
        words.append({m.captured(5).normalized(QString::NormalizationForm_KC), m.captured(1).toDouble(),
                      m.captured(2).toDouble(), m.captured(3).toDouble(), m.captured(4).toDouble()});
    }
    return words;
}

QString renderToText(const Receipt &receipt, QTemporaryDir &dir)
{
    const QString pdf = dir.filePath(QStringLiteral("r.pdf"));
    {
        QPdfWriter writer(pdf);
        if (!ReceiptLayout::paint(receipt, &writer))
            return QString();
    }
    return pdfPages(pdf).join(QString());
}

} // namespace

class TestReceipt : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
    }

    void layoutOnOnePage()
    {
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("r.pdf"));
        {
            QPdfWriter writer(pdf);
            Receipt r = sampleReceipt(2);
            r.ticketNumber = QStringLiteral("57");
            r.till = QStringLiteral("3");
            r.lines[0].code = QStringLiteral("6901234567890");
            QVERIFY(ReceiptLayout::paint(r, &writer));
        }
        const QStringList pages = pdfPages(pdf);
        QVERIFY(!pages.isEmpty());
        const QString page = pages.first();
        // The sale is named beside the header.
        QVERIFY2(page.contains(kc(QStringLiteral("流水号：57"))) && page.contains(kc(QStringLiteral("收银台：3"))),
                 qPrintable(page));
        QVERIFY(page.indexOf(kc(QStringLiteral("流水号："))) < page.indexOf(QStringLiteral("货号")));
        for (const QString &part : {QStringLiteral("欢迎光临测试超市"), QStringLiteral("货号"), QStringLiteral("售价"),
                                    QStringLiteral("C1"), QStringLiteral("商品1"), QStringLiteral("￥1,234.50"),
                                    QStringLiteral("合计"), QStringLiteral("￥2,469.00"), QStringLiteral("付款："),
                                    QStringLiteral("¥100,000.00"), QStringLiteral("找零："), QStringLiteral("谢谢惠顾"),
                                    QStringLiteral("第三行"), QStringLiteral("2026-12-07 10:00:00")})
            QVERIFY2(page.contains(kc(part)), qPrintable(part + QStringLiteral(" missing in:\n") + page));
        // Order: header, captions, lines, summary, footer.
        QVERIFY(page.indexOf(QStringLiteral("欢迎光临")) < page.indexOf(QStringLiteral("货号")));
        QVERIFY(page.indexOf(QStringLiteral("C1")) < page.indexOf(kc(QStringLiteral("合计："))));
        QVERIFY(page.indexOf(kc(QStringLiteral("合计："))) < page.indexOf(QStringLiteral("谢谢惠顾")));
        // The empty footer line keeps its place: a blank line between the two.
        const QStringList lines = page.split(u'\n');
        qsizetype first = -1, third = -1;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (lines[i].contains(QStringLiteral("谢谢惠顾")))
                first = i;
            if (lines[i].contains(QStringLiteral("第三行")))
                third = i;
        }
        QVERIFY2(third - first >= 2, qPrintable(page));
    }

    void longTicketRepeatsCaptionsAndSumsOnce()
    {
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("long.pdf"));
        {
            QPdfWriter writer(pdf);
            QVERIFY(ReceiptLayout::paint(sampleReceipt(80), &writer));
        }
        QStringList pages = pdfPages(pdf);
        pages.removeAll(QString());
        QVERIFY2(pages.size() >= 2, qPrintable(QString::number(pages.size())));
        for (const QString &page : pages)
            QVERIFY(page.contains(QStringLiteral("货号")) && page.contains(QStringLiteral("金额")));
        QCOMPARE(pages.join(QString()).count(kc(QStringLiteral("合计："))), 1);
        QVERIFY(pages.join(QString()).contains(kc(QStringLiteral("￥98,760.00"))));
        QVERIFY(pages.join(QString()).contains(QStringLiteral("C79")));
        QVERIFY(!pages.first().contains(kc(QStringLiteral("合计："))));
    }

    void longNameStaysInsideItsColumn()
    {
        // "矿泉水 550ml" is wider than the 2 cm name column: it wraps, and no part
        // of it reaches the quantity column (4 cm from the margin).
        Receipt r = sampleReceipt(1);
        r.lines.first().name = QStringLiteral("矿泉水 550ml");
        r.lines.first().quantity = QStringLiteral("2");
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("wrap.pdf"));
        {
            QPdfWriter writer(pdf);
            QVERIFY(ReceiptLayout::paint(r, &writer));
        }
        const QList<Word> words = pdfWords(pdf);
        QVERIFY(!words.isEmpty());
        constexpr double pointsPerCm = 72 / 2.54;
        const double margin = 2.54 * pointsPerCm;
        const double quantityColumn = margin + 4 * pointsPerCm;
        bool sawName = false, sawQuantity = false;
        for (const Word &w : words) {
            if (w.text.contains(QStringLiteral("550")) || w.text.contains(QStringLiteral("矿泉水"))) {
                sawName = true;
                QVERIFY2(
                    w.xMax <= quantityColumn,
                    qPrintable(
                        QStringLiteral("%1 ends at %2, column at %3").arg(w.text).arg(w.xMax).arg(quantityColumn)));
                QVERIFY2(!w.text.contains(u'2') || w.text.startsWith(QStringLiteral("550")), qPrintable(w.text));
            }
            if (w.text == u"2" && w.xMin >= quantityColumn - 1)
                sawQuantity = true;
        }
        QVERIFY(sawName);
        QVERIFY(sawQuantity);
    }

    void aBarcodeTakesTwoLinesOfItsColumn()
    {
        // A 13-digit code is set small enough for two lines of the 1 cm code
        // column, never four, and stays out of the name column at 2 cm.
        Receipt r = sampleReceipt(1);
        r.lines.first().code = QStringLiteral("6901234567890");
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("code.pdf"));
        {
            QPdfWriter writer(pdf);
            QVERIFY(ReceiptLayout::paint(r, &writer));
        }
        constexpr double pointsPerCm = 72 / 2.54;
        const double nameColumn = 2.54 * pointsPerCm + 2 * pointsPerCm;
        QString code;
        QSet<int> lines;
        for (const Word &w : pdfWords(pdf))
            if (!w.text.isEmpty() && w.text.front().isDigit() && w.xMax <= nameColumn && w.yMin > 60) {
                code += w.text;
                lines.insert(int(w.yMin));
            }
        QCOMPARE(code, QStringLiteral("6901234567890"));
        QVERIFY2(lines.size() <= 2, qPrintable(QString::number(lines.size())));
    }

    void receiptOfARealTicket()
    {
        // Rung up at the counter: a discounted price (1,234.50 at 8.5 is
        // 1,049.325, charged 1,049.33) and an amount a float cannot hold.
        CounterFixture f;
        f.shop.addGoods(QStringLiteral("D"), QStringLiteral("电视"));
        f.shop.addPurchase(QStringLiteral("D"), 2000, Money::fromUnits(12345679)); // 1,234.5679
        f.get<QCheckBox>("Check4")->setChecked(true);
        f.ringUp(QStringLiteral("D"), QStringLiteral("999")); // 1,233,335.43; a float holds 1,233,335.375
        f.key(Qt::Key_F1);
        f.type("Text1", QStringLiteral("it's"));
        f.key(Qt::Key_F3);
        f.type("Text7", QStringLiteral("8.5"));
        f.key(Qt::Key_F2);
        f.type("Text3", QStringLiteral("3"));
        f.key(Qt::Key_F5);
        QVERIFY2(f.messages.boxes.isEmpty(), qPrintable(f.messages.texts().join(u'|')));
        QTemporaryDir dir;
        const QString text = renderToText(f.window->composeReceipt(), dir);
        for (const QString &part :
             {QStringLiteral("电视"), QStringLiteral("¥1,234.57"), QStringLiteral("￥1,233,335.43"),
              QStringLiteral("苹果"), QStringLiteral("¥1,049.33"), QStringLiteral("￥3,147.99"),
              QStringLiteral("￥1,236,483.42"), Database::defaultHeader()})
            QVERIFY2(text.contains(kc(part)), qPrintable(part + QStringLiteral(" missing in:\n") + text));
    }

    void wholeCounterFollowsTheLocale_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::newRow("zh_CN") << QStringLiteral("zh_CN");
        QTest::newRow("en_US") << QStringLiteral("en_US");
        QTest::newRow("de_DE") << QStringLiteral("de_DE");
        QTest::newRow("fr_FR") << QStringLiteral("fr_FR");
    }

    void wholeCounterFollowsTheLocale()
    {
        // Whatever the counter writes into a box it reads back with the same
        // rules: lookup, typed price and rate, add step, checkout and receipt.
        QFETCH(QString, locale);
        CounterFixture f;
        const QLocale l(locale);
        QLocale::setDefault(l);
        const QString dec = l.decimalPoint();
        f.key(Qt::Key_F1);
        f.type("Text1", QStringLiteral("B"));
        f.key(Qt::Key_F2);
        QCOMPARE(f.text("Text5"), QStringLiteral("10") + dec + QStringLiteral("00"));
        QCOMPARE(f.text("Text6"), Money::fromCents(1000).toCurrency(l));
        f.type("Text3", QStringLiteral("3"));
        f.key(Qt::Key_F3);
        f.type("Text5", QStringLiteral("2") + dec + QStringLiteral("50"));
        f.get<QCheckBox>("Check4")->setChecked(true);
        f.edit("Text7")->selectAll();
        QTest::keyClicks(f.edit("Text7"), QStringLiteral("8") + dec + QStringLiteral("5"));
        // 2.50 × 8.5 / 10 = 2.125, charged 2.13
        QCOMPARE(f.text("Text6"), Money::fromCents(213).toCurrency(l));
        f.key(Qt::Key_F5);
        QVERIFY2(f.messages.boxes.isEmpty(), qPrintable(f.messages.texts().join(u'|')));
        QCOMPARE(f.text("Label12"), Money::fromCents(639).toCurrency(l));

        QTemporaryDir dir;
        const QString text = renderToText(f.window->composeReceipt(), dir);
        for (const QString &part : {Money::fromCents(639).toYuan(l), Money::fromCents(213).toCurrency(l)})
            QVERIFY2(text.contains(kc(part)), qPrintable(part + QStringLiteral(" missing in:\n") + text));

        f.key(Qt::Key_F7);
        f.type("Text8", QStringLiteral("10") + dec + QStringLiteral("00"));
        f.key(Qt::Key_F8);
        QVERIFY2(f.messages.boxes.isEmpty(), qPrintable(f.messages.texts().join(u'|')));
        QCOMPARE(f.text("Label17"), Money::fromCents(361).toCurrency(l));
        QSqlQuery q(f.shop.db().shop().connection());
        QVERIFY(q.exec(QStringLiteral("SELECT shuliang, shoujia, jine FROM xiaoshou")) && q.next());
        QCOMPARE(q.value(0).toInt(), 3);
        QCOMPARE(q.value(1).toLongLong(), 21300);
        QCOMPARE(q.value(2).toLongLong(), 63900);
        TestShop::pinLocale();
    }

    void footerIsReadAfreshAndHeaderOnReload()
    {
        CounterFixture f;
        CounterWindow &w = *f.window;
        QCOMPARE(w.composeReceipt().header, Database::defaultHeader());
        QCOMPARE(w.composeReceipt().footer, Database::defaultFooter());
        f.shop.exec(QStringLiteral("INSERT INTO code (id, code, content) VALUES (20003, NULL, NULL)"));
        QCOMPARE(w.composeReceipt().footer.size(), 3);
        QCOMPARE(w.composeReceipt().footer.last(), QString());
        f.shop.exec(QStringLiteral("UPDATE code SET content = '新店名' WHERE id = 20000"));
        QCOMPARE(w.composeReceipt().header, Database::defaultHeader());
        w.reloadReceiptHeader();
        QCOMPARE(w.composeReceipt().header, QStringLiteral("新店名"));
    }

    void previewChecksThePayment_data()
    {
        QTest::addColumn<QString>("payment");
        QTest::addColumn<bool>("shown");
        QTest::newRow("empty payment") << QString() << true;
        QTest::newRow("equal") << QStringLiteral("5") << true;
        QTest::newRow("short") << QStringLiteral("4.99") << false;
    }

    void previewChecksThePayment()
    {
        QFETCH(QString, payment);
        QFETCH(bool, shown);
        CounterFixture f;
        f.ringUp(QStringLiteral("A"), QStringLiteral("2"));
        f.edit("Text8")->setText(payment);
        f.get<QCheckBox>("Check1")->setChecked(true);
        QString title;
        bool readable = false;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, &closer, [&title, &readable] {
            if (auto *preview = qobject_cast<QPrintPreviewDialog *>(QApplication::activeModalWidget())) {
                title = preview->windowTitle();
                // Opened at the page's width, in a window of a sensible size.
                auto *widget = preview->findChild<QPrintPreviewWidget *>();
                readable = widget && widget->zoomMode() == QPrintPreviewWidget::FitToWidth && preview->width() >= 600 &&
                           preview->height() >= 500;
                preview->close();
            }
        });
        closer.start(50);
        QTest::mouseClick(f.get("Command13"), Qt::LeftButton);
        if (shown) {
            QCOMPARE(title, QStringLiteral("打印"));
            QVERIFY(readable);
            QVERIFY(f.messages.boxes.isEmpty());
        } else {
            QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("付款金额不足！")});
            QTest::qWait(300);
            QVERIFY(title.isEmpty());
        }
        QCOMPARE(f.window->ticket()->lineCount(), 1);
        QCOMPARE(f.text("Text8"), payment);
        QCOMPARE(f.shop.count(QStringLiteral("xiaoshou")), 0);
    }

    void rollAndPageReceiptsThroughCups_data()
    {
        QTest::addColumn<QString>("queue");
        QTest::addColumn<double>("widthMm");
        QTest::newRow("58 mm roll") << QStringLiteral("Roll58") << 58.0;
        QTest::newRow("80 mm roll") << QStringLiteral("Roll80") << 80.0;
        QTest::newRow("page printer") << QStringLiteral("PDF") << 210.0;
    }

    void rollAndPageReceiptsThroughCups()
    {
        QFETCH(QString, queue);
        QFETCH(double, widthMm);
        const QPrinterInfo printer = QPrinterInfo::printerInfo(queue);
        if (printer.isNull()) {
            if (qEnvironmentVariableIsSet("TARVEL_REQUIRE_PRINTER"))
                QFAIL("the test run set up no such queue");
            QSKIP("no such CUPS queue");
        }
        const QDateTime started = QDateTime::currentDateTime().addSecs(-1);
        CounterFixture f;
        const QString header = QStringLiteral("卷纸测试%1").arg(queue);
        f.shop.exec(QStringLiteral("UPDATE code SET content = '%1' WHERE id = 20000").arg(header));
        f.window->reloadReceiptHeader();
        f.ringUp(QStringLiteral("A"), QStringLiteral("2"));
        f.ringUp(QStringLiteral("it's"), QStringLiteral("1"));
        Receipt r = f.window->composeReceipt();
        r.paid = QStringLiteral("¥1,300.00");
        r.change = QStringLiteral("¥60.50");
        QVERIFY_OK(ReceiptPrinter::printOn(printer, r));
        const QString found = waitForPrintedPdf(started, header);
        QVERIFY2(!found.isEmpty(), "no receipt PDF from cups-pdf");
        const QSizeF page = pdfPageSize(found);
        QVERIFY(!page.isEmpty());
        const double width = page.width(), height = page.height();
        QVERIFY2(qAbs(width - widthMm * 72 / 25.4) < 3, qPrintable(QString::number(width)));
        const QString text = pdfPages(found).join(QString());
        QStringList parts = {header,
                             QStringLiteral("可乐"),
                             QStringLiteral("苹果"),
                             QStringLiteral("￥5.00"),
                             QStringLiteral("￥1,234.50"),
                             QStringLiteral("￥1,239.50"),
                             QStringLiteral("¥60.50")};
        if (widthMm <= 80) {
            // One receipt as long as its content, naming its sale.
            QVERIFY2(height < 600, qPrintable(QString::number(height)));
            parts += {QStringLiteral("流水号：1"), QStringLiteral("2 × ¥2.50"), r.time.left(10)};
        }
        for (const QString &part : parts)
            QVERIFY2(text.contains(kc(part)), qPrintable(part + QStringLiteral(" missing in:\n") + text));
        QFile::remove(found);
    }

    void checkoutPrintsOnTheDefaultPrinter()
    {
        if (QPrinterInfo::defaultPrinter().isNull()) {
            if (qEnvironmentVariableIsSet("TARVEL_REQUIRE_PRINTER"))
                QFAIL("no default printer although the test run set one up");
            QSKIP("no default printer (CUPS with cups-pdf)");
        }
        const QDateTime started = QDateTime::currentDateTime().addSecs(-1);

        CounterFixture f;
        f.shop.exec(QStringLiteral("UPDATE code SET content = '打印测试超市' WHERE id = 20000"));
        f.window->reloadReceiptHeader();
        f.ringUp(QStringLiteral("it's"), QStringLiteral("1"));
        f.ringUp(QStringLiteral("A"), QStringLiteral("2"));
        f.get<QCheckBox>("Check1")->setChecked(true);
        f.edit("Text8")->setText(QStringLiteral("1300"));
        f.key(Qt::Key_F8);
        QVERIFY2(f.messages.boxes.isEmpty(), qPrintable(f.messages.texts().join(u'|')));
        QCOMPARE(f.shop.count(QStringLiteral("xiaoshou")), 2);

        // cups-pdf writes the job into the printing user's PDF folder.
        const QString found = waitForPrintedPdf(started, QStringLiteral("打印测试超市"));
        QVERIFY2(!found.isEmpty(), "no receipt PDF from cups-pdf");
        const QString text = pdfPages(found).join(QString());
        for (const QString &part : {QStringLiteral("苹果"), QStringLiteral("￥1,234.50"), QStringLiteral("可乐"),
                                    QStringLiteral("￥5.00"), QStringLiteral("￥1,239.50"), QStringLiteral("¥1,300.00"),
                                    QStringLiteral("¥60.50"), Database::defaultFooter().first()})
            QVERIFY2(text.contains(kc(part)), qPrintable(part + QStringLiteral(" missing in:\n") + text));
        QFile::remove(found);
    }
};

QTEST_MAIN(TestReceipt)
#include "tst_receipt.moc"
