#include "benchwindow.h"

#include "app/backoffice.h"
#include "benchtable.h"
#include "gui/screenhost.h"
#include "shop/database.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialog>
#include <QSqlQuery>

void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

namespace {
std::unique_ptr<Database> opened(const QString &path)
{
    Database::Result r = Database::open(path);
    if (!r.database)
        qFatal("cannot open %s: %s", qPrintable(path), qPrintable(r.message));
    return std::move(r.database);
}
} // namespace

Window::Window(const QString &path) : Window(opened(path)) { }

Window::Window(std::unique_ptr<Database> database)
{
    w = std::make_unique<CounterWindow>(std::move(database));
    addBackOffice(w.get());
    w->findChild<QCheckBox *>(QStringLiteral("Check1"))->setChecked(false); // no receipt
    w->show();
    settle();
    QSqlQuery q(w->database().shop().connection());
    q.exec(QStringLiteral("SELECT DISTINCT code FROM jinhuo ORDER BY code"));
    while (q.next())
        codes << q.value(0).toString();
}

Window::~Window()
{
    w->screens()->unloadAll();
    w.reset();
    settle();
}

void Window::ringUp(int lines)
{
    w->clearTicket();
    for (int i = 0; i < lines; ++i) {
        edit("Text1")->setText(nextCode());
        w->addLine();
    }
}

double Window::openScreen(const char *name)
{
    const double ms = millisecondsOf([&] {
        w->screens()->screen(QString::fromLatin1(name))->show();
        settle();
    });
    w->screens()->unloadAll();
    settle();
    return ms;
}

QDate dayBeforeLastSale(CounterWindow *w)
{
    QSqlQuery q(w->database().shop().connection());
    // Sales rung up by this run are today's; the file's own end before them.
    q.prepare(QStringLiteral("SELECT MAX(dt) FROM xiaoshou WHERE dt < ?"));
    q.addBindValue(QDate::currentDate().toString(Qt::ISODate));
    q.exec();
    const QDate last = q.next() ? QDate::fromString(q.value(0).toString().left(10), Qt::ISODate) : QDate();
    return last.isValid() ? last.addDays(-1) : QDate::currentDate();
}
