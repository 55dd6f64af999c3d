#include "gui/backgroundwork.h"

#include "shop/workconnection.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QProgressDialog>
#include <QSemaphore>
#include <QThreadPool>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

namespace BackgroundWork {

namespace {
constexpr int CutOffAfterMs = 1000;
}

bool run(QWidget *parent, const Shop &source, const QString &label, const std::function<void(const Shop &)> &work)
{
    return run(parent, source, label, [&work](const Shop &shop, const Cancelled &) { work(shop); });
}

bool run(QWidget *parent, const Shop &source, const QString &label,
         const std::function<void(const Shop &, const Cancelled &)> &work)
{
    WorkConnection connection(source);
    QSemaphore finished;
    QFutureWatcher<void> watcher;
    const Cancelled cancelled = [&connection] { return connection.isInterrupted(); };
    watcher.setFuture(QtConcurrent::run(WorkConnection::pool(), [&] {
        connection.run([&](const Shop &shop) { work(shop, cancelled); });
        finished.release();
    }));

    // The kept server connection closes when no work used it for a while.
    QTimer::singleShot(WorkConnection::IdleMilliseconds + 1000, QCoreApplication::instance(),
                       [] { WorkConnection::pool()->start([] { WorkConnection::closeIdle(); }); });
    // Short work is simply waited for: no event is handled meanwhile, just as
    // for any quick query. Only past half a second the progress dialog comes
    // up and the window is served while the work goes on.
    if (finished.tryAcquire(1, 500)) {
        watcher.waitForFinished();
        return true;
    }

    QEventLoop loop;
    QObject::connect(&watcher, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
    QProgressDialog progress(label, QStringLiteral("取消"), 0, 0, parent);
    progress.setObjectName(QStringLiteral("progress"));
    progress.setWindowTitle(QStringLiteral("请稍候"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    QObject::connect(&progress, &QProgressDialog::canceled, &loop, [&] {
        connection.interrupt();
        // A server that does not answer does not act on the cancel either.
        QTimer::singleShot(CutOffAfterMs, &loop, [&] { connection.cutOff(); });
    });
    progress.show();
    if (!watcher.isFinished())
        loop.exec();
    watcher.waitForFinished();
    progress.hide();
    return !connection.isInterrupted();
}

} // namespace BackgroundWork
