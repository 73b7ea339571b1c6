#pragma once

#include "server/storage/DatabaseUrl.h"

#include <QThread>

namespace kvr::server {

// Serves one client connection on its own thread with its own database
// connection: reads one JSON line at a time and answers it in order.
class ConnectionThread final : public QThread
{
    Q_OBJECT
public:
    ConnectionThread(qintptr socketDescriptor, const DatabaseUrl &database, qsizetype messageLimit,
                     QObject *parent = nullptr);

protected:
    void run() override;

private:
    qintptr m_socketDescriptor;
    DatabaseUrl m_database;
    qsizetype m_messageLimit;
};

} // namespace kvr::server
