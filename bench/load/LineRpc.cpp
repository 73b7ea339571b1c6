#include "bench/load/LineRpc.h"

#include "protocol/LineFramer.h"

namespace kvr::load {

namespace {
// Long enough for a large read behind a writer on a busy machine.
constexpr int AnswerTimeoutMs = 120000;
} // namespace

bool LineRpc::connectTo(const QString &host, quint16 port)
{
    m_socket.connectToHost(host, port);
    return m_socket.waitForConnected(10000);
}

protocol::RpcResponse LineRpc::call(const QString &method, const QJsonArray &params)
{
    m_socket.write(protocol::LineFramer::frame(protocol::encodeRequest(
        m_nextId++, QStringLiteral("kvr51400.rdmConsisteFiscal.") + method, params)));
    protocol::RpcResponse response;
    QString problem;
    const QByteArray line = readLine();
    if (line.isEmpty() || !protocol::parseResponse(line, response, problem)) {
        response.ok = false;
        response.fault = {protocol::RpcError::Transport,
                          line.isEmpty() ? QStringLiteral("sem resposta: ") + m_socket.errorString()
                                         : problem};
    }
    return response;
}

QByteArray LineRpc::readLine()
{
    qsizetype scanned = 0;
    for (;;) {
        const qsizetype nl = m_buffer.indexOf('\n', scanned);
        if (nl >= 0) {
            const QByteArray line = m_buffer.left(nl);
            m_buffer.remove(0, nl + 1);
            return line;
        }
        scanned = m_buffer.size();
        if (m_socket.bytesToWrite() > 0)
            m_socket.waitForBytesWritten(AnswerTimeoutMs);
        if (m_socket.bytesAvailable() == 0 && !m_socket.waitForReadyRead(AnswerTimeoutMs))
            return {};
        m_buffer += m_socket.readAll();
    }
}

} // namespace kvr::load
