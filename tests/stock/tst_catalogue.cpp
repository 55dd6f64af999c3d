#include "gui/stock/cataloguedialog.h"
#include "messagerecorder.h"
#include "shop/cataloguelist.h"
#include "testshop.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTableView>
#include <QTest>

// The goods catalogue screen, driven through its controls.
class TestCatalogue : public QObject
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
            dialog = new CatalogueDialog(shop.db().shop());
            showActive(dialog);
        }
        ~Fixture() { delete dialog; }
        template <typename T = QWidget> T *get(const char *name) const
        {
            T *w = dialog->findChild<T *>(QString::fromLatin1(name));
            if (!w)
                qFatal("no control %s", name);
            return w;
        }
        void click(const char *name) { QTest::mouseClick(get<QPushButton>(name), Qt::LeftButton); }
        void add(const QString &code, const QString &name)
        {
            get<QLineEdit>("Text1")->setText(code);
            get<QComboBox>("Combo1")->setEditText(name);
            click("OKButton");
        }
        QStringList stored(const QString &sql)
        {
            QSqlQuery q(shop.db().shop().connection());
            q.exec(sql);
            QStringList all;
            while (q.next())
                all.append(q.value(0).toString() + u'=' + q.value(1).toString());
            return all;
        }
        TestShop shop;
        MessageRecorder messages;
        CatalogueDialog *dialog = nullptr;
    };

private Q_SLOTS:
    void initialState()
    {
        Fixture f;
        QCOMPARE(f.dialog->windowTitle(), QStringLiteral("货名管理"));
        auto *grid = f.get<QTableView>("DataGrid1");
        QCOMPARE(grid->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("   货号"));
        QCOMPARE(grid->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("   货名"));
        for (const char *enabled : {"OKButton", "CancelButton", "Command2", "Command1", "Command5", "Command6"})
            QVERIFY2(f.get(enabled)->isEnabled(), enabled);
        for (const char *disabled : {"Text3", "Text4", "Command3", "Command4"})
            QVERIFY2(!f.get(disabled)->isEnabled(), disabled);
        QVERIFY(f.get<QLabel>("Label9")->toolTip().startsWith(QStringLiteral("先在“货名”中输入")));
    }

    void addToEmptyAndAgain()
    {
        Fixture f;
        f.add(QStringLiteral("6901"), QStringLiteral("矿泉水"));
        f.add(QStringLiteral("it's"), QStringLiteral("苹果's"));
        QVERIFY(f.messages.boxes.isEmpty());
        // Written at once: another connection's view of the file has both.
        QCOMPARE(f.stored(QStringLiteral("SELECT code, name FROM name ORDER BY rowid")),
                 (QStringList{QStringLiteral("6901=矿泉水"), QStringLiteral("it's=苹果's")}));
        // The new row is the grid's current row; the add group keeps its text.
        QCOMPARE(f.get<QLineEdit>("Text3")->text(), QStringLiteral("it's"));
        QCOMPARE(f.get<QTableView>("DataGrid1")->currentIndex().row(), 1);
        QCOMPARE(f.get<QLineEdit>("Text1")->text(), QStringLiteral("it's"));
    }

    void emptyCodeOrNameDoesNothing_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("name");
        QTest::newRow("no code") << QString() << QStringLiteral("水");
        QTest::newRow("no name") << QStringLiteral("1") << QString();
    }

    void emptyCodeOrNameDoesNothing()
    {
        QFETCH(QString, code);
        QFETCH(QString, name);
        Fixture f;
        f.add(code, name);
        QVERIFY(f.messages.boxes.isEmpty());
        QCOMPARE(f.shop.count(QStringLiteral("name")), 0);
    }

    void duplicateCodeIsRefused_data()
    {
        QTest::addColumn<QString>("again");
        QTest::newRow("the same") << QStringLiteral("it's");
        // A code with blanks around it is the same goods, not a second one
        // the counter could never find.
        QTest::newRow("blank after") << QStringLiteral("it's ");
        QTest::newRow("blank before") << QStringLiteral(" it's");
    }

    void duplicateCodeIsRefused()
    {
        QFETCH(QString, again);
        Fixture f;
        f.add(QStringLiteral("A"), QStringLiteral("可乐"));
        f.add(QStringLiteral("it's"), QStringLiteral("苹果"));
        f.add(again, QStringLiteral("别的"));
        QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("该货物代码已经存在，请重新输入！")});
        QCOMPARE(f.messages.boxes.first().icon, Messages::Icon::Information);
        QCOMPARE(f.get<QLineEdit>("Text1")->text(), QString());
        QCOMPARE(f.get<QTableView>("DataGrid1")->currentIndex().row(), 0);
        QCOMPARE(QApplication::focusWidget(), f.get("Text1"));
        QCOMPARE(f.shop.count(QStringLiteral("name")), 2);
    }

    void renameSaveAndCancel()
    {
        Fixture f;
        f.add(QStringLiteral("A"), QStringLiteral("可乐"));
        f.shop.exec(QStringLiteral("CREATE TEMP TABLE updates (n)"));
        f.shop.exec(QStringLiteral("CREATE TEMP TRIGGER counted AFTER UPDATE ON name BEGIN "
                                   "INSERT INTO updates VALUES (1); END"));
        // Cancel without a change writes nothing.
        f.click("Command2");
        QVERIFY(f.dialog->isEditing());
        QVERIFY(!f.get("OKButton")->isEnabled() && !f.get("Command2")->isEnabled());
        QVERIFY(f.get("Command3")->isEnabled() && f.get("Command4")->isEnabled() && f.get("Text4")->isEnabled());
        QCOMPARE(QApplication::focusWidget(), f.get("Text4"));
        f.click("Command3");
        QVERIFY(!f.dialog->isEditing());
        QCOMPARE(f.shop.count(QStringLiteral("updates")), 0);

        // Cancel after typing puts the old name back.
        f.click("Command2");
        typeText(f.get("Text4"), QStringLiteral("无糖"));
        f.click("Command3");
        QCOMPARE(f.get<QLineEdit>("Text4")->text(), QStringLiteral("可乐"));
        QCOMPARE(f.stored(QStringLiteral("SELECT code, name FROM name")), QStringList{QStringLiteral("A=可乐")});

        // An empty name is refused and the screen stays in edit mode.
        f.click("Command2");
        f.get<QLineEdit>("Text4")->selectAll();
        QTest::keyClick(f.get("Text4"), Qt::Key_Delete);
        f.click("Command4");
        QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("货名不能为空，请重新输入！")});
        QVERIFY(f.dialog->isEditing());
        typeText(f.get("Text4"), QStringLiteral("零度可乐"));
        f.click("Command4");
        QVERIFY(!f.dialog->isEditing());
        QCOMPARE(f.stored(QStringLiteral("SELECT code, name FROM name")), QStringList{QStringLiteral("A=零度可乐")});
    }

    // Clicks a row of the grid with the mouse, as the keeper does.
    static void clickRow(Fixture &f, int row)
    {
        auto *grid = f.get<QTableView>("DataGrid1");
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          grid->visualRect(grid->model()->index(row, 1)).center());
    }

    void renameLeftOpenWritesNothing_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("another row clicked, then 取消") << QStringLiteral("click");
        QTest::newRow("close box") << QStringLiteral("close");
        QTest::newRow("Esc") << QStringLiteral("escape");
    }

    void renameLeftOpenWritesNothing()
    {
        // A rename that was never saved changes no goods, neither the one
        // renamed nor another that became current meanwhile.
        QFETCH(QString, how);
        Fixture f;
        f.add(QStringLiteral("A"), QStringLiteral("可乐"));
        f.add(QStringLiteral("B"), QStringLiteral("薯片"));
        f.shop.exec(QStringLiteral("CREATE TEMP TABLE updates (n)"));
        f.shop.exec(QStringLiteral("CREATE TEMP TRIGGER counted AFTER UPDATE ON name BEGIN "
                                   "INSERT INTO updates VALUES (1); END"));
        clickRow(f, 0);
        QCOMPARE(f.get<QLineEdit>("Text3")->text(), QStringLiteral("A"));
        f.click("Command2");
        typeText(f.get("Text4"), QStringLiteral("别名"));
        if (how == u"click") {
            clickRow(f, 1);
            QCOMPARE(f.get<QLineEdit>("Text3")->text(), QStringLiteral("A"));
            f.click("Command3");
            QCOMPARE(f.get<QLineEdit>("Text4")->text(), QStringLiteral("可乐"));
        } else if (how == u"close") {
            f.dialog->close();
        } else {
            QTest::keyClick(f.get("Text4"), Qt::Key_Escape);
        }
        QVERIFY(!f.dialog->isEditing());
        delete f.dialog; // the record set goes too: nothing pending is left for it to write
        f.dialog = nullptr;
        QCOMPARE(f.stored(QStringLiteral("SELECT code, name FROM name ORDER BY rowid")), strings({"A=可乐", "B=薯片"}));
        QCOMPARE(f.shop.count(QStringLiteral("updates")), 0);
    }

    void afterADeleteTheHighlightedGoodsAreTheCurrent()
    {
        Fixture f;
        for (const char *code : {"A", "B", "C"})
            f.add(QString::fromLatin1(code), QStringLiteral("货") + QString::fromLatin1(code));
        clickRow(f, 1);
        f.click("Command1");
        auto *grid = f.get<QTableView>("DataGrid1");
        QVERIFY(grid->currentIndex().isValid());
        const QString highlighted = grid->model()->index(grid->currentIndex().row(), 0).data().toString();
        QCOMPARE(highlighted, QStringLiteral("C")); // the goods that took the deleted row's place
        QCOMPARE(f.get<QLineEdit>("Text3")->text(), highlighted);
        // The next command, without selecting again, works on that goods.
        f.click("Command2");
        typeText(f.get("Text4"), QStringLiteral("新"));
        f.click("Command4");
        QVERIFY(f.messages.boxes.isEmpty());
        QCOMPARE(f.stored(QStringLiteral("SELECT code, name FROM name ORDER BY rowid")), strings({"A=货A", "C=货C新"}));
    }

    void aCatalogueOfManyPages()
    {
        // 600 goods: the grid is given a page at a time, and every command
        // works on the goods shown, also past the first page.
        Fixture f;
        f.shop.exec(
            QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 600) "
                           "INSERT INTO name (code, name) SELECT printf('G%03d', i), printf('货%d', i) FROM n"));
        delete f.dialog;
        f.dialog = new CatalogueDialog(f.shop.db().shop());
        showActive(f.dialog);
        auto *grid = f.get<QTableView>("DataGrid1");
        QCOMPARE(grid->model()->rowCount(), 256);
        while (grid->model()->canFetchMore({}))
            grid->model()->fetchMore({});
        QCOMPARE(grid->model()->rowCount(), 600);
        QCOMPARE(grid->model()->index(599, 0).data().toString(), QStringLiteral("G600"));

        // A duplicate far down the list is found; a new code goes at the end, selected.
        f.add(QStringLiteral("G599"), QStringLiteral("重复"));
        QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("该货物代码已经存在，请重新输入！")});
        f.add(QStringLiteral("N1"), QStringLiteral("新货"));
        QCOMPARE(grid->currentIndex().row(), 600);
        QCOMPARE(f.get<QLineEdit>("Text3")->text(), QStringLiteral("N1"));

        // Delete on the second page: the next goods take its place, selected.
        grid->selectRow(300);
        QCOMPARE(f.get<QLineEdit>("Text3")->text(), QStringLiteral("G301"));
        f.click("Command1");
        QCOMPARE(f.shop.count(QStringLiteral("name")), 600);
        QCOMPARE(f.get<QLineEdit>("Text3")->text(), QStringLiteral("G302"));

        // Renamed there, and still selected after another program added goods.
        f.click("Command2");
        typeText(f.get("Text4"), QStringLiteral("改"));
        f.click("Command4");
        QCOMPARE(f.stored(QStringLiteral("SELECT code, name FROM name WHERE code = 'G302'")),
                 QStringList{QStringLiteral("G302=货302改")});
        f.shop.exec(QStringLiteral("INSERT INTO name (code, name) VALUES ('N2', '别处')"));
        QWidget other;
        QVERIFY(showActive(&other));
        QVERIFY(showActive(f.dialog));
        QTRY_COMPARE(f.get<QLineEdit>("Text3")->text(), QStringLiteral("G302"));
        QCOMPARE(grid->model()->index(grid->currentIndex().row(), 0).data().toString(), QStringLiteral("G302"));
    }

    void deleteGuard_data()
    {
        QTest::addColumn<bool>("purchased");
        QTest::addColumn<bool>("sold");
        QTest::addColumn<QString>("message");
        QTest::newRow("free") << false << false << QString();
        QTest::newRow("purchased") << true << false << QStringLiteral("该商品有进货数据，不能删除！");
        QTest::newRow("sold") << false << true << QStringLiteral("该商品有销售数据，不能删除！");
        QTest::newRow("both") << true << true << QStringLiteral("该商品有进货和销售数据，不能删除！");
    }

    void deleteGuard()
    {
        QFETCH(bool, purchased);
        QFETCH(bool, sold);
        QFETCH(QString, message);
        Fixture f;
        f.add(QStringLiteral("X"), QStringLiteral("其他"));
        f.add(QStringLiteral("it's"), QStringLiteral("苹果"));
        if (purchased)
            f.shop.addPurchase(QStringLiteral("it's"), 1, Money::fromCents(100));
        if (sold)
            f.shop.addSale(1, 1, QStringLiteral("it's"), 1, Money::fromCents(100));
        clickRow(f, 1);
        f.click("Command1");
        QCOMPARE(f.messages.texts(), message.isEmpty() ? QStringList{} : QStringList{message});
        QCOMPARE(f.shop.count(QStringLiteral("name")), message.isEmpty() ? 1 : 2);
        QCOMPARE(f.get<QTableView>("DataGrid1")->model()->rowCount(), message.isEmpty() ? 1 : 2);
    }

    void deletingTheLastRowLeavesAnEmptyGrid()
    {
        Fixture f;
        f.add(QStringLiteral("A"), QStringLiteral("可乐"));
        f.click("Command1");
        QCOMPARE(f.shop.count(QStringLiteral("name")), 0);
        QCOMPARE(f.get<QTableView>("DataGrid1")->model()->rowCount(), 0);
        QCOMPARE(f.get<QLineEdit>("Text3")->text(), QString());
        // Deleting on an empty grid does nothing.
        f.click("Command1");
        QVERIFY(f.messages.boxes.isEmpty());
    }

    void pickListDuplicatesAndIds_data() { addEngineColumn(); }
    void pickListDuplicatesAndIds()
    {
        QFETCH(bool, server);
        Fixture f(server);
        auto *combo = f.get<QComboBox>("Combo1");
        combo->setEditText(QStringLiteral("面包"));
        f.click("Command5");
        combo->setEditText(QStringLiteral("面包"));
        f.click("Command5");
        combo->setEditText(QStringLiteral("it's 茶"));
        f.click("Command5");
        QCOMPARE(f.messages.texts(), QStringList(3, QStringLiteral("添加成功！")));
        QCOMPARE(f.stored(QStringLiteral("SELECT id, kuaijie FROM kuaijie ORDER BY rowid")),
                 (QStringList{QStringLiteral("1=面包"), QStringLiteral("2=面包"), QStringLiteral("3=it's 茶")}));
        QCOMPARE(combo->count(), 3);

        // A typed (not chosen) name removes its first row and a list entry.
        f.messages.clear();
        combo->setCurrentIndex(-1);
        combo->setEditText(QStringLiteral("面包"));
        f.click("Command6");
        QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("删除成功！")});
        QCOMPARE(f.stored(QStringLiteral("SELECT id, kuaijie FROM kuaijie ORDER BY rowid")),
                 (QStringList{QStringLiteral("2=面包"), QStringLiteral("3=it's 茶")}));
        QCOMPARE(combo->count(), 2);
        QCOMPARE(combo->itemText(0), QStringLiteral("面包"));

        f.messages.clear();
        combo->setEditText(QStringLiteral("没有的"));
        f.click("Command6");
        QCOMPARE(f.messages.texts(), QStringList{QStringLiteral("没有这个货名，请重新输入！")});

        // A new screen lists the pick list in table order.
        delete f.dialog;
        f.dialog = new CatalogueDialog(f.shop.db().shop());
        combo = f.get<QComboBox>("Combo1");
        QCOMPARE(combo->count(), 2);
        QCOMPARE(combo->itemText(1), QStringLiteral("it's 茶"));
    }

    void pickListIdsPast16BitsAreRefused()
    {
        Fixture f;
        f.shop.exec(QStringLiteral("INSERT INTO kuaijie (id, kuaijie) VALUES (32767, '满')"));
        delete f.dialog;
        f.dialog = new CatalogueDialog(f.shop.db().shop());
        f.get<QComboBox>("Combo1")->setEditText(QStringLiteral("再来"));
        f.click("Command5");
        QCOMPARE(f.shop.count(QStringLiteral("kuaijie")), 1);
        QVERIFY(f.messages.last().contains(QStringLiteral("32767")));
    }

    void activationShowsTheTableAsItNowStands()
    {
        Fixture f;
        f.add(QStringLiteral("A"), QStringLiteral("可乐"));
        f.add(QStringLiteral("C"), QStringLiteral("毛巾"));
        clickRow(f, 1);
        f.shop.addGoods(QStringLiteral("B"), QStringLiteral("薯片"));
        QWidget other;
        QVERIFY(showActive(&other));
        QVERIFY(showActive(f.dialog));
        QTRY_COMPARE(f.get<QTableView>("DataGrid1")->model()->rowCount(), 3);
        // The goods that were selected stay selected over the re-read.
        QCOMPARE(f.get<QLineEdit>("Text3")->text(), QStringLiteral("C"));
        QCOMPARE(f.get<QTableView>("DataGrid1")->currentIndex().row(), 1);
    }

    // The table is read again on activation only when something was written
    // to the file since it was read: by this connection or by another one.
    void activationReadsAgainOnlyAfterAWrite_data()
    {
        QTest::addColumn<QString>("writer");
        QTest::addColumn<int>("rows");
        QTest::newRow("nothing written") << QString() << 1;
        QTest::newRow("this connection, another table") << QStringLiteral("same") << 1;
        QTest::newRow("another connection") << QStringLiteral("other") << 2;
    }
    void activationReadsAgainOnlyAfterAWrite()
    {
        QFETCH(QString, writer);
        QFETCH(int, rows);
        Fixture f;
        f.add(QStringLiteral("A"), QStringLiteral("可乐"));
        QWidget away;
        QVERIFY(showActive(&away));
        QVERIFY(showActive(f.dialog)); // reads the table with the add in it
        QSignalSpy resets(f.dialog->catalogue(), &QAbstractItemModel::modelReset);
        if (writer == u"same") {
            f.shop.exec(QStringLiteral("INSERT INTO kuaijie (id, kuaijie) VALUES (1, '水')"));
        } else if (writer == u"other") {
            QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other-writer"));
            other.setDatabaseName(f.shop.path());
            QVERIFY(other.open());
            QVERIFY(QSqlQuery(other).exec(QStringLiteral("INSERT INTO name (code, name) VALUES ('B', '薯片')")));
            other.close();
        }
        QVERIFY(showActive(&away));
        QVERIFY(showActive(f.dialog));
        QCoreApplication::processEvents();
        QCOMPARE(resets.count(), writer.isEmpty() ? 0 : 1);
        QCOMPARE(f.get<QTableView>("DataGrid1")->model()->rowCount(), rows);
        QSqlDatabase::removeDatabase(QStringLiteral("other-writer"));
    }
};

QTEST_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
