#include "counterfixture.h"
#include "gui/login/logindialog.h"
#include "gui/login/passworddialog.h"
#include "gui/maintenance/receiptdesigndialog.h"
#include "gui/screenhost.h"
#include "gui/stock/cataloguedialog.h"
#include "gui/stock/purchasedialog.h"
#include "shop/numbertext.h"
#include "shop/pricing.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>

// Hostile input, typed and pasted, into every text box: each is accepted by
// the rules of its box or refused with its message; no crash, no wrong figure,
// and the file changes only as the action means.
class TestBadInput : public QObject
{
    Q_OBJECT

    int m_tried = 0;
    int m_passed = 0;

    static QStringList hostile()
    {
        return {QString(),
                QStringLiteral("   "),
                QStringLiteral("'"),
                QStringLiteral("' OR '1'='1"),
                QStringLiteral("%"),
                QStringLiteral("_"),
                QStringLiteral("--"),
                QString(10000, u'9'),
                QStringLiteral("😀🍎"),
                QStringLiteral("１２"),
                QStringLiteral("1e309"),
                QStringLiteral("-0"),
                QStringLiteral("0x10"),
                QStringLiteral("1,2,3"),
                QStringLiteral("-"),
                QStringLiteral("32767"),
                QStringLiteral("32768"),
                QStringLiteral("-32768"),
                QStringLiteral("-32769"),
                QStringLiteral("a\u0000b")};
    }

    // Puts `text` into `box` typed (key by key) or pasted (at once).
    static void enter(QLineEdit *box, const QString &text, bool typed)
    {
        box->clear();
        if (typed)
            typeText(box, text.size() > 200 ? text.left(200) : text);
        else
            box->setText(text);
    }

    static qint64 rows(TestShop &shop)
    {
        qint64 n = 0;
        for (const char *t : {"name", "kuaijie", "jinhuo", "xiaoshou", "code"})
            n += shop.count(QString::fromLatin1(t));
        return n;
    }

    void tally(bool ok, const QString &what)
    {
        ++m_tried;
        if (ok)
            ++m_passed;
        else
            qWarning("bad input not handled: %s", qPrintable(what));
    }

private Q_SLOTS:
    void cleanupTestCase()
    {
        // The figure: inputs × boxes tried / passed.
        qInfo("FIGURE R4 bad input: %d passed of %d tried", m_passed, m_tried);
        QCOMPARE(m_passed, m_tried);
    }

    void counterBoxes()
    {
        CounterFixture f;
        // The quantity and payment boxes keep only what converts; the price
        // and rate boxes take any text, and the discounted price follows them
        // only while both hold numbers.
        const QStringList numberBoxes = strings({"Text3", "Text8"});
        f.get<QCheckBox>("Check4")->setChecked(true);
        const qint64 before = rows(f.shop);
        for (const char *name : {"Text1", "Text3", "Text5", "Text7", "Text8"}) {
            for (bool typed : {true, false}) {
                for (const QString &input : hostile()) {
                    QLineEdit *box = f.edit(name);
                    f.messages.clear();
                    enter(box, input, typed);
                    bool ok = true;
                    const QString shown = box->text();
                    if (numberBoxes.contains(QString::fromLatin1(name)) && !shown.isEmpty()) {
                        // What stays in a number box is a number of the locale.
                        ok = Money::parse(shown).has_value();
                        if (QString::fromLatin1(name) == u"Text3")
                            ok = NumberText::toInt16(shown).has_value();
                    }
                    // A refusal is its message, nothing else.
                    for (const QString &m : f.messages.texts())
                        ok = ok && (m == u"输入有误！" || m == u"输入有误，请重新输入！");
                    // The discounted price is never a wrong figure.
                    const auto expected = Pricing::discountedPrice(f.text("Text5"), f.text("Text7"));
                    if (expected && !f.text("Text5").isEmpty() && !f.text("Text7").isEmpty())
                        ok = ok && f.text("Text6") == expected->toCurrency();
                    tally(ok, QStringLiteral("%1 %2 %3")
                                  .arg(QString::fromLatin1(name),
                                       typed ? QStringLiteral("typed") : QStringLiteral("pasted"), input.left(20)));
                }
            }
        }
        QCOMPARE(rows(f.shop), before); // typing stores nothing
        // Hostile codes rung up: refused with the counter's messages, nothing stored.
        for (const QString &input : hostile()) {
            f.messages.clear();
            f.edit("Text1")->setText(input);
            f.edit("Text3")->setText(QStringLiteral("1"));
            f.window->addLine();
            tally(f.window->ticket()->lineCount() == 0 && f.messages.boxes.size() == 1,
                  QStringLiteral("ring up ") + input.left(20));
        }
        QCOMPARE(rows(f.shop), before);
    }

    void catalogueCodesAreStoredAsTyped()
    {
        TestShop::pinLocale();
        TestShop shop;
        shop.create();
        MessageRecorder messages;
        CatalogueDialog dialog(shop.db().shop());
        int stored = 0;
        for (const QString &input : hostile()) {
            dialog.findChild<QLineEdit *>(QStringLiteral("Text1"))->setText(input);
            dialog.findChild<QComboBox *>(QStringLiteral("Combo1"))->setEditText(QStringLiteral("名") + input.left(50));
            QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("OKButton")), Qt::LeftButton);
            // Blanks around a code are no part of it: blanks alone are no code.
            if (input.trimmed().isEmpty()) {
                tally(shop.count(QStringLiteral("name")) == stored, QStringLiteral("empty code"));
                continue;
            }
            ++stored;
            // Stored exactly, found exactly: no pattern, no injection.
            QSqlQuery q(shop.db().shop().connection());
            q.prepare(QStringLiteral("SELECT COUNT(*) FROM name WHERE code = ?"));
            q.addBindValue(input.trimmed());
            tally(q.exec() && q.next() && q.value(0).toInt() == 1 && shop.count(QStringLiteral("name")) == stored,
                  QStringLiteral("catalogue ") + input.left(20));
        }
        // A second add of each is a duplicate, refused.
        messages.clear();
        dialog.findChild<QLineEdit *>(QStringLiteral("Text1"))->setText(QStringLiteral("' OR '1'='1"));
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("OKButton")), Qt::LeftButton);
        tally(messages.texts() == QStringList{QStringLiteral("该货物代码已经存在，请重新输入！")},
              QStringLiteral("duplicate injection"));
    }

    void purchaseBoxes()
    {
        TestShop::pinLocale();
        TestShop shop;
        shop.create();
        shop.addGoods(QStringLiteral("A"), QStringLiteral("可乐"));
        MessageRecorder messages;
        PurchaseDialog dialog(shop.db().shop());
        for (const char *name : {"Text2", "Text3", "Text7"}) {
            for (const QString &input : hostile()) {
                messages.clear();
                auto *box = dialog.findChild<QLineEdit *>(QString::fromLatin1(name));
                enter(box, input, false);
                const QString shown = box->text();
                bool ok = shown.isEmpty() || Money::parse(shown).has_value();
                if (QString::fromLatin1(name) == u"Text2")
                    ok = shown.isEmpty() || NumberText::toInt16(shown).has_value();
                for (const QString &m : messages.texts())
                    ok = ok && m == u"输入有误！";
                tally(ok, QStringLiteral("purchase %1 %2").arg(QString::fromLatin1(name), input.left(20)));
            }
        }
        QCOMPARE(shop.count(QStringLiteral("jinhuo")), 0);
    }

    void passwords()
    {
        // A new password of any text: saved exactly when it has 1 to 10
        // characters, refused with its message otherwise; login takes it.
        for (const QString &input : hostile()) {
            CounterFixture f;
            auto *login = static_cast<LoginDialog *>(f.window->screens()->screen(QStringLiteral("frmLogin")));
            PasswordDialog change(f.shop.db().shop());
            change.findChild<QLineEdit *>(QStringLiteral("Text1"))->setText(input);
            change.findChild<QLineEdit *>(QStringLiteral("Text2"))->setText(input);
            QTest::mouseClick(change.findChild<QPushButton *>(QStringLiteral("OKButton")), Qt::LeftButton);
            const qsizetype length = input.toUcs4().size();
            const bool fits = length >= 1 && length <= 10;
            QSqlQuery q(f.shop.db().shop().connection());
            const bool stored = q.exec(QStringLiteral("SELECT code FROM code WHERE id = 1")) && q.next() &&
                                q.value(0).toString() == (fits ? input : Database::defaultPassword());
            const QString expected = fits              ? QStringLiteral("修改成功！")
                                     : input.isEmpty() ? QStringLiteral("密码不能为空！请重新输入！")
                                                       : QStringLiteral("密码长度超过10位！请重新输入！");
            tally(stored && f.messages.texts() == QStringList{expected} &&
                      login->storedPassword() == q.value(0).toString(),
                  QStringLiteral("password ") + input.left(20));
        }
    }

    void freeTextIsStoredAsTyped()
    {
        // Names, makers, pick-list names and footer lines: stored exactly as
        // typed (or cut to the 32 characters of a receipt line).
        TestShop::pinLocale();
        TestShop shop;
        shop.create();
        MessageRecorder messages;
        CatalogueDialog catalogue(shop.db().shop());
        PurchaseDialog purchases(shop.db().shop());
        ReceiptDesignDialog design(shop.db().shop(), {});
        auto stored = [&](const QString &sql, const QVariant &bound) {
            QSqlQuery q(shop.db().shop().connection());
            q.prepare(sql);
            q.addBindValue(bound);
            return q.exec() && q.next() ? q.value(0).toString() : QStringLiteral("<none>");
        };
        int n = 0;
        for (const QString &input : hostile()) {
            if (input.isEmpty())
                continue;
            const QString code = QStringLiteral("K%1").arg(++n);
            catalogue.findChild<QLineEdit *>(QStringLiteral("Text1"))->setText(code);
            catalogue.findChild<QComboBox *>(QStringLiteral("Combo1"))->setEditText(input);
            QTest::mouseClick(catalogue.findChild<QPushButton *>(QStringLiteral("OKButton")), Qt::LeftButton);
            tally(stored(QStringLiteral("SELECT name FROM name WHERE code = ?"), code) == input,
                  QStringLiteral("goods name ") + input.left(20));
            QTest::mouseClick(catalogue.findChild<QPushButton *>(QStringLiteral("Command5")), Qt::LeftButton);
            tally(stored(QStringLiteral("SELECT COUNT(*) FROM kuaijie WHERE kuaijie = ?"), input) != u"0",
                  QStringLiteral("pick list ") + input.left(20));

            for (auto [box, text] : {std::pair{"Text1", input},
                                     {"Text2", QStringLiteral("1")},
                                     {"Text3", QStringLiteral("1")},
                                     {"Text7", QStringLiteral("2")},
                                     {"Text6", input}})
                purchases.findChild<QLineEdit *>(QString::fromLatin1(box))->setText(text);
            QTest::mouseClick(purchases.findChild<QPushButton *>(QStringLiteral("OKButton")), Qt::LeftButton);
            tally(stored(QStringLiteral("SELECT changjia FROM jinhuo WHERE code = ? ORDER BY rowid DESC"), input) ==
                      input,
                  QStringLiteral("purchase ") + input.left(20));

            auto *grid = design.findChild<QTableView *>(QStringLiteral("DataGrid1"));
            grid->model()->setData(grid->model()->index(0, 2), input);
            tally(stored(QStringLiteral("SELECT content FROM code WHERE id = ?"), 20001) ==
                      ReceiptDesignDialog::clipped(input),
                  QStringLiteral("footer line ") + input.left(20));
        }
    }

    void receiptHeader()
    {
        TestShop::pinLocale();
        TestShop shop;
        shop.create();
        MessageRecorder messages;
        ReceiptDesignDialog dialog(shop.db().shop(), {});
        auto *header = dialog.findChild<QLineEdit *>(QStringLiteral("Text1"));
        for (const QString &input : hostile()) {
            messages.clear();
            enter(header, input, false);
            const bool ok =
                ReceiptDesignDialog::lengthOf(header->text()) <= 32 &&
                (messages.boxes.isEmpty() || messages.texts() == QStringList{QStringLiteral("请输入少于32个字符！")});
            tally(ok, QStringLiteral("header ") + input.left(20));
            if (!header->text().isEmpty()) {
                QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("Command1")), Qt::LeftButton);
                QSqlQuery q(shop.db().shop().connection());
                tally(q.exec(QStringLiteral("SELECT content FROM code WHERE id = 20000")) && q.next() &&
                          q.value(0).toString() == header->text(),
                      QStringLiteral("header stored ") + input.left(20));
            }
        }
    }
};

QTEST_MAIN(TestBadInput)
#include "tst_badinput.moc"
