#pragma once

#include "gui/counter/counterwindow.h"
#include "messagerecorder.h"
#include "testshop.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>

// A counter window on a test shop with a few goods:
//   A   可乐  10 × 2.50
//   B   薯片  4 × 9.00, then 6 × 10.00 (last price 10.00)
//   C   毛巾  in the catalogue, never purchased
//   it's 苹果 1 × 1,234.50
struct CounterFixture
{
    // On the server (a database of the test server of its own) or on the file.
    // `ownFile`: on the server, the till keeps its own file (sells offline).
    explicit CounterFixture(bool withGoods = true, bool onServer = false, bool ownFile = false);
    ~CounterFixture();

    template <typename T = QWidget> T *get(const char *name) const
    {
        T *w = window->findChild<T *>(QString::fromLatin1(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }
    QLineEdit *edit(const char *name) const { return get<QLineEdit>(name); }
    QString text(const char *name) const;
    void key(Qt::Key k) { QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window, k); }
    void type(const char *name, const QString &text);
    // Rings one line up from the keyboard: F1, code, F2, quantity, F5.
    void ringUp(const QString &code, const QString &quantity);

    TestShop shop;
    MessageRecorder messages;
    CounterWindow *window = nullptr;
};
