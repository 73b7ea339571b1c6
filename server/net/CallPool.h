#pragma once

#include "server/auth/CallContext.h"
#include "server/storage/DatabaseUrl.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>
#include <QPointer>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

class QThread;

namespace kvr::server {

class WarningLimiter;

// The fixed set of call threads, and so the pool of database connections:
// each thread opens its own connection on its first call (a QSqlDatabase
// belongs to the thread that opened it) and keeps it, reopening it after it
// was lost. A connection takes a thread for one call and gives it back, so an
// idle client holds no database connection.
class CallPool final
{
public:
    // Gets the reply on the receiver's thread; the receiver must outlive the call.
    using Done = std::function<void(const QByteArray &reply)>;

    // `login`: kvr.login is served; `history`: changes are recorded.
    CallPool(const DatabaseUrl &database, int size, bool login = false, bool history = true);
    ~CallPool();
    CallPool(const CallPool &) = delete;
    CallPool &operator=(const CallPool &) = delete;

    // Queues one request of `caller`; `warnings` is the connection's own limiter.
    void submit(QByteArray message, CallContext caller, WarningLimiter &warnings, QObject *receiver,
                Done done);
    // Shutdown: queued requests not yet begun are answered with a refusal;
    // returns once no call runs or at the deadline (false then).
    bool drain(QDeadlineTimer deadline);
    // Ends the threads; only once drained.
    void stop();

private:
    struct Job
    {
        QByteArray message;
        CallContext caller;
        WarningLimiter *warnings;
        QPointer<QObject> receiver;
        Done done;
    };
    void serve();
    static void answer(const Job &job, const QByteArray &reply);

    DatabaseUrl m_database;
    bool m_login;
    bool m_history;
    QList<QThread *> m_threads;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Job> m_queue;
    int m_running = 0;
    bool m_refusing = false;
    bool m_stopping = false;
};

} // namespace kvr::server
