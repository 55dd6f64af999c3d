#pragma once

#include "gui/counter/counterwindow.h"

#include <QDate>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QStringList>

#include <memory>

class Database;

// Lets the event loop do what is waiting, deleted widgets included.
void settle();

// A counter window with the back office on a shop, shown, with no receipt
// printed, and the codes of its purchased goods to ring up.
struct Window
{
    explicit Window(const QString &path);
    explicit Window(std::unique_ptr<Database> database);
    ~Window();
    QLineEdit *edit(const char *name) const { return w->findChild<QLineEdit *>(QString::fromLatin1(name)); }
    QString nextCode() { return codes.isEmpty() ? QString() : codes.at(random.bounded(int(codes.size()))); }
    // Rings up `lines` lines of goods with stock, one piece each.
    void ringUp(int lines);
    // Milliseconds to open a back-office screen and show it.
    double openScreen(const char *name);

    std::unique_ptr<CounterWindow> w;
    QStringList codes;
    QRandomGenerator random{20261208};
};

// The day before the shop's last sale (before this run's own sales).
QDate dayBeforeLastSale(CounterWindow *w);
