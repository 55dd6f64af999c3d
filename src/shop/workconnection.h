#pragma once

#include <QSqlDatabase>
#include <QString>

#include <atomic>
#include <functional>
#include <mutex>

struct sqlite3;

// A connection of its own to the shop file, for long reading work (an
// analysis over years of sales) on another thread, and the way to stop it.
class WorkConnection
{
public:
    // Opens a connection to the file at `path` in the calling thread, gives
    // it to `work` and closes it again. When the file cannot be opened the
    // work still gets the connection and reports the failure of its first query.
    void run(const QString &path, const std::function<void(QSqlDatabase)> &work);
    // From any thread: the running statement of the work stops at once with
    // an error, and work not yet begun is not begun.
    void interrupt();
    bool isInterrupted() const { return m_interrupted; }

private:
    std::mutex m_lock;
    sqlite3 *m_handle = nullptr;
    std::atomic<bool> m_interrupted = false;
};
