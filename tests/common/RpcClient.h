#pragma once

#include "protocol/DataPacket.h"
#include "protocol/JsonRpc.h"

#include <QByteArray>
#include <QJsonArray>
#include <QTcpSocket>

namespace kvr::test {

// A blocking JSON-lines client for tests and tools: one request, one answer.
class RpcClient final
{
public:
    bool connectTo(quint16 port, const QString &host = QStringLiteral("127.0.0.1"));
    QString errorText() const { return m_socket.errorString(); }
    // How long call() waits for its answer.
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    // Calls "kvr51400.rdmConsisteFiscal.<method>".
    protocol::RpcResponse call(const QString &method, const QJsonArray &params);
    protocol::RpcResponse callFull(const QString &fullMethod, const QJsonArray &params);

    void sendRaw(const QByteArray &bytes);
    // The next line from the server, without its newline; empty on timeout or close.
    QByteArray readLine(int timeoutMs = 20000);
    protocol::RpcResponse readResponse(int timeoutMs = 20000);
    // True once the server has closed the connection (waits up to timeoutMs).
    bool waitClosed(int timeoutMs = 5000);

    QTcpSocket &socket() { return m_socket; }

private:
    QTcpSocket m_socket;
    QByteArray m_buffer;
    int m_nextId = 1;
    int m_timeoutMs = 20000;
};

// Result helpers.
protocol::DataPacket packetOf(const protocol::RpcResponse &response);

} // namespace kvr::test
