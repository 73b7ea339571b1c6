#include "tests/common/RpcClient.h"

#include "protocol/LineFramer.h"

#include <QDeadlineTimer>
#include <QJsonObject>

namespace kvr::test {

bool RpcClient::connectTo(quint16 port, const QString &host)
{
    m_socket.connectToHost(host, port);
    return m_socket.waitForConnected(10000);
}

protocol::RpcResponse RpcClient::call(const QString &method, const QJsonArray &params)
{
    return callFull(QStringLiteral("kvr51400.rdmConsisteFiscal.") + method, params);
}

protocol::RpcResponse RpcClient::callFull(const QString &fullMethod, const QJsonArray &params)
{
    sendRaw(protocol::LineFramer::frame(protocol::encodeRequest(m_nextId++, fullMethod, params)));
    return readResponse(m_timeoutMs);
}

void RpcClient::sendRaw(const QByteArray &bytes)
{
    m_socket.write(bytes);
    while (m_socket.bytesToWrite() > 0 && m_socket.waitForBytesWritten(20000)) {
    }
}

QByteArray RpcClient::readLine(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!m_buffer.contains('\n')) {
        if (deadline.hasExpired())
            return {};
        if (m_socket.bytesAvailable() == 0 &&
            !m_socket.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            return {};
        m_buffer += m_socket.readAll();
    }
    const qsizetype nl = m_buffer.indexOf('\n');
    const QByteArray line = m_buffer.left(nl);
    m_buffer.remove(0, nl + 1);
    return line;
}

protocol::RpcResponse RpcClient::readResponse(int timeoutMs)
{
    protocol::RpcResponse response;
    QString problem;
    const QByteArray line = readLine(timeoutMs);
    if (line.isEmpty() || !protocol::parseResponse(line, response, problem)) {
        response.ok = false;
        response.fault = {protocol::RpcError::Transport,
                          QStringLiteral("no answer: ") + QString::fromUtf8(line.left(200))};
    }
    return response;
}

bool RpcClient::waitClosed(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (m_socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
        if (m_socket.waitForReadyRead(50))
            m_buffer += m_socket.readAll();
    }
    return m_socket.state() != QAbstractSocket::ConnectedState;
}

protocol::DataPacket packetOf(const protocol::RpcResponse &response)
{
    protocol::DataPacket packet;
    QString problem;
    if (response.ok)
        protocol::packetFromJson(response.result.toObject(), packet, problem);
    return packet;
}

} // namespace kvr::test
