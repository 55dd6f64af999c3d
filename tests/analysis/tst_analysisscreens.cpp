#include "counterfixture.h"
#include "gui/analysis/inventorydialog.h"
#include "gui/analysis/salesanalysisdialog.h"
#include "gui/backgroundwork.h"
#include "gui/figuresmodel.h"
#include "gui/gridwidths.h"
#include "gui/screenhost.h"
#include "print/inventoryreport.h"
#include "printedpdf.h"
#include "shop/recordset.h"
#include "shop/workconnection.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrinterInfo>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QSemaphore>
#include <QSqlError>
#include <QSqlQuery>
#include <QStyle>
#include <QTableView>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

namespace {
// The list's text; pdftotext drops the blanks between the title's spaced-out characters.
QString listText(const QString &path)
{
    return pdfText(path).replace(QStringLiteral("库存清单"), QStringLiteral("库 存 清 单"));
}

// The fields of the printed line that holds `name`, in the order they stand on paper.
QStringList printedLine(const QString &text, const QString &name)
{
    const QString wanted = name.normalized(QString::NormalizationForm_KC);
    for (const QString &line : text.split(u'\n'))
        if (line.contains(wanted))
            return line.split(u' ', Qt::SkipEmptyParts);
    return {};
}
} // namespace

// The two analysis screens opened from the counter, and the inventory list on paper.
class TestAnalysisScreens : public QObject
{
    Q_OBJECT

    // Opens a screen through the counter's host and runs `work` inside it.
    template <typename Work> static void inScreen(CounterFixture &f, const QString &name, Work work)
    {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            QVERIFY(d);
            QCOMPARE(d->objectName(), name);
            work(d);
            ran = true;
            if (d->isVisible())
                d->hide();
        });
        f.window->screens()->open(name);
        QVERIFY(ran);
    }

    static QStringList labels(QDialog *d, std::initializer_list<const char *> names)
    {
        QStringList all;
        for (const char *n : names) {
            QWidget *w = d->findChild<QWidget *>(QString::fromLatin1(n));
            if (auto *l = qobject_cast<QLabel *>(w))
                all.append(l->text());
            else if (auto *e = qobject_cast<QLineEdit *>(w))
                all.append(e->text());
        }
        return all;
    }

    static void sellToday(CounterFixture &f, const QString &code, const QString &quantity)
    {
        f.ringUp(code, quantity);
        f.edit("Text8")->setText(QStringLiteral("100000"));
        f.key(Qt::Key_F8);
    }

private Q_SLOTS:
    void salesAnalysis_data() { addEngineColumn(); }
    void salesAnalysis()
    {
        QFETCH(bool, server);
        CounterFixture f(true, server);
        sellToday(f, QStringLiteral("A"), QStringLiteral("3"));
        sellToday(f, QStringLiteral("it's"), QStringLiteral("1"));
        f.shop.addSale(10, 9, QStringLiteral("B"), 2, Money::fromCents(1000)); // 2026-12-01
        // Yesterday's sale is no figure of today, the day the screen opens with.
        f.shop.exec(QStringLiteral("INSERT INTO xiaoshou (id, danjuhao, code, shuliang, shoujia, jine, dt) "
                                   "VALUES (11, 10, 'B', 1, 100000, 100000, '%1')")
                        .arg(QDateTime::currentDateTime().addDays(-1).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
        inScreen(f, QStringLiteral("frmxiaoshou"), [](QDialog *d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("销售分析"));
            QCOMPARE(d->findChild<QDateEdit *>(QStringLiteral("DTPicker1"))->date(), QDate::currentDate());
            QCOMPARE(d->findChild<QDateEdit *>(QStringLiteral("DTPicker2"))->date(), QDate::currentDate());
            auto *model = d->findChild<QTableView *>(QStringLiteral("DataGrid1"))->model();
            QCOMPARE(model->rowCount(), 2);
            QCOMPARE(model->headerData(5, Qt::Horizontal).toString(), QStringLiteral("销售毛利"));
            QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("A"));
            QCOMPARE(model->index(0, 4).data().toString(), QStringLiteral("¥2.50"));
            // Today's figures at load: A 3 × 2.50, it's 1 × 1,234.50; bought at their selling prices.
            QCOMPARE(labels(d, {"Label9", "Label10", "Label11"}), strings({"4", "¥1,242.00", "¥0.00"}));

            // Start after end: nothing changes.
            d->findChild<QDateEdit *>(QStringLiteral("DTPicker1"))->setDate(QDate(2026, 12, 2));
            d->findChild<QDateEdit *>(QStringLiteral("DTPicker2"))->setDate(QDate(2026, 12, 1));
            QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("OKButton")), Qt::LeftButton);
            QCOMPARE(model->rowCount(), 2);
            QCOMPARE(labels(d, {"Label9"}), strings({"4"}));

            d->findChild<QDateEdit *>(QStringLiteral("DTPicker1"))->setDate(QDate(2026, 12, 1));
            QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("OKButton")), Qt::LeftButton);
            QCOMPARE(model->rowCount(), 1);
            QCOMPARE(labels(d, {"Label9", "Label10", "Label11"}), strings({"2", "¥20.00", "¥0.00"}));
            QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("CancelButton")), Qt::LeftButton);
            QVERIFY(!d->isVisible());
        });
        // Reopened after "关闭": the old dates and figures.
        inScreen(f, QStringLiteral("frmxiaoshou"), [](QDialog *d) {
            QCOMPARE(d->findChild<QDateEdit *>(QStringLiteral("DTPicker1"))->date(), QDate(2026, 12, 1));
            QCOMPARE(labels(d, {"Label9"}), strings({"2"}));
        });
    }

    void aMonthOnTheServerFollowsEveryChange()
    {
        // A whole month on the server is read from its kept rows, with the
        // names and prices the analyses' own connection keeps between runs:
        // what another program commits shows in the very next run, and a
        // connection the server dropped between two runs is opened again.
        CounterFixture f(true, true);
        f.shop.addSale(10, 9, QStringLiteral("B"), 2, Money::fromCents(1000)); // 2026-12-01
        inScreen(f, QStringLiteral("frmxiaoshou"), [&](QDialog *d) {
            d->findChild<QDateEdit *>(QStringLiteral("DTPicker1"))->setDate(QDate(2026, 12, 1));
            d->findChild<QDateEdit *>(QStringLiteral("DTPicker2"))->setDate(QDate(2026, 12, 31));
            auto *model = d->findChild<QTableView *>(QStringLiteral("DataGrid1"))->model();
            auto run = [&] {
                QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("OKButton")), Qt::LeftButton);
                return model->rowCount() == 1
                           ? QStringList{model->index(0, 1).data().toString(), model->index(0, 4).data().toString()}
                           : QStringList();
            };
            QCOMPARE(run(), strings({"薯片", "¥10.00"}));
            for (int i = 1; i <= 5; ++i) {
                f.shop.exec(QStringLiteral("UPDATE name SET name = 'B%1' WHERE code = 'B'").arg(i));
                f.shop.addPurchase(QStringLiteral("B"), 1, Money::fromCents(100 * i));
                QCOMPARE(run(), (QStringList{QStringLiteral("B%1").arg(i), QStringLiteral("¥%1.00").arg(i)}));
            }
            QSqlQuery q(f.window->database().shop().connection());
            QVERIFY(q.exec(QStringLiteral("SELECT pg_backend_pid()")) && q.next());
            const qint64 counter = q.value(0).toLongLong();
            f.shop.exec(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                       "WHERE datname = current_database() AND pid NOT IN (pg_backend_pid(), %1)")
                            .arg(counter));
            f.shop.exec(QStringLiteral("UPDATE name SET name = '薯片' WHERE code = 'B'"));
            QCOMPARE(run(), strings({"薯片", "¥5.00"}));

            // The kept connection is closed once no work used it for a while
            // (here: for any time at all), not before; the next run opens one.
            auto workSessions = [&] {
                QSqlQuery count(f.shop.db().shop().connection());
                const bool ok = count.exec(QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE datname = "
                                                          "current_database() AND backend_type = 'client backend' "
                                                          "AND pid NOT IN (pg_backend_pid(), %1)")
                                               .arg(counter)) &&
                                count.next();
                return ok ? count.value(0).toInt() : -1;
            };
            auto closeIdle = [](qint64 ms) {
                QSemaphore done;
                WorkConnection::pool()->start([&] {
                    WorkConnection::closeIdle(ms);
                    done.release();
                });
                done.acquire();
            };
            QCOMPARE(workSessions(), 1);
            closeIdle(WorkConnection::IdleMilliseconds);
            QCOMPARE(workSessions(), 1);
            closeIdle(0);
            QTRY_COMPARE(workSessions(), 0);
            f.shop.exec(QStringLiteral("UPDATE name SET name = 'B6' WHERE code = 'B'"));
            QCOMPARE(run(), strings({"B6", "¥5.00"}));
            QCOMPARE(workSessions(), 1);
            QVERIFY2(f.messages.boxes.isEmpty(), qPrintable(f.messages.last()));
        });
    }

    void inventoryAnalysis_data() { addEngineColumn(); }
    void inventoryAnalysis()
    {
        QFETCH(bool, server);
        CounterFixture f(true, server);
        sellToday(f, QStringLiteral("B"), QStringLiteral("12"));
        inScreen(f, QStringLiteral("frmkucun"), [&](QDialog *d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("库存分析"));
            auto *grid = d->findChild<QTableView *>(QStringLiteral("DataGrid1"));
            QCOMPARE(grid->model()->columnCount(), 8);
            QVERIFY(grid->isColumnHidden(6) && grid->isColumnHidden(7) && !grid->isColumnHidden(5));
            QVERIFY(d->findChild<QLineEdit *>(QStringLiteral("Text5"))->isHidden());
            // A 10, B 4 + 6 with 12 sold, it's 1; C never purchased is absent.
            QCOMPARE(grid->model()->rowCount(), 3);
            QCOMPARE(grid->model()->index(1, 5).data().toString(), QStringLiteral("-2"));
            QCOMPARE(grid->model()->index(1, 7).data().toString(), QStringLiteral("(¥20.00)"));
            QCOMPARE(labels(d, {"Text1", "Text2", "Text3", "Text4", "Text5"}),
                     strings({"12", "¥120.00", "21", "9", "¥1,239.50"}));

            auto *box = d->findChild<QCheckBox *>(QStringLiteral("Check1"));
            QTest::mouseClick(box, Qt::LeftButton);
            QVERIFY(!grid->isColumnHidden(6) && !grid->isColumnHidden(7));
            QVERIFY(!d->findChild<QLineEdit *>(QStringLiteral("Text5"))->isHidden());
            QVERIFY(grid->columnWidth(7) >= 1100 / 15);
            QTest::mouseClick(box, Qt::LeftButton);
            QVERIFY(grid->isColumnHidden(6) && grid->isColumnHidden(7));
            QVERIFY(d->findChild<QLineEdit *>(QStringLiteral("Text5"))->isHidden());
            QCOMPARE(labels(d, {"Text4"}), strings({"9"}));

            // The preview of the list, titled as the shop knows it.
            QString title;
            QTimer::singleShot(200, [&] {
                if (auto *preview = qobject_cast<QPrintPreviewDialog *>(QApplication::activeModalWidget())) {
                    title = preview->windowTitle();
                    QCOMPARE(preview->objectName(), QStringLiteral("DataReport2"));
                    preview->reject();
                }
            });
            QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("Command1")), Qt::LeftButton);
            QCOMPARE(title, QStringLiteral("库存打印"));
            QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("CancelButton")), Qt::LeftButton);
        });
        // After "返回" new purchases do not show; after the close box they do.
        f.shop.addPurchase(QStringLiteral("C"), 7, Money::fromCents(100));
        inScreen(f, QStringLiteral("frmkucun"), [](QDialog *d) {
            QCOMPARE(labels(d, {"Text3"}), strings({"21"}));
            d->close();
        });
        inScreen(f, QStringLiteral("frmkucun"), [](QDialog *d) { QCOMPARE(labels(d, {"Text3"}), strings({"28"})); });
    }

    void longWorkShowsProgressAndCanBeCancelled_data() { addEngineColumn(); }
    void longWorkShowsProgressAndCanBeCancelled()
    {
        QFETCH(bool, server);
        CounterFixture f(true, server);
        // Quick work is simply waited for, without a dialog.
        bool sawDialog = false;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, &watch, [&] {
            if (auto *p = f.window->findChild<QProgressDialog *>(QStringLiteral("progress")); p && p->isVisible())
                sawDialog = true;
        });
        watch.start(20);
        QVERIFY(BackgroundWork::run(f.window, f.shop.db().shop(), QStringLiteral("quick"), [](const Shop &) {}));
        QVERIFY(!sawDialog);
        // Past half a second the progress dialog comes up and the window is served.
        int served = 0;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, &tick, [&] { ++served; });
        tick.start(50);
        QVERIFY(BackgroundWork::run(f.window, f.shop.db().shop(), QStringLiteral("slow"), [](const Shop &work) {
            QSqlQuery q(work.connection());
            QThread::msleep(900);
            q.exec(QStringLiteral("SELECT COUNT(*) FROM xiaoshou"));
        }));
        QVERIFY(sawDialog);
        QVERIFY(served >= 3);
        // "取消" stops a long query and the result is discarded.
        QTimer::singleShot(800, [&] {
            if (auto *p = f.window->findChild<QProgressDialog *>(QStringLiteral("progress")))
                QTest::mouseClick(p->findChild<QPushButton *>(), Qt::LeftButton);
        });
        QElapsedTimer t;
        t.start();
        const bool finished =
            BackgroundWork::run(f.window, f.shop.db().shop(), QStringLiteral("endless"), [](const Shop &work) {
                QSqlQuery q(work.connection());
                // Minutes of work, unless interrupted.
                q.exec(QStringLiteral(
                    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000000000) "
                    "SELECT COUNT(*) FROM n"));
            });
        QVERIFY(!finished);
        QVERIFY(t.elapsed() < 5000);
    }

    void aLongGridIsGivenAsItScrolls()
    {
        // 300 codes sold today: the grid holds a batch, scrolling gives the
        // rest, every cell as the figures have it.
        CounterFixture f;
        f.shop.exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300) "
                                   "INSERT INTO xiaoshou (id, danjuhao, code, shuliang, shoujia, jine, dt) "
                                   "SELECT i, i, printf('S%03d', i), i, 10000, i * 10000, '%1' FROM n")
                        .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd 00:00:01"))));
        auto *dialog = new SalesAnalysisDialog(f.shop.db().shop(), f.window);
        auto *grid = dialog->findChild<QTableView *>(QStringLiteral("DataGrid1"));
        QCOMPARE(dialog->figures().rows.size(), 300);
        QCOMPARE(grid->model()->rowCount(), 256);
        grid->resize(600, 400);
        grid->scrollToBottom();
        while (grid->model()->canFetchMore({}))
            grid->model()->fetchMore({});
        QCOMPARE(grid->model()->rowCount(), 300);
        QCOMPARE(grid->model()->index(299, 0).data().toString(), QStringLiteral("S300"));
        QCOMPARE(grid->model()->index(299, 3).data().toString(), QStringLiteral("¥300.00"));
        QCOMPARE(labels(dialog, {"Label9"}), strings({"45150"}));
        delete dialog;
    }

    void gridColumnsShowTheirTextsWhole_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("digits") << QStringLiteral("11111111111111111111");
        QTest::newRow("money") << QStringLiteral("¥-9,999,999,999.99");
        QTest::newRow("chinese") << QStringLiteral("康师傅红烧牛肉面桶装一百二十克");
        QTest::newRow("kerned latin") << QStringLiteral("AVAWAYToWaVaTy LTA");
        QTest::newRow("mixed") << QStringLiteral("可口可乐 Coca-Cola 330ml×24");
        QTest::newRow("beyond the basic plane") << QStringLiteral("𠮷野家 🍎 苹果");
    }
    void gridColumnsShowTheirTextsWhole()
    {
        // A grid's columns are made as wide as the texts they show, so the
        // view never cuts one to "…".
        QFETCH(QString, text);
        QTableView grid;
        FiguresModel model({QStringLiteral("货名")});
        model.bindView(&grid);
        model.reset(3, [&](int row, int) { return row == 1 ? text : QStringLiteral("x"); });
        fitColumns(&grid, {100});
        const int margin = 2 * (grid.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &grid) + 1) + 1;
        QVERIFY2(grid.columnWidth(0) >= QFontMetrics(grid.font()).horizontalAdvance(text) + margin,
                 qPrintable(QString::number(grid.columnWidth(0))));
    }

    void aCancelledFirstRunShowsZeroTotals()
    {
        // Another program holds the file: the opening run waits, and the
        // keeper cancels it. The totals read 0, not blanks.
        TestShop::pinLocale();
        TestShop shop;
        shop.create();
        shop.addSale(1, 1, QStringLiteral("A"), 1, Money::fromCents(100));
        shop.take().reset();
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
        other.setDatabaseName(shop.path());
        QVERIFY(other.open());
        {
            QSqlQuery hold(other);
            QVERIFY(hold.exec(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE")));
            QVERIFY2(hold.exec(QStringLiteral("BEGIN EXCLUSIVE")), qPrintable(hold.lastError().text()));
        }
        QWidget owner;
        showActive(&owner);
        bool cancelled = false;
        QTimer cancel;
        QObject::connect(&cancel, &QTimer::timeout, &cancel, [&] {
            auto *p = owner.findChild<QProgressDialog *>(QStringLiteral("progress"));
            if (p && p->isVisible() && !cancelled) {
                QTest::mouseClick(p->findChild<QPushButton *>(), Qt::LeftButton);
                cancelled = true;
            }
        });
        cancel.start(50);
        // Where the screen's own connection would be: to the held file.
        QSqlDatabase source = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("source"));
        source.setDatabaseName(shop.path());
        auto *dialog = new SalesAnalysisDialog(Shop::of(source), &owner);
        QVERIFY(cancelled);
        QCOMPARE(labels(dialog, {"Label9", "Label10", "Label11"}), strings({"0", "¥0.00", "¥0.00"}));
        delete dialog;
        other.close();
        other = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("holder"));
        source = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("source"));
    }

    void inventoryListOnPaper()
    {
        CounterFixture f;
        f.shop.addSale(1, 1, QStringLiteral("B"), 12, Money::fromCents(1000));
        auto *dialog = new InventoryDialog(f.shop.db().shop(), f.window);
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("list.pdf"));
        for (bool shown : {false, true}) {
            dialog->setPricesShown(shown);
            {
                QPdfWriter writer(pdf);
                QVERIFY(InventoryReport::paint(dialog->figures().rows, &writer));
            }
            const QString text = listText(pdf);
            for (const char *part : {"库 存 清 单", "货号", "货名", "销售数量", "销售金额", "进货总数", "库存数量",
                                     "薯片", "¥120.00", "-2"})
                QVERIFY2(text.contains(QString::fromUtf8(part).normalized(QString::NormalizationForm_KC)),
                         qPrintable(QString::fromUtf8(part) + QStringLiteral(" missing in:\n") + text));
            QVERIFY(!text.contains(QStringLiteral("进货价格")) && !text.contains(QStringLiteral("库存金额")));
            // Each figure under its own caption: code, name, sold, amount, purchased, stock.
            QCOMPARE(printedLine(text, QStringLiteral("薯片")), strings({"B", "薯片", "12", "¥120.00", "10", "-2"}));
        }
        delete dialog;
    }

    void inventoryListThroughThePrinter()
    {
        if (QPrinterInfo::defaultPrinter().isNull()) {
            if (qEnvironmentVariableIsSet("TARVEL_REQUIRE_PRINTER"))
                QFAIL("no default printer although the test run set one up");
            QSKIP("no default printer (CUPS with cups-pdf)");
        }
        const QDateTime started = QDateTime::currentDateTime().addSecs(-1);
        CounterFixture f;
        f.shop.addGoods(QStringLiteral("P1"), QStringLiteral("打印测试货"));
        f.shop.addPurchase(QStringLiteral("P1"), 33, Money::fromCents(100));
        const StockFigures figures = StockFigures::compute(f.shop.db().shop());
        QVERIFY_OK(InventoryReport::printOnDefaultPrinter(figures.rows));
        const QString found = waitForPrintedPdf(started, QStringLiteral("打印测试货"));
        QVERIFY2(!found.isEmpty(), "no inventory PDF from cups-pdf");
        const QString text = listText(found);
        for (const char *part : {"库 存 清 单", "货号", "库存数量", "P1", "打印测试货", "33"})
            QVERIFY2(text.contains(QString::fromUtf8(part).normalized(QString::NormalizationForm_KC)),
                     qPrintable(QString::fromUtf8(part) + QStringLiteral(" missing in:\n") + text));
        QCOMPARE(
            printedLine(text, QStringLiteral("打印测试货")),
            QStringList({QStringLiteral("P1"), QStringLiteral("打印测试货").normalized(QString::NormalizationForm_KC),
                         QStringLiteral("0"), QStringLiteral("¥0.00"), QStringLiteral("33"), QStringLiteral("33")}));
        QFile::remove(found);
    }
};

QTEST_MAIN(TestAnalysisScreens)
#include "tst_analysisscreens.moc"
