#include "shop/serverdeadline.h"

#include "shop/engine.h"
#include "shop/shop.h"

#include <libpq-fe.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// One thread for the program, started at the first deadline: it sleeps until
// the earliest armed deadline and shuts the socket of one that passed. A
// shut socket makes libpq's waiting read return at once with the connection
// gone; the connection object itself stays the caller's.
class Watch
{
public:
    static Watch &instance()
    {
        static Watch watch;
        return watch;
    }

    std::uint64_t arm(int socket, Clock::time_point at)
    {
        const std::lock_guard lock(m_lock);
        if (!m_thread.joinable())
            m_thread = std::thread([this] { run(); });
        const std::uint64_t id = ++m_last;
        m_armed.emplace(id, Armed{socket, at, false});
        m_wake.notify_one();
        return id;
    }

    // False when the deadline had passed.
    bool disarm(std::uint64_t id)
    {
        const std::lock_guard lock(m_lock);
        const auto it = m_armed.find(id);
        if (it == m_armed.end())
            return true;
        const bool inTime = !it->second.expired;
        m_armed.erase(it);
        return inTime;
    }

    bool expired(std::uint64_t id)
    {
        const std::lock_guard lock(m_lock);
        const auto it = m_armed.find(id);
        return it != m_armed.end() && it->second.expired;
    }

    ~Watch()
    {
        {
            const std::lock_guard lock(m_lock);
            m_stopping = true;
            m_wake.notify_one();
        }
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    struct Armed
    {
        int socket;
        Clock::time_point at;
        bool expired;
    };

    void run()
    {
        std::unique_lock lock(m_lock);
        while (!m_stopping) {
            Clock::time_point next = Clock::time_point::max();
            const Clock::time_point now = Clock::now();
            for (auto &[id, armed] : m_armed) {
                if (armed.expired)
                    continue;
                if (armed.at <= now) {
                    armed.expired = true;
                    // Under the lock: the caller cannot disarm meanwhile, so
                    // the socket is still the statement's.
                    ::shutdown(armed.socket, SHUT_RDWR);
                } else if (armed.at < next) {
                    next = armed.at;
                }
            }
            if (next == Clock::time_point::max())
                m_wake.wait(lock);
            else
                m_wake.wait_until(lock, next);
        }
    }

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::map<std::uint64_t, Armed> m_armed;
    std::uint64_t m_last = 0;
    bool m_stopping = false;
    std::thread m_thread;
};

// The deadlines in force on this thread, innermost last.
thread_local std::vector<std::uint64_t> inForce;

} // namespace

ServerDeadline::ServerDeadline(const Shop &shop, int milliseconds)
{
    PGconn *conn = serverHandleOf(shop.connection());
    if (!conn || PQstatus(conn) != CONNECTION_OK)
        return;
    const int socket = PQsocket(conn);
    if (socket < 0)
        return;
    m_id = Watch::instance().arm(socket, Clock::now() + std::chrono::milliseconds(milliseconds));
    inForce.push_back(m_id);
}

ServerDeadline::~ServerDeadline()
{
    if (!m_id)
        return;
    Watch::instance().disarm(m_id);
    inForce.erase(std::find(inForce.begin(), inForce.end(), m_id));
}

bool ServerDeadline::passed()
{
    for (const std::uint64_t id : inForce)
        if (Watch::instance().expired(id))
            return true;
    return false;
}

bool ServerDeadline::expired() const
{
    return m_id && Watch::instance().expired(m_id);
}

QString ServerDeadline::silentInWords()
{
    return QStringLiteral("数据库服务器没有回应。");
}
