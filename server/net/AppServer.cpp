#include "server/net/AppServer.h"

#include "server/common/ServerLog.h"
#include "server/net/Connection.h"

#include <QDeadlineTimer>
#include <QThread>

#include <unistd.h>

#include <algorithm>

namespace kvr::server {

namespace {
// Waiting on sockets costs little CPU; a few threads serve thousands of them.
int ioThreadCount()
{
    return std::clamp(QThread::idealThreadCount(), 1, 4);
}
// Refused connections still being told so; beyond this a flood of them is
// closed without a word, so refusing costs bounded memory too.
constexpr int MaxRefusing = 64;
// After the calls, how long replies may take to reach their clients.
constexpr std::chrono::milliseconds FlushTime{2000};
} // namespace

AppServer::AppServer(const ServeSettings &settings, QObject *parent)
    : QTcpServer(parent), m_settings(settings),
      m_pool(settings.database, settings.dbPool, settings.login, settings.history),
      m_budget(settings.maxPending)
{
    for (int i = 0; i < ioThreadCount(); ++i) {
        auto *thread = new QThread;
        thread->setObjectName(QStringLiteral("kvr-io-%1").arg(i));
        auto *root = new QObject;
        root->moveToThread(thread);
        thread->start();
        m_ioThreads.append(thread);
        m_roots.append(root);
    }
}

AppServer::~AppServer()
{
    shutdown(std::chrono::milliseconds(0));
    // Calls still running use their connections: let them end first.
    m_pool.stop();
    stopIoThreads();
}

void AppServer::incomingConnection(qintptr socketDescriptor)
{
    const bool refuse = m_counted.load() >= m_settings.maxConnections;
    {
        const std::lock_guard lock(m_mutex);
        if (refuse && m_alive - m_counted.load() >= MaxRefusing) {
            ::close(static_cast<int>(socketDescriptor));
            return;
        }
        ++m_alive;
    }
    if (!refuse)
        ++m_counted;
    QObject *root = m_roots.at(m_nextThread);
    m_nextThread = (m_nextThread + 1) % m_roots.size();
    auto *connection = new Connection(socketDescriptor, *this, refuse);
    connect(this, &AppServer::stopping, connection, &Connection::stop);
    connection->moveToThread(root->thread());
    QMetaObject::invokeMethod(root, [root, connection] {
        connection->setParent(root);
        connection->start();
    });
}

void AppServer::connectionEnded(bool counted)
{
    if (counted)
        --m_counted;
    const std::lock_guard lock(m_mutex);
    --m_alive;
    m_ended.notify_all();
}

bool AppServer::shutdown(std::chrono::milliseconds grace)
{
    if (m_stopped)
        return true;
    m_stopped = true;
    close();
    const QDeadlineTimer deadline(grace);
    Q_EMIT stopping();
    if (!m_pool.drain(deadline))
        return false;
    {
        std::unique_lock lock(m_mutex);
        const auto until = std::min(deadline.deadline<std::chrono::steady_clock>(),
                                    std::chrono::steady_clock::now() + FlushTime);
        m_ended.wait_until(lock, until, [this] { return m_alive == 0; });
    }
    stopIoThreads();
    m_pool.stop();
    return true;
}

void AppServer::stopIoThreads()
{
    for (qsizetype i = 0; i < m_ioThreads.size(); ++i) {
        QObject *root = m_roots.at(i);
        QMetaObject::invokeMethod(root, [root] {
            delete root;
            QThread::currentThread()->quit();
        });
        m_ioThreads.at(i)->wait();
        delete m_ioThreads.at(i);
    }
    m_ioThreads.clear();
    m_roots.clear();
}

} // namespace kvr::server
