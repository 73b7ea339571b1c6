#pragma once

#include "server/auth/AuthThrottle.h"
#include "server/net/CallPool.h"
#include "server/net/InputBudget.h"
#include "server/net/ServeSettings.h"

#include <QList>
#include <QTcpServer>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

class QThread;

namespace kvr::server {

// Accepts client connections and serves them event-driven on a few I/O
// threads; their calls run on the CallPool. Connections beyond the limit get
// one refusal line and are closed.
class AppServer final : public QTcpServer
{
    Q_OBJECT
public:
    explicit AppServer(const ServeSettings &settings, QObject *parent = nullptr);
    ~AppServer() override;

    // Stops accepting and closes idle connections; calls in progress may
    // finish and send their replies within `grace`. False when some call was
    // still running then: only ending the process (which drops its database
    // connection and so rolls its transaction back) can stop it.
    bool shutdown(std::chrono::milliseconds grace);

    const ServeSettings &settings() const { return m_settings; }
    CallPool &pool() { return m_pool; }
    InputBudget &budget() { return m_budget; }
    AuthThrottle &throttle() { return m_throttle; }
    // Called by each connection as it ends, on its own thread.
    void connectionEnded(bool counted);

Q_SIGNALS:
    void stopping();

protected:
    void incomingConnection(qintptr socketDescriptor) override;

private:
    void stopIoThreads();

    const ServeSettings m_settings;
    CallPool m_pool;
    InputBudget m_budget;
    AuthThrottle m_throttle;
    QList<QThread *> m_ioThreads;
    QList<QObject *> m_roots;
    qsizetype m_nextThread = 0;
    std::atomic<int> m_counted{0};
    std::mutex m_mutex;
    std::condition_variable m_ended;
    int m_alive = 0;
    bool m_stopped = false;
};

} // namespace kvr::server
