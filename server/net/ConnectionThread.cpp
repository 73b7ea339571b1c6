#include "server/net/ConnectionThread.h"

#include "protocol/JsonRpc.h"
#include "protocol/LineFramer.h"
#include "server/common/AppError.h"
#include "server/common/ServerLog.h"
#include "server/rdm/RdmConsisteFiscal.h"
#include "server/rpc/Dispatcher.h"
#include "server/storage/Storage.h"

#include <QDeadlineTimer>
#include <QJsonValue>
#include <QTcpSocket>

#include <sys/socket.h>

#include <memory>

namespace kvr::server {

namespace {
constexpr int PollMs = 100;
constexpr int WriteWaitMs = 30000;
constexpr int DrainMs = 2000;

bool writeAll(QTcpSocket &socket, const QByteArray &line)
{
    if (socket.write(line) != line.size())
        return false;
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(WriteWaitMs))
            return false;
    return true;
}
// Closing a socket with unread input resets the connection, and the peer may
// then lose the reply still on its way. Stop sending, read until the peer
// closes (or a short while), then close.
void closeGently(QTcpSocket &socket)
{
    ::shutdown(static_cast<int>(socket.socketDescriptor()), SHUT_WR);
    QDeadlineTimer deadline(DrainMs);
    while (socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
        if (socket.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            socket.readAll();
    }
}
} // namespace

ConnectionThread::ConnectionThread(qintptr socketDescriptor, const DatabaseUrl &database,
                                   qsizetype messageLimit, QObject *parent)
    : QThread(parent), m_socketDescriptor(socketDescriptor), m_database(database),
      m_messageLimit(messageLimit)
{
}

void ConnectionThread::run()
{
    QTcpSocket socket;
    if (!socket.setSocketDescriptor(m_socketDescriptor))
        return;
    protocol::LineFramer framer(m_messageLimit);
    // The database connection is opened on the first call and kept for the
    // connection's life; a failure to open is reported to that call.
    std::unique_ptr<Storage> storage;
    std::unique_ptr<RdmConsisteFiscal> rdm;
    Dispatcher dispatcher;

    while (!isInterruptionRequested() && socket.state() == QAbstractSocket::ConnectedState) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(PollMs))
            continue;
        if (!framer.feed(socket.readAll())) {
            qCWarning(lcServer) << "message over" << m_messageLimit << "bytes; closing connection";
            writeAll(socket, protocol::LineFramer::frame(protocol::encodeError(
                                 QJsonValue(), protocol::RpcError::InvalidRequest,
                                 QStringLiteral("Mensagem excede o limite de %1 bytes; a conexão "
                                                "será encerrada.")
                                     .arg(m_messageLimit))));
            closeGently(socket);
            break;
        }
        while (framer.hasMessage()) {
            const QByteArray message = framer.takeMessage();
            QByteArray reply;
            if (!storage) {
                try {
                    storage = Storage::open(m_database);
                    rdm = std::make_unique<RdmConsisteFiscal>(*storage);
                    rdm->bind(dispatcher);
                } catch (const AppError &error) {
                    storage.reset();
                    protocol::RpcRequest request;
                    protocol::RpcFault fault;
                    protocol::parseRequest(message, request, fault);
                    reply = protocol::encodeErrorFor(request, error.code(), error.message());
                }
            }
            if (storage) {
                reply = dispatcher.handle(message);
                if (storage->failedSinceLastCheck() && !storage->stillConnected()) {
                    qCWarning(lcServer) << "database connection lost; reopening on the next call";
                    dispatcher = Dispatcher();
                    rdm.reset();
                    storage.reset();
                }
            }
            if (!writeAll(socket, protocol::LineFramer::frame(reply)))
                break;
        }
    }
    socket.disconnectFromHost();
    if (socket.state() != QAbstractSocket::UnconnectedState)
        socket.waitForDisconnected(1000);
    rdm.reset();
    storage.reset();
}

} // namespace kvr::server
