#pragma once

#include "server/storage/DatabaseUrl.h"

#include <QList>
#include <QPointer>
#include <QTcpServer>

namespace kvr::server {

class ConnectionThread;

// Accepts client connections and hands each to its own ConnectionThread.
class AppServer final : public QTcpServer
{
    Q_OBJECT
public:
    AppServer(const DatabaseUrl &database, qsizetype messageLimit, QObject *parent = nullptr);
    ~AppServer() override;

    // Stops accepting, asks every connection to finish and waits for them.
    void shutdown();

protected:
    void incomingConnection(qintptr socketDescriptor) override;

private:
    DatabaseUrl m_database;
    qsizetype m_messageLimit;
    QList<QPointer<ConnectionThread>> m_threads;
};

} // namespace kvr::server
