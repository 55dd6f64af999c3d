#include "backgroundwork.h"

#include "database.h"

#include <QAtomicInteger>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QProgressDialog>
#include <QSqlDriver>
#include <QTimer>

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace BackgroundWork {

bool run(QWidget *parent, const QString &databasePath, const QString &label,
         const std::function<void(QSqlDatabase)> &work)
{
    static QAtomicInteger<int> counter;
    const QString name = QStringLiteral("tarvel-work-%1").arg(counter.fetchAndAddRelaxed(1));
    std::mutex handleLock;
    sqlite3 *handle = nullptr;
    std::atomic<bool> done = false;
    std::atomic<bool> cancelled = false;

    std::thread worker([&] {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(databasePath);
            if (db.open() && Database::addShopFunctions(db)) {
                {
                    const std::lock_guard guard(handleLock);
                    const QVariant v = db.driver()->handle();
                    if (v.isValid() && qstrcmp(v.typeName(), "sqlite3*") == 0)
                        handle = *static_cast<sqlite3 *const *>(v.constData());
                }
                if (!cancelled)
                    work(db);
                const std::lock_guard guard(handleLock);
                handle = nullptr;
            } else {
                work(db); // the work reports the failure of its first query
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
        done = true;
    });

    // Short work is simply waited for: no event is handled meanwhile, just as
    // for any quick query. Only past half a second the progress dialog comes
    // up and the window is served while the work goes on.
    const QDeadlineTimer quick(500);
    while (!done && !quick.hasExpired())
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (done) {
        worker.join();
        return true;
    }

    QEventLoop loop;
    QProgressDialog progress(label, QStringLiteral("取消"), 0, 0, parent);
    progress.setObjectName(QStringLiteral("progress"));
    progress.setWindowTitle(QStringLiteral("请稍候"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    QObject::connect(&progress, &QProgressDialog::canceled, &loop, [&] {
        cancelled = true;
        const std::lock_guard guard(handleLock);
        if (handle)
            sqlite3_interrupt(handle);
    });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done)
            loop.quit();
    });
    poll.start(10);
    progress.show();
    if (!done)
        loop.exec();
    worker.join();
    progress.hide();
    return !cancelled;
}

} // namespace BackgroundWork
