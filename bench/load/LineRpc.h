#pragma once

#include "protocol/JsonRpc.h"

#include <QByteArray>
#include <QJsonArray>
#include <QString>
#include <QTcpSocket>

namespace kvr::load {

// A blocking JSON-lines connection to one app server: one request, then its
// answer. Made and used on one thread.
class LineRpc final
{
public:
    bool connectTo(const QString &host, quint16 port);
    QString errorText() const { return m_socket.errorString(); }

    // Calls "kvr51400.rdmConsisteFiscal.<method>"; a lost connection or an
    // unreadable answer comes back as a Transport fault.
    protocol::RpcResponse call(const QString &method, const QJsonArray &params);

private:
    QByteArray readLine();

    QTcpSocket m_socket;
    QByteArray m_buffer;
    qint64 m_nextId = 1;
};

} // namespace kvr::load
