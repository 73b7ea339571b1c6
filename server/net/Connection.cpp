#include "server/net/Connection.h"

#include "protocol/Access.h"
#include "protocol/JsonRpc.h"
#include "protocol/LineFramer.h"
#include "server/auth/CallContext.h"
#include "server/common/ServerLog.h"
#include "server/net/AppServer.h"
#include "server/net/SpareWriter.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QSslSocket>
#include <QTimer>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

namespace kvr::server {

namespace {
// The socket's own buffer: what a connection holds beyond its partial line.
// Once it is full Qt stops reading, so the kernel's window closes.
constexpr qint64 ReadChunk = 64 * 1024;
// After the last reply, how long to wait for the peer to close.
constexpr int DrainMs = 2000;
// Longest first request (beyond the token's length) a connection that must
// authenticate may send: it is parsed on the I/O thread.
constexpr qsizetype AuthLineMax = 4096;
// The user a connection admitted by the access token acts as where logins
// are required; no account can have this name.
const QString TokenUser = QStringLiteral("(token)");

// The peer's address as people write it (an IPv4 client without "::ffff:").
QString addressText(const QHostAddress &address)
{
    bool v4 = false;
    const quint32 ip = address.toIPv4Address(&v4);
    return v4 ? QHostAddress(ip).toString() : address.toString();
}

// Takes as long whatever the first differing byte, so the time of a refusal
// tells nothing of the token.
bool sameSecret(const QByteArray &given, const QByteArray &expected)
{
    unsigned difference = given.size() == expected.size() ? 0U : 1U;
    for (qsizetype i = 0; i < given.size(); ++i)
        difference |= static_cast<unsigned char>(given.at(i)) ^
                      static_cast<unsigned char>(expected.at(i % expected.size()));
    return difference == 0;
}
} // namespace

Connection::Connection(qintptr socketDescriptor, AppServer &server, bool refuse)
    : m_server(server), m_descriptor(socketDescriptor), m_refused(refuse)
{
}

Connection::~Connection()
{
    if (m_spare >= 0)
        ::close(m_spare);
    release(m_charged);
    m_server.connectionEnded(!m_refused);
}

void Connection::start()
{
    const ServeSettings &settings = m_server.settings();
    for (QTimer **timer : {&m_idleTimer, &m_lineTimer, &m_drainTimer}) {
        *timer = new QTimer(this);
        (*timer)->setSingleShot(true);
    }
    m_idleTimer->setInterval(settings.idleTimeoutMs);
    m_lineTimer->setInterval(settings.lineTimeoutMs);
    m_drainTimer->setInterval(DrainMs);
    if (!settings.token.isEmpty() || settings.login) {
        m_authTimer = new QTimer(this);
        m_authTimer->setSingleShot(true);
        m_authTimer->setInterval(settings.authTimeoutMs);
        connect(m_authTimer, &QTimer::timeout, this, &Connection::authTimedOut);
    }
    connect(m_idleTimer, &QTimer::timeout, this, [this] {
        qCDebug(lcCalls) << "closing a connection idle for" << m_idleTimer->interval() << "ms";
        closeGently();
    });
    connect(m_lineTimer, &QTimer::timeout, this, [this] {
        if (!m_ready) {
            m_socket->abort();
            ended();
            return;
        }
        refuseAndClose(QStringLiteral("A mensagem não chegou completa em %1 s; a conexão será "
                                      "encerrada.")
                           .arg(m_lineTimer->interval() / 1000));
    });
    connect(m_drainTimer, &QTimer::timeout, this, [this] {
        m_socket->abort();
        ended();
    });

    QSslSocket *tls = nullptr;
    if (settings.tls) {
        tls = new QSslSocket(this);
        tls->setSslConfiguration(*settings.tls);
        m_socket = tls;
    } else {
        m_socket = new QTcpSocket(this);
    }
    m_socket->setReadBufferSize(ReadChunk);
    if (!m_socket->setSocketDescriptor(m_descriptor)) {
        ::close(static_cast<int>(m_descriptor));
        deleteLater();
        return;
    }
    m_peer = addressText(m_socket->peerAddress());
    if (!tls) {
        m_spare = ::fcntl(static_cast<int>(m_descriptor), F_DUPFD_CLOEXEC, 0);
        connect(m_socket, &QTcpSocket::bytesWritten, this,
                [this](qint64 bytes) { m_replySent += bytes; });
    }
    if (m_authTimer && !m_refused)
        m_authTimer->start();
    connect(m_socket, &QTcpSocket::readyRead, this, &Connection::serve);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &Connection::written);
    connect(m_socket, &QTcpSocket::disconnected, this, &Connection::ended);
    if (tls) {
        connect(tls, &QSslSocket::encryptedBytesWritten, this, &Connection::written);
        connect(tls, &QSslSocket::encrypted, this, [this] {
            m_ready = true;
            serve();
        });
        connect(tls, &QAbstractSocket::errorOccurred, this, [this, tls] {
            if (m_ready)
                return;
            qint64 held = 0;
            if (m_warnings.allow(held))
                qCWarning(lcServer) << "TLS handshake failed:" << tls->errorString();
            tls->abort();
            ended();
        });
        tls->startServerEncryption();
    } else {
        m_ready = true;
    }
    updateTimers();
    if (m_ready)
        serve();
}

void Connection::stop()
{
    m_stopping = true;
    if (!m_callRunning && !m_replying)
        closeGently();
}

void Connection::serve()
{
    if (m_closing) {
        m_socket->readAll();
        return;
    }
    if (!m_ready || m_gone)
        return;
    if (m_refused) {
        refuseAndClose(QStringLiteral("Conexão recusada: o servidor de aplicação já atende o "
                                      "máximo de %1 conexões. Tente novamente mais tarde.")
                           .arg(m_server.settings().maxConnections));
        return;
    }
    readInput();
}

void Connection::readInput()
{
    const qsizetype limit = m_server.settings().maxMessage;
    bool oversized = false;
    while (!m_callRunning && !m_replying && !m_closing && !m_gone) {
        const qsizetype newline = m_buffer.indexOf('\n', m_scanned);
        if (newline >= 0) {
            if (newline > limit) {
                oversized = true;
                break;
            }
            takeLine(newline);
            continue;
        }
        m_scanned = m_buffer.size();
        if (m_buffer.size() > limit) {
            oversized = true;
            break;
        }
        const qint64 wanted = m_peerDone ? 0 : std::min(m_socket->bytesAvailable(), ReadChunk);
        if (wanted <= 0)
            break;
        if (!m_server.budget().take(wanted)) {
            qCWarning(lcServer) << "input budget of" << m_server.budget().limit()
                                << "bytes spent; closing a connection";
            refuseAndClose(QStringLiteral("O servidor de aplicação não tem memória livre para "
                                          "receber mensagens agora; a conexão será encerrada. "
                                          "Tente novamente em instantes."));
            return;
        }
        charge(wanted);
        const QByteArray chunk = m_socket->read(wanted);
        release(wanted - chunk.size());
        m_buffer.append(chunk);
    }
    if (oversized) {
        qCWarning(lcServer) << "message over" << limit << "bytes; closing connection";
        refuseAndClose(QStringLiteral("Mensagem excede o limite de %1 bytes; a conexão será "
                                      "encerrada.")
                           .arg(limit));
        return;
    }
    // Every complete request of a half-closed client is answered; then it ends.
    if (m_peerDone && !m_callRunning && !m_replying && !m_closing) {
        closeGently();
        return;
    }
    updateTimers();
}

void Connection::takeLine(qsizetype newline)
{
    QByteArray line;
    if (newline + 1 == m_buffer.size()) {
        line = std::move(m_buffer);
        m_buffer = QByteArray();
        line.chop(1);
    } else {
        line = m_buffer.left(newline);
        m_buffer.remove(0, newline + 1);
    }
    m_scanned = 0;
    m_inCall = newline + 1;
    if (line.endsWith('\r'))
        line.chop(1);
    if (line.trimmed().isEmpty()) {
        release(m_inCall);
        m_inCall = 0;
        return;
    }
    handle(line);
}

void Connection::handle(const QByteArray &line)
{
    const ServeSettings &settings = m_server.settings();
    const bool mustAuthenticate = (!settings.token.isEmpty() || settings.login) && !m_authenticated;
    const qsizetype firstLineMax = AuthLineMax + settings.token.size();
    if (mustAuthenticate && line.size() > firstLineMax) {
        release(m_inCall);
        m_inCall = 0;
        answerAttempt(protocol::encodeError(QJsonValue(), protocol::RpcError::AccessDenied,
                                            QStringLiteral("A primeira mensagem tem %1 bytes; "
                                                           "antes da autenticação o limite é "
                                                           "de %2 bytes. A conexão será "
                                                           "encerrada.")
                                                .arg(line.size())
                                                .arg(firstLineMax)),
                      true);
        return;
    }
    protocol::RpcRequest request;
    protocol::RpcFault fault;
    const bool parsed = line.size() <= firstLineMax &&
                        (mustAuthenticate || line.contains("kvr.auth") ||
                         (settings.login && line.contains("kvr.login"))) &&
                        protocol::parseRequest(line, request, fault);
    if (parsed && settings.login && request.method == protocol::access::loginMethod()) {
        login(line);
        return;
    }
    if ((parsed && request.method == protocol::access::authMethod()) || mustAuthenticate) {
        release(m_inCall);
        m_inCall = 0;
        authenticate(request);
        return;
    }
    m_callRunning = true;
    updateTimers();
    m_server.pool().submit(line, CallContext{m_user, m_peer}, m_warnings, this,
                           [this](const QByteArray &reply) { callDone(reply); });
}

// kvr.auth, or whatever else came first on a connection that must authenticate.
void Connection::authenticate(const protocol::RpcRequest &request)
{
    const ServeSettings &settings = m_server.settings();
    // Here only on a connection that must authenticate, or for kvr.auth.
    if (request.method != protocol::access::authMethod() ||
        (settings.token.isEmpty() && settings.login && !m_authenticated)) {
        const QString text =
            settings.login ? protocol::access::loginRequired() : protocol::access::tokenRequired();
        answerAttempt(protocol::encodeErrorFor(request, protocol::RpcError::AccessDenied, text),
                      true);
        return;
    }
    if (!settings.token.isEmpty()) {
        const protocol::RequestParams &params = request.params;
        QString token;
        const QByteArray given =
            params.size() == 1 && params.text(0, token) ? token.toUtf8() : QByteArray();
        if (!sameSecret(given, settings.token)) {
            m_server.throttle().failed(m_peer, "access token");
            answerAttempt(protocol::encodeErrorFor(request, protocol::RpcError::AccessDenied,
                                                   protocol::access::wrongToken()),
                          true);
            return;
        }
        if (settings.login && !m_authenticated)
            m_user = TokenUser;
        m_authenticated = true;
        if (m_authTimer)
            m_authTimer->stop();
    }
    answerAttempt(
        protocol::encodeResultFor(request, QByteArrayLiteral(R"({"authenticated":true})")), false);
}

void Connection::login(const QByteArray &line)
{
    m_loggingIn = true;
    m_callRunning = true;
    updateTimers();
    m_server.pool().submit(line, CallContext{m_user, m_peer}, m_warnings, this,
                           [this](const QByteArray &reply) { callDone(reply); });
}

void Connection::loginDone(const QByteArray &reply)
{
    protocol::RpcResponse response;
    QString problem;
    const bool ok = protocol::parseResponse(reply, response, problem) && response.ok;
    if (ok) {
        m_authenticated = true;
        m_user = response.result.toObject().value(QStringLiteral("user")).toString();
        if (m_authTimer)
            m_authTimer->stop();
    } else {
        m_server.throttle().failed(m_peer, "login");
    }
    answerAttempt(reply, !ok);
}

// Answers an authentication attempt, as late as guessing from this address
// has earned.
void Connection::answerAttempt(const QByteArray &json, bool thenClose)
{
    const qint64 delay = m_server.throttle().delayMs(m_peer);
    if (delay <= 0) {
        send(json, thenClose);
        return;
    }
    m_replying = true;
    m_closeAfterReply = m_closeAfterReply || thenClose;
    updateTimers();
    // Precise: a coarse timer may fire 5% early, shortening the earned wait.
    QTimer::singleShot(std::chrono::milliseconds(delay), Qt::PreciseTimer, this, [this, json] {
        if (!m_gone && !m_closing)
            send(json);
    });
}

void Connection::authTimedOut()
{
    if (m_authenticated || m_callRunning || m_replying || m_closing || m_gone)
        return;
    if (!m_ready) {
        m_socket->abort();
        ended();
        return;
    }
    release(static_cast<qint64>(m_buffer.size()));
    m_buffer = QByteArray();
    m_scanned = 0;
    send(protocol::encodeError(QJsonValue(), protocol::RpcError::AccessDenied,
                               QStringLiteral("A autenticação não foi feita em %1 s; a conexão "
                                              "será encerrada.")
                                   .arg(m_authTimer->interval() / 1000)),
         true);
}

void Connection::callDone(const QByteArray &reply)
{
    m_callRunning = false;
    release(m_inCall);
    m_inCall = 0;
    if (m_gone) {
        deleteLater();
        return;
    }
    if (std::exchange(m_loggingIn, false)) {
        loginDone(reply);
        return;
    }
    send(reply);
}

void Connection::send(const QByteArray &json, bool thenClose)
{
    m_replying = true;
    m_closeAfterReply = m_closeAfterReply || thenClose;
    updateTimers();
    m_replyOut = protocol::LineFramer::frame(json);
    m_replySent = 0;
    if (m_spareWriter)
        m_spareWriter->write(m_replyOut);
    else
        m_socket->write(m_replyOut);
}

void Connection::refuseAndClose(const QString &message)
{
    release(static_cast<qint64>(m_buffer.size()));
    m_buffer = QByteArray();
    m_scanned = 0;
    send(protocol::encodeError(QJsonValue(), protocol::RpcError::InvalidRequest, message), true);
}

bool Connection::flushed() const
{
    if (m_spareWriter)
        return m_spareWriter->idle();
    const auto *tls = qobject_cast<const QSslSocket *>(m_socket);
    return m_socket->bytesToWrite() == 0 && (!tls || tls->encryptedBytesToWrite() == 0);
}

void Connection::written()
{
    if (!m_replying || m_closing || !flushed())
        return;
    m_replying = false;
    if (m_closeAfterReply || m_stopping) {
        closeGently();
        return;
    }
    readInput();
}

void Connection::updateTimers()
{
    if (m_closing || m_gone || m_callRunning || m_replying) {
        m_idleTimer->stop();
        m_lineTimer->stop();
    } else if (!m_ready || !m_buffer.isEmpty() || m_socket->bytesAvailable() > 0) {
        m_idleTimer->stop();
        if (!m_lineTimer->isActive())
            m_lineTimer->start();
    } else {
        m_lineTimer->stop();
        if (!m_idleTimer->isActive())
            m_idleTimer->start();
    }
}

// Closing a socket with unread input resets the connection, and the peer may
// then lose the last reply still on its way. Stop sending, read and drop
// until the peer closes (or a short while), then close.
void Connection::closeGently()
{
    if (m_closing || m_gone)
        return;
    m_closing = true;
    updateTimers();
    release(static_cast<qint64>(m_buffer.size()));
    m_buffer = QByteArray();
    if (m_spareWriter) {
        // The client has sent all it will; what it was owed has been sent.
        m_spareWriter->finish();
        ended();
        return;
    }
    // TLS encrypts a reply into the plain socket's buffer and says it was
    // written before it reaches the kernel: push it out before the shutdown.
    m_socket->flush();
    ::shutdown(static_cast<int>(m_socket->socketDescriptor()), SHUT_WR);
    m_drainTimer->start();
    m_socket->readAll();
}

void Connection::ended()
{
    if (m_gone)
        return;
    if (m_spare >= 0 && !m_peerDone && !m_closing &&
        (m_callRunning || m_replying || !m_buffer.isEmpty() || m_socket->bytesAvailable() > 0)) {
        peerHalfClosed();
        return;
    }
    m_gone = true;
    updateTimers();
    m_drainTimer->stop();
    if (!m_callRunning)
        deleteLater();
}

void Connection::release(qint64 bytes)
{
    if (bytes <= 0)
        return;
    m_charged -= bytes;
    m_server.budget().give(bytes);
}

// Qt has closed its socket on the end of the input; the spare descriptor
// still reaches the client, which may be waiting for its replies.
void Connection::peerHalfClosed()
{
    m_peerDone = true;
    m_spareWriter = new SpareWriter(std::exchange(m_spare, -1), this);
    connect(m_spareWriter, &SpareWriter::drained, this, &Connection::written);
    connect(m_spareWriter, &SpareWriter::failed, this, [this] {
        m_closing = true;
        m_spareWriter->finish();
        ended();
    });
    const QByteArray rest = m_socket->readAll();
    if (!rest.isEmpty()) {
        if (!m_server.budget().take(rest.size())) {
            m_spareWriter->finish();
            m_closing = true;
            ended();
            return;
        }
        charge(rest.size());
        m_buffer.append(rest);
    }
    if (m_replying)
        m_spareWriter->write(m_replyOut.mid(m_replySent));
    else if (!m_callRunning)
        readInput();
}

} // namespace kvr::server
