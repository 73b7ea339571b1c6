#include "kit/net/TNetConnection.h"

#include "kit/core/Consiste.h"
#include "kit/net/TSessionLogin.h"
#include "protocol/Access.h"
#include "protocol/JsonRpc.h"
#include "protocol/LineFramer.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QLoggingCategory>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimer>

#include <optional>

using kvr::protocol::LineFramer;
using kvr::protocol::RpcError;
using kvr::protocol::RpcResponse;

namespace {

constexpr int DefaultTimeoutMs = 120000;
// An unreachable host should not hold the screen as long as a slow call may.
constexpr int ConnectTimeoutMs = 15000;

// The first request of a connection when a token is set.
const QString AuthMethod = QStringLiteral("kvr.auth");

Q_LOGGING_CATEGORY(lcNet, "kvr.kit.net", QtWarningMsg)

// The socket's failure in words a user of this system reads.
QString socketProblem(const QAbstractSocket *socket)
{
    switch (socket->error()) {
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("conexão recusada (o servidor de aplicação está em execução?)");
    case QAbstractSocket::HostNotFoundError:
        return QStringLiteral("endereço não encontrado");
    case QAbstractSocket::RemoteHostClosedError:
        return QStringLiteral("o servidor encerrou a conexão");
    case QAbstractSocket::SocketTimeoutError:
        return QStringLiteral("tempo de espera esgotado");
    case QAbstractSocket::NetworkError:
        return QStringLiteral("falha na rede");
    case QAbstractSocket::SocketAccessError:
        return QStringLiteral("acesso negado pelo sistema");
    default:
        break;
    }
    return socket->errorString();
}

// Why the server's certificate was not accepted, in words that point the user
// at the setting to check.
QString certificateProblem(const QSslSocket *socket, const QString &host)
{
    QStringList problems;
    for (const QSslError &error : socket->sslHandshakeErrors()) {
        QString text;
        switch (error.error()) {
        case QSslError::UnableToGetIssuerCertificate:
        case QSslError::UnableToGetLocalIssuerCertificate:
        case QSslError::UnableToVerifyFirstCertificate:
        case QSslError::SelfSignedCertificate:
        case QSslError::SelfSignedCertificateInChain:
        case QSslError::CertificateUntrusted:
        case QSslError::InvalidCaCertificate:
            text = QStringLiteral("o certificado do servidor não foi emitido por uma autoridade "
                                  "certificadora confiável (verifique o arquivo --tls-ca)");
            break;
        case QSslError::HostNameMismatch:
            text =
                QStringLiteral("o certificado do servidor não vale para o endereço %1").arg(host);
            break;
        case QSslError::CertificateExpired:
            text = QStringLiteral("o certificado do servidor expirou");
            break;
        case QSslError::CertificateNotYetValid:
            text = QStringLiteral("o certificado do servidor ainda não é válido");
            break;
        case QSslError::CertificateRevoked:
            text = QStringLiteral("o certificado do servidor foi revogado");
            break;
        case QSslError::NoPeerCertificate:
            text = QStringLiteral("o servidor não apresentou certificado");
            break;
        default:
            text = QStringLiteral("o certificado do servidor foi recusado (%1)")
                       .arg(error.errorString());
            break;
        }
        if (!problems.contains(text))
            problems.append(text);
    }
    return problems.join(QStringLiteral("; "));
}

// A TLS connect that got no further than TCP: most often a server that does
// not speak TLS, or a certificate this client does not trust.
QString tlsProblem(const QSslSocket *socket, const QString &host, bool timedOut)
{
    const QString certificate = certificateProblem(socket, host);
    if (!certificate.isEmpty())
        return certificate;
    const QString hint = QStringLiteral(" (o servidor de aplicação usa TLS?)");
    if (timedOut)
        return QStringLiteral("a negociação TLS não terminou no tempo de espera") + hint;
    switch (socket->error()) {
    case QAbstractSocket::SslHandshakeFailedError:
    case QAbstractSocket::SslInternalError:
    case QAbstractSocket::SslInvalidUserDataError:
        return QStringLiteral("falha na negociação TLS") + hint;
    case QAbstractSocket::RemoteHostClosedError:
        return QStringLiteral("o servidor encerrou a conexão durante a negociação TLS") + hint;
    default:
        break;
    }
    return socketProblem(socket);
}

bool isFailure(const QVariant &result)
{
    return result.metaType() == QMetaType::fromType<TServerError>();
}

// A packet of more rows than this stays as the strict parser read it.
constexpr qsizetype LargePacketRows = 1000;

// A reply's result as callers take it. A large data packet stays parsed, for
// the dataset to read in one pass: building a QJsonObject of it is where the
// time went (it still converts to QJsonObject and QVariantMap on demand). Any
// other object is a QJsonObject, as callers have always had it, the rest
// plain variants.
QVariant resultOf(const RpcResponse &reply)
{
    if (!reply.packet.isNull())
        return reply.packet.rowCount() > LargePacketRows
                   ? QVariant::fromValue(reply.packet)
                   : QVariant::fromValue(reply.packet.toJsonObject());
    return reply.result.isObject() ? QVariant::fromValue(reply.result.toObject())
                                   : reply.result.toVariant();
}

} // namespace

QVariant TServerObject::Call(const QString &method, const QVariantList &args) const
{
    return m_connection->Call(method, args);
}

struct TNetConnection::Private
{
    QString serverName;
    QString host = QStringLiteral("127.0.0.1");
    int port = 2140;
    bool throwException = false;
    int timeoutMs = DefaultTimeoutMs;
    QSslSocket *socket = nullptr;
    std::optional<TConnectionSecurity> ownSecurity;
    TConnectionSecurity security; // of the current connection
    bool authPending = false;
    bool answered = false; // the current connection has had a reply
    LineFramer framer;
    qint64 nextId = 0;
    bool calling = false;
    QString connectProblem;

    QString address() const { return host + QLatin1Char(':') + QString::number(port); }
};

TNetConnection::TNetConnection(QObject *parent) : QObject(parent), d(std::make_unique<Private>())
{
    d->socket = new QSslSocket(this);
}

TNetConnection::~TNetConnection() = default;

QString TNetConnection::ServerName() const
{
    return d->serverName;
}

void TNetConnection::SetServerName(const QString &name)
{
    d->serverName = name;
}

QString TNetConnection::Host() const
{
    return d->host;
}

void TNetConnection::SetHost(const QString &host)
{
    d->host = host;
}

int TNetConnection::Port() const
{
    return d->port;
}

void TNetConnection::SetPort(int port)
{
    d->port = port;
}

bool TNetConnection::ThrowException() const
{
    return d->throwException;
}

void TNetConnection::SetThrowException(bool on)
{
    d->throwException = on;
}

int TNetConnection::TimeoutMs() const
{
    return d->timeoutMs;
}

void TNetConnection::SetTimeoutMs(int ms)
{
    d->timeoutMs = ms > 0 ? ms : DefaultTimeoutMs;
}

TConnectionSecurity TNetConnection::Security() const
{
    return d->ownSecurity ? *d->ownSecurity : TConnectionSecurity::Default();
}

void TNetConnection::SetSecurity(const TConnectionSecurity &security)
{
    d->ownSecurity = security;
}

bool TNetConnection::Connected() const
{
    return d->socket->state() == QAbstractSocket::ConnectedState &&
           (!d->security.tls || d->socket->isEncrypted());
}

void TNetConnection::SetConnected(bool connected)
{
    if (!connected) {
        d->socket->abort();
        d->framer = LineFramer();
        return;
    }
    if (Connected())
        return;
    d->socket->abort();
    d->framer = LineFramer();
    d->connectProblem.clear();
    if (BeforeConnect)
        BeforeConnect(this);
    connectSocket();
}

void TNetConnection::connectSocket()
{
    d->security = Security();
    d->authPending = false;
    d->answered = false;
    if (d->security.tls && !QSslSocket::supportsSsl()) {
        d->connectProblem = QStringLiteral("TLS não está disponível nesta instalação");
        return;
    }
    if (d->security.tls) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        QList<QSslCertificate> trusted = d->security.trustedCas;
        if (d->security.trustSystemCas) {
            // Reading the system's store takes a noticeable while: once a run.
            static const QList<QSslCertificate> systemCas =
                QSslConfiguration::systemCaCertificates();
            trusted += systemCas;
        }
        tls.setCaCertificates(trusted);
        tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
        d->socket->setSslConfiguration(tls);
    }

    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    bool timedOut = false;
    connect(&timer, &QTimer::timeout, &loop, [&]() {
        timedOut = true;
        loop.quit();
    });
    // With TLS the connection is usable once the handshake verified the server.
    const auto done = d->security.tls
                          ? connect(d->socket, &QSslSocket::encrypted, &loop, &QEventLoop::quit)
                          : connect(d->socket, &QTcpSocket::connected, &loop, &QEventLoop::quit);
    const auto failed =
        connect(d->socket, &QTcpSocket::errorOccurred, &loop, [&loop]() { loop.quit(); });
    bool tcpUp = false;
    const auto reached =
        connect(d->socket, &QTcpSocket::connected, &loop, [&tcpUp]() { tcpUp = true; });
    if (d->security.tls)
        d->socket->connectToHostEncrypted(d->host, static_cast<quint16>(d->port));
    else
        d->socket->connectToHost(d->host, static_cast<quint16>(d->port));
    if (d->socket->state() != QAbstractSocket::UnconnectedState && !Connected()) {
        timer.start(qMin(d->timeoutMs, ConnectTimeoutMs));
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    disconnect(done);
    disconnect(failed);
    disconnect(reached);
    if (!Connected()) {
        if (d->security.tls && tcpUp)
            d->connectProblem = tlsProblem(d->socket, d->host, timedOut);
        else
            d->connectProblem =
                timedOut ? QStringLiteral("tempo de espera esgotado") : socketProblem(d->socket);
        d->socket->abort();
        return;
    }
    d->authPending = !d->security.token.isEmpty() || TSessionLogin::Instance().HasCredentials();
}

QVariant TNetConnection::authenticate()
{
    d->authPending = false;
    if (!d->security.token.isEmpty()) {
        const QVariant reply = exchange(AuthMethod, AuthMethod, {d->security.token});
        if (isFailure(reply))
            return reply;
    }
    TSessionLogin &login = TSessionLogin::Instance();
    if (!login.HasCredentials())
        return {};
    const QString method = kvr::protocol::access::loginMethod();
    const QVariant reply = exchange(method, method, {login.User(), login.Password()});
    if (isFailure(reply))
        return reply;
    login.SetLoggedUser(reply.value<QJsonObject>().value(QStringLiteral("user")).toString());
    return {};
}

// Asks for the user and password while the server refuses the session's,
// then makes the call; a refusal before login means nothing was done.
QVariant TNetConnection::loginAndCall(QVariant result, const QString &fullName,
                                      const QString &method, const QVariantList &args)
{
    const auto refusal = [](const QVariant &reply) {
        if (!isFailure(reply))
            return QString();
        const TServerError error = reply.value<TServerError>();
        const bool login = error.code == static_cast<int>(RpcError::AccessDenied) &&
                           (error.message == kvr::protocol::access::loginRequired() ||
                            error.message == kvr::protocol::access::wrongLogin());
        return login ? error.message : QString();
    };
    for (QString refused = refusal(result); !refused.isEmpty(); refused = refusal(result)) {
        const QString problem = refused == kvr::protocol::access::wrongLogin()
                                    ? QStringLiteral("Usuário ou senha inválidos.")
                                    : QStringLiteral("O servidor de aplicação %1 exige usuário "
                                                     "e senha.")
                                          .arg(d->address());
        if (!TSessionLogin::Instance().AskFor(problem))
            return QVariant::fromValue(
                TServerError{static_cast<int>(RpcError::AccessDenied),
                             QStringLiteral("Acesso negado pelo servidor de aplicação em %1: é "
                                            "preciso entrar com usuário e senha.")
                                 .arg(d->address())});
        SetConnected(true);
        if (!Connected())
            return QVariant::fromValue(
                TServerError{static_cast<int>(RpcError::Transport),
                             QStringLiteral("Não foi possível conectar ao servidor de aplicação "
                                            "em %1: %2")
                                 .arg(d->address(), d->connectProblem)});
        result = authenticate();
        if (!isFailure(result))
            result = exchange(fullName, method, args);
    }
    return result;
}

QVariant TNetConnection::Call(const QString &method, const QVariantList &args)
{
    auto fail = [this, &method](RpcError code, const QString &message) -> QVariant {
        qCInfo(lcNet) << "call failed:" << method << "code" << static_cast<int>(code);
        if (d->throwException)
            throw EKvrError(message);
        return QVariant::fromValue(TServerError{static_cast<int>(code), message});
    };
    if (d->calling)
        return fail(RpcError::Transport,
                    QStringLiteral("Uma chamada ao servidor de aplicação já está em andamento."));

    // A peer that went away while we were idle is only noticed once its
    // pending close is read: do that now so the call reconnects.
    if (Connected())
        d->socket->waitForReadyRead(0);
    if (!Connected()) {
        SetConnected(true);
        if (!Connected())
            return fail(RpcError::Transport,
                        QStringLiteral("Não foi possível conectar ao servidor de aplicação em "
                                       "%1: %2")
                            .arg(d->address(), d->connectProblem));
    }
    const QString fullName =
        d->serverName.isEmpty() ? method : d->serverName + QLatin1Char('.') + method;
    QVariant result = d->authPending ? authenticate() : QVariant();
    if (!isFailure(result))
        result = exchange(fullName, method, args);
    result = loginAndCall(result, fullName, method, args);
    if (isFailure(result)) {
        const TServerError error = result.value<TServerError>();
        return fail(static_cast<RpcError>(error.code), error.message);
    }
    return result;
}

QVariant TNetConnection::exchange(const QString &fullName, const QString &method,
                                  const QVariantList &args)
{
    auto fail = [](RpcError code, const QString &message) -> QVariant {
        return QVariant::fromValue(TServerError{static_cast<int>(code), message});
    };
    // The server closes a connection it refused; the user learns what to check.
    auto denied = [this](const QString &text) -> QVariant {
        SetConnected(false);
        // A login refusal goes back as it came: the caller asks for a login.
        if (text == kvr::protocol::access::loginRequired() ||
            text == kvr::protocol::access::wrongLogin())
            return QVariant::fromValue(
                TServerError{static_cast<int>(RpcError::AccessDenied), text});
        const QString why =
            d->security.token.isEmpty()
                ? QStringLiteral("o servidor exige um token de acesso. Informe o arquivo de token "
                                 "(--token-file).")
                : QStringLiteral("token de acesso inválido. Verifique o arquivo de token "
                                 "(--token-file).");
        return QVariant::fromValue(
            TServerError{static_cast<int>(RpcError::AccessDenied),
                         QStringLiteral("Acesso negado pelo servidor de aplicação em %1: %2")
                             .arg(d->address(), why)});
    };
    const qint64 id = ++d->nextId;
    QJsonArray params;
    for (const QVariant &arg : args)
        params.append(QJsonValue::fromVariant(arg));
    d->socket->write(
        LineFramer::frame(kvr::protocol::encodeRequest(QJsonValue(id), fullName, params)));

    enum class Outcome { Waiting, Replied, Dropped, Oversized, BadReply, TimedOut };
    Outcome outcome = Outcome::Waiting;
    RpcResponse reply;
    QEventLoop loop;
    auto readReplies = [&]() {
        if (!d->framer.feed(d->socket->readAll())) {
            outcome = Outcome::Oversized;
            loop.quit();
            return;
        }
        while (d->framer.hasMessage() && outcome == Outcome::Waiting) {
            RpcResponse response;
            QString problem;
            if (!kvr::protocol::parseResponse(d->framer.takeMessage(), response, problem,
                                              kvr::protocol::PacketForm::Parsed)) {
                outcome = Outcome::BadReply;
                loop.quit();
                return;
            }
            // Replies to calls that gave up earlier are left behind.
            // An error without id is one the server could not tie to a request:
            // with one call at a time it is this one.
            const bool ours =
                response.id.toInteger(-1) == id || (!response.ok && response.id.isNull());
            if (!ours)
                continue;
            reply = response;
            d->answered = true;
            outcome = Outcome::Replied;
            loop.quit();
        }
    };
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, [&]() {
        outcome = Outcome::TimedOut;
        loop.quit();
    });
    const auto reading = connect(d->socket, &QTcpSocket::readyRead, &loop, readReplies);
    const auto dropping = connect(d->socket, &QTcpSocket::disconnected, &loop, [&]() {
        if (outcome == Outcome::Waiting)
            readReplies(); // a reply may have come just before the close
        if (outcome == Outcome::Waiting)
            outcome = Outcome::Dropped;
        loop.quit();
    });
    d->calling = true;
    readReplies(); // bytes that came before the request
    if (outcome == Outcome::Waiting && Connected()) {
        timer.start(d->timeoutMs);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    } else if (outcome == Outcome::Waiting) {
        outcome = Outcome::Dropped;
    }
    d->calling = false;
    disconnect(reading);
    disconnect(dropping);

    switch (outcome) {
    case Outcome::Replied:
        if (reply.ok)
            return resultOf(reply);
        if (reply.fault.code == RpcError::AccessDenied)
            return denied(reply.fault.message);
        return fail(reply.fault.code, reply.fault.message);
    case Outcome::Dropped: {
        QString why = socketProblem(d->socket);
        // A TLS server drops a plain client at its first line, unanswered.
        if (!d->security.tls && !d->answered)
            why += QStringLiteral(" (se o servidor de aplicação usa TLS, informe --tls-ca ou "
                                  "--tls)");
        SetConnected(false);
        return fail(RpcError::Transport,
                    QStringLiteral("A conexão com o servidor de aplicação em %1 foi interrompida "
                                   "durante a chamada de %2: %3")
                        .arg(d->address(), method, why));
    }
    case Outcome::Oversized:
        SetConnected(false);
        return fail(RpcError::Transport,
                    QStringLiteral("A resposta do servidor de aplicação em %1 para %2 excede o "
                                   "tamanho permitido.")
                        .arg(d->address(), method));
    case Outcome::BadReply:
        SetConnected(false);
        return fail(RpcError::Transport,
                    QStringLiteral("Resposta inválida do servidor de aplicação em %1 para %2.")
                        .arg(d->address(), method));
    case Outcome::TimedOut:
    case Outcome::Waiting:
        break;
    }
    SetConnected(false);
    return fail(RpcError::Transport,
                QStringLiteral("O servidor de aplicação em %1 não respondeu a %2 em %3 segundos.")
                    .arg(d->address(), method)
                    .arg(d->timeoutMs / 1000));
}
