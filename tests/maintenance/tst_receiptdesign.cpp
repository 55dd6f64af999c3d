#include "counterfixture.h"
#include "gui/maintenance/receiptdesigndialog.h"
#include "gui/screenhost.h"
#include "print/receiptlayout.h"
#include "shop/recordset.h"
#include "shop/trail.h"

#include <QPdfWriter>
#include <QProcess>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>
#include <QTimer>

// The receipt design screen: the header rule, the footer lines, and the next
// receipt at the counter using them.
class TestReceiptDesign : public QObject
{
    Q_OBJECT

    struct Fixture
    {
        explicit Fixture(bool server = false)
        {
            TestShop::pinLocale();
            shop.create();
            if (server)
                shop.moveToServer();
            dialog = new ReceiptDesignDialog(shop.db().shop(), [this] { ++reloads; });
            showActive(dialog);
        }
        ~Fixture() { delete dialog; }
        QLineEdit *header() const { return dialog->findChild<QLineEdit *>(QStringLiteral("Text1")); }
        void click(const char *name)
        {
            QTest::mouseClick(dialog->findChild<QPushButton *>(QString::fromLatin1(name)), Qt::LeftButton);
        }
        QStringList stored()
        {
            QSqlQuery q(shop.db().shop().connection());
            q.exec(QStringLiteral("SELECT id, content FROM code WHERE id >= 20000 ORDER BY id"));
            QStringList all;
            while (q.next())
                all.append(q.value(0).toString() + u'=' + q.value(1).toString());
            return all;
        }
        TestShop shop;
        MessageRecorder messages;
        ReceiptDesignDialog *dialog = nullptr;
        int reloads = 0;
    };

private Q_SLOTS:
    void opensWithTheStoredTexts()
    {
        Fixture f;
        QCOMPARE(f.dialog->windowTitle(), QStringLiteral("小票设计"));
        QCOMPARE(f.header()->text(), Database::defaultHeader());
        auto *grid = f.dialog->findChild<QTableView *>(QStringLiteral("DataGrid1"));
        QCOMPARE(grid->model()->rowCount(), 2);
        QCOMPARE(grid->model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("打印内容"));
        QVERIFY(grid->isColumnHidden(0) && grid->isColumnHidden(1) && !grid->isColumnHidden(2));
    }

    void headerLength_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::addColumn<bool>("refused");
        const QString latin = QStringLiteral("abcdefghijklmnopqrstuvwxyz012345");
        QTest::newRow("exactly 32") << latin << latin << false;
        QTest::newRow("33rd refused") << latin + u'6' << latin << true;
        const QString chinese = QStringLiteral("欢迎光临").repeated(8);
        QTest::newRow("32 Chinese") << chinese << chinese << false;
        QTest::newRow("33 Chinese") << chinese + QStringLiteral("店") << chinese << true;
        const QString emoji = QStringLiteral("😀").repeated(32);
        QTest::newRow("32 outside the BMP") << emoji << emoji << false;
        QTest::newRow("33 outside the BMP") << emoji + QStringLiteral("😀") << emoji << true;
    }

    void headerLength()
    {
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        QFETCH(bool, refused);
        Fixture f;
        f.header()->clear();
        typeText(f.header(), typed);
        QCOMPARE(f.header()->text(), kept);
        QCOMPARE(f.messages.texts(), refused ? QStringList{QStringLiteral("请输入少于32个字符！")} : QStringList{});
    }

    void saveHeader()
    {
        Fixture f;
        f.header()->clear();
        f.click("Command1");
        QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("不能为空！")});
        QCOMPARE(f.stored().first(), QStringLiteral("20000=") + Database::defaultHeader());
        QCOMPARE(f.reloads, 0);

        f.messages.clear();
        f.header()->setText(QStringLiteral("it's 新店"));
        f.click("Command1");
        QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("修改成功！")});
        QCOMPARE(f.stored().first(), QStringLiteral("20000=it's 新店"));
        QCOMPARE(f.reloads, 1);
    }

    void missingHeaderRowIsMadeAgain()
    {
        Fixture f;
        f.shop.exec(QStringLiteral("DELETE FROM code WHERE id = 20000"));
        delete f.dialog;
        f.dialog = new ReceiptDesignDialog(f.shop.db().shop(), {});
        QCOMPARE(f.header()->text(), QString());
        f.header()->setText(QStringLiteral("店"));
        f.click("Command1");
        QCOMPARE(f.stored().first(), QStringLiteral("20000=店"));
    }

    void appendAndDeleteFooterLines_data() { addEngineColumn(); }
    void appendAndDeleteFooterLines()
    {
        QFETCH(bool, server);
        Fixture f(server);
        f.shop.exec(QStringLiteral("INSERT INTO code (id, content) VALUES (20003, '第三行')"));
        delete f.dialog;
        f.dialog = new ReceiptDesignDialog(f.shop.db().shop(), {});
        f.click("jiabutton");
        QCOMPARE(f.stored().size(), 5);
        QCOMPARE(f.stored().last(), QStringLiteral("20004="));
        for (int i = 0; i < 5; ++i)
            f.click("deleteButton");
        QCOMPARE(f.stored(), (QStringList{QStringLiteral("20000=") + Database::defaultHeader(),
                                          QStringLiteral("20001=") + Database::defaultFooter().first()}));
        QVERIFY(f.messages.boxes.isEmpty());
        f.click("jiabutton");
        QCOMPARE(f.stored().last(), QStringLiteral("20002="));
        // Leaving the screen records what happened to the footer, once.
        QVERIFY(showActive(f.dialog));
        f.shop.exec(QStringLiteral("UPDATE code SET content = '谢谢惠顾' WHERE id = 20002"));
        f.dialog->hide();
        f.dialog->hide();
        const auto records =
            Trail::list(f.shop.db().shop(), QDate::currentDate(), QDate::currentDate(), QStringLiteral("票据设计"));
        QVERIFY2(records && records->size() == 1, qPrintable(records.errorText()));
        QVERIFY2(records->first().what.endsWith(QStringLiteral(" / 谢谢惠顾")), qPrintable(records->first().what));
    }

    void footerCellIsCutTo32_data() { addEngineColumn(); }
    void footerCellIsCutTo32()
    {
        QFETCH(bool, server);
        Fixture f(server);
        auto *grid = f.dialog->findChild<QTableView *>(QStringLiteral("DataGrid1"));
        const QModelIndex cell = grid->model()->index(1, 2);
        grid->setCurrentIndex(cell);
        grid->edit(cell);
        auto *editor = grid->findChild<QLineEdit *>();
        QVERIFY(editor);
        editor->clear();
        typeText(editor, QStringLiteral("谢").repeated(33));
        QCOMPARE(editor->text(), QStringLiteral("谢").repeated(32));
        QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("请输入少于32个字符！")});
        QTest::keyClick(editor, Qt::Key_Return);
        // The grid commits the edit on the next turn of the event loop.
        QTRY_COMPARE(f.stored().last(), QStringLiteral("20002=") + QStringLiteral("谢").repeated(32));
        // A value put in the cell by other means is cut too.
        QVERIFY(!grid->model()->setData(cell, QStringLiteral("x").repeated(40)) ||
                f.stored().last() == QStringLiteral("20002=") + QStringLiteral("x").repeated(32));
    }

    void nextReceiptUsesTheNewTexts()
    {
        CounterFixture f;
        f.ringUp(QStringLiteral("A"), QStringLiteral("1"));
        QTimer::singleShot(0, [&] {
            auto *d = qobject_cast<ReceiptDesignDialog *>(QApplication::activeModalWidget());
            QVERIFY(d);
            d->findChild<QLineEdit *>(QStringLiteral("Text1"))->setText(QStringLiteral("新的店名"));
            QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("Command1")), Qt::LeftButton);
            QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("jiabutton")), Qt::LeftButton);
            d->close();
        });
        f.window->screens()->open(QStringLiteral("frmxiaopiao"));
        const Receipt r = f.window->composeReceipt();
        QCOMPARE(r.header, QStringLiteral("新的店名"));
        QCOMPARE(r.footer, Database::defaultFooter() + QStringList{QString()});
        // And so on paper.
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("r.pdf"));
        {
            QPdfWriter writer(pdf);
            QVERIFY(ReceiptLayout::paint(r, &writer));
        }
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        QVERIFY(text.waitForFinished(30000));
        const QString printed = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY2(printed.contains(QStringLiteral("新的店名")), qPrintable(printed));
        QVERIFY(!printed.contains(Database::defaultHeader()));
    }
};

QTEST_MAIN(TestReceiptDesign)
#include "tst_receiptdesign.moc"
