#pragma once

#include "shop/shop.h"

#include <QSqlDatabase>
#include <QString>

#include <atomic>
#include <functional>
#include <mutex>

class QThreadPool;
struct sqlite3;
struct pg_cancel;

// A connection of its own to the shop's data (the file, or the server), for
// long reading work (an analysis over years of sales) on another thread,
// and the way to stop it.
class WorkConnection
{
public:
    // Takes where `shop` is connected to, in the shop's own thread.
    explicit WorkConnection(const Shop &shop);
    // The file at `path`.
    explicit WorkConnection(const QString &path);
    ~WorkConnection();

    // Opens the connection in the calling thread, gives it to `work` and
    // closes it again. When it cannot be opened the work still gets the
    // connection and reports the failure of its first query.
    //
    // A server connection is kept open afterwards for the next work of the
    // same thread (a new server process starts with empty caches, and costs
    // more to start than a month's analysis costs to answer); a kept one that
    // was lost meanwhile is opened again and the work done once more. Work
    // runs on the pool's one thread, so its kept connections serve every
    // analysis; they are closed when the application ends.
    using Work = std::function<void(const Shop &)>;
    void run(const Work &work);
    static QThreadPool *pool();
    // On the pool's thread: closes the kept connections no work used for
    // `idleMilliseconds`, so that no server process waits for a till that is
    // not analysing (nor piles up notices for it).
    static void closeIdle(qint64 idleMilliseconds = IdleMilliseconds);
    static constexpr int IdleMilliseconds = 10 * 60 * 1000;
    // From any thread: the running statement of the work stops at once with
    // an error, and work not yet begun is not begun.
    void interrupt();
    // From any thread, after an interrupt the server did not act on (it does
    // not answer): the running statement's connection is cut, so the work
    // ends at once; the kept connection is opened again for the next work.
    void cutOff();
    bool isInterrupted() const { return m_interrupted; }

private:
    void runOn(QSqlDatabase db, const Work &work);

    QString m_driver, m_name, m_host, m_user, m_password, m_options;
    int m_port = -1;
    std::mutex m_lock;
    sqlite3 *m_handle = nullptr;
    pg_cancel *m_cancel = nullptr;
    int m_socket = -1;
    std::atomic<bool> m_interrupted = false;
};
