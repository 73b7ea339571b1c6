#include "server/net/AppServer.h"

#include "server/net/ConnectionThread.h"

namespace kvr::server {

AppServer::AppServer(const DatabaseUrl &database, qsizetype messageLimit, QObject *parent)
    : QTcpServer(parent), m_database(database), m_messageLimit(messageLimit)
{
}

AppServer::~AppServer()
{
    shutdown();
}

void AppServer::incomingConnection(qintptr socketDescriptor)
{
    auto *thread = new ConnectionThread(socketDescriptor, m_database, m_messageLimit, this);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    m_threads.removeAll(nullptr);
    m_threads.append(thread);
    thread->start();
}

void AppServer::shutdown()
{
    close();
    for (const QPointer<ConnectionThread> &thread : std::as_const(m_threads))
        if (thread)
            thread->requestInterruption();
    for (const QPointer<ConnectionThread> &thread : std::as_const(m_threads))
        if (thread)
            thread->wait();
    m_threads.clear();
}

} // namespace kvr::server
