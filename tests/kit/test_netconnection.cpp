#include "kit/core/Consiste.h"
#include "kit/core/ShowAvi.h"
#include "kit/core/TBusyOverlay.h"
#include "kit/net/TConnectionSecurity.h"
#include "kit/net/TNetConnection.h"
#include "protocol/JsonRpc.h"
#include "protocol/LineFramer.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QPointer>
#include <QSslKey>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>

using namespace kvr::protocol;

namespace {

// A peer speaking the wire protocol: one request a line, answered by a
// script that may reply, stay silent or drop the connection. Given a TLS
// configuration it speaks TLS from the first byte, as the app server does.
class ScriptedPeer final : public QObject
{
public:
    // Returns the lines to send back (each a JSON text), in order.
    using Script = std::function<QList<QByteArray>(const RpcRequest &request, QTcpSocket *socket)>;

    explicit ScriptedPeer(Script script, const std::optional<QSslConfiguration> &tls = {})
        : m_script(std::move(script))
    {
        if (tls) {
            auto server = std::make_unique<QSslServer>();
            server->setSslConfiguration(*tls);
            m_server = std::move(server);
        } else {
            m_server = std::make_unique<QTcpServer>();
        }
        m_server->listen(QHostAddress::LocalHost, 0);
        connect(m_server.get(), &QTcpServer::pendingConnectionAvailable, this, [this]() {
            while (QTcpSocket *socket = m_server->nextPendingConnection()) {
                ++m_connections;
                m_last = socket;
                auto framer = std::make_shared<LineFramer>();
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket, framer]() {
                    framer->feed(socket->readAll());
                    while (framer->hasMessage()) {
                        RpcRequest request;
                        RpcFault fault;
                        ASSERT_TRUE(parseRequest(framer->takeMessage(), request, fault));
                        m_methods.append(request.method);
                        m_params.append(request.params.toJsonArray());
                        for (const QByteArray &line : m_script(request, socket))
                            socket->write(LineFramer::frame(line));
                    }
                });
            }
        });
    }

    quint16 Port() const { return m_server->serverPort(); }
    int Connections() const { return m_connections; }
    const QStringList &Methods() const { return m_methods; }
    const QList<QJsonArray> &Params() const { return m_params; }
    QTcpSocket *LastSocket() const { return m_last; }

    static QList<QByteArray> Echo(const RpcRequest &request, QTcpSocket *)
    {
        return {encodeResult(request.id, request.params.toJsonArray())};
    }

private:
    std::unique_ptr<QTcpServer> m_server;
    Script m_script;
    int m_connections = 0;
    QStringList m_methods;
    QList<QJsonArray> m_params;
    QPointer<QTcpSocket> m_last;
};

QString ErrorText(const QVariant &result)
{
    return result.value<TServerError>().message;
}

bool IsFailure(const QVariant &result)
{
    return result.metaType() == QMetaType::fromType<TServerError>();
}

std::unique_ptr<TNetConnection> ConnectionTo(const ScriptedPeer &peer)
{
    auto connection = std::make_unique<TNetConnection>();
    connection->SetServerName(QStringLiteral("kvr51400.rdmConsisteFiscal"));
    const quint16 port = peer.Port();
    connection->BeforeConnect = [port](TNetConnection *c) {
        c->SetHost(QStringLiteral("127.0.0.1"));
        c->SetPort(port);
    };
    return connection;
}

TEST(TNetConnection, BeforeConnectSetsTheAddressBeforeEveryConnect)
{
    ScriptedPeer peer(ScriptedPeer::Echo);
    TNetConnection connection;
    connection.SetHost(QStringLiteral("192.0.2.1")); // unroutable: must be replaced
    connection.SetPort(1);
    QStringList seen;
    connection.BeforeConnect = [&](TNetConnection *c) {
        seen.append(c->Host() + QLatin1Char(':') + QString::number(c->Port()));
        c->SetHost(QStringLiteral("127.0.0.1"));
        c->SetPort(peer.Port());
    };
    connection.SetConnected(true);
    EXPECT_TRUE(connection.Connected());
    EXPECT_EQ(seen, QStringList{QStringLiteral("192.0.2.1:1")});
    connection.SetConnected(true); // already open: no new connect
    EXPECT_EQ(seen.size(), 1);
    connection.Close();
    EXPECT_FALSE(connection.Connected());
    connection.Open();
    EXPECT_EQ(seen.size(), 2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return peer.Connections() == 2; }, 5000))
        << peer.Connections();
}

TEST(TNetConnection, CallsMethodOfServerObjectWithPositionalParams)
{
    ScriptedPeer peer(ScriptedPeer::Echo);
    auto connection = ConnectionTo(peer);
    connection->Open();
    const QVariant result = connection->AppServer().Call(QStringLiteral("getImposto"),
                                                         {QStringLiteral("01"), QString()});
    ASSERT_FALSE(IsFailure(result)) << ErrorText(result).toStdString();
    EXPECT_EQ(peer.Methods(), QStringList{QStringLiteral("kvr51400.rdmConsisteFiscal.getImposto")});
    EXPECT_EQ(result.toList(), (QVariantList{QStringLiteral("01"), QString()}));
}

TEST(TNetConnection, RoundTripKeepsTheValue)
{
    ScriptedPeer peer([](const RpcRequest &request, QTcpSocket *) {
        return QList<QByteArray>{encodeResult(request.id, request.params.toJsonArray().at(0))};
    });
    auto connection = ConnectionTo(peer);
    const QVariantMap packet{
        {QStringLiteral("fields"),
         QVariantList{QVariantMap{{QStringLiteral("name"), QStringLiteral("CDIMPOSTO")},
                                  {QStringLiteral("size"), 2}}}},
        {QStringLiteral("rows"), QVariantList{QVariantList{QStringLiteral("01")}}}};
    for (const QVariant &argument :
         {QVariant(QStringLiteral("ação")), QVariant(QString()), QVariant(true),
          QVariant(QVariantList{true, false, QStringLiteral("ER")}), QVariant(packet),
          QVariant(QStringLiteral("linha 1\nlinha 2"))}) {
        const QVariant result = connection->Call(QStringLiteral("eco"), {argument});
        ASSERT_FALSE(IsFailure(result)) << ErrorText(result).toStdString();
        EXPECT_EQ(QJsonValue::fromVariant(result), QJsonValue::fromVariant(argument))
            << argument.typeName();
    }
}

TEST(TNetConnection, CallConnectsByItselfAndReconnectsAfterClose)
{
    ScriptedPeer peer(ScriptedPeer::Echo);
    auto connection = ConnectionTo(peer);
    int befores = 0;
    auto address = connection->BeforeConnect;
    connection->BeforeConnect = [&](TNetConnection *c) {
        ++befores;
        address(c);
    };
    EXPECT_FALSE(IsFailure(connection->Call(QStringLiteral("a"))));
    EXPECT_TRUE(connection->Connected());
    EXPECT_FALSE(IsFailure(connection->Call(QStringLiteral("b"))));
    EXPECT_EQ(befores, 1) << "one connection serves many calls";
    connection->Close();
    const QVariant result = connection->Call(QStringLiteral("c"), {QStringLiteral("x")});
    ASSERT_FALSE(IsFailure(result)) << ErrorText(result).toStdString();
    EXPECT_EQ(result.toList(), QVariantList{QStringLiteral("x")});
    EXPECT_EQ(befores, 2);
    EXPECT_EQ(peer.Connections(), 2);
}

// The server goes away between two calls (restart, idle timeout), seen by an
// event or with no event loop run since.
TEST(TNetConnection, ReconnectsWhenThePeerDroppedWhileIdle)
{
    for (const bool eventRan : {true, false}) {
        SCOPED_TRACE(eventRan ? "event ran" : "no event ran");
        ScriptedPeer peer(ScriptedPeer::Echo);
        auto connection = ConnectionTo(peer);
        ASSERT_FALSE(IsFailure(connection->Call(QStringLiteral("a"))));
        if (eventRan) {
            peer.LastSocket()->disconnectFromHost();
            ASSERT_TRUE(QTest::qWaitFor([&] { return !connection->Connected(); }, 5000));
        } else {
            peer.LastSocket()->abort();
            QThread::msleep(30); // the close reaches the socket, but no event loop runs
        }
        const QVariant result = connection->Call(QStringLiteral("b"), {2});
        ASSERT_FALSE(IsFailure(result)) << ErrorText(result).toStdString();
        EXPECT_EQ(result.toList(), QVariantList{2});
        EXPECT_EQ(peer.Connections(), 2);
    }
}

TEST(TNetConnection, DropDuringCallIsReportedAndNextCallReconnects)
{
    int calls = 0;
    ScriptedPeer peer([&](const RpcRequest &request, QTcpSocket *socket) {
        if (++calls == 1) {
            socket->disconnectFromHost();
            return QList<QByteArray>{};
        }
        return ScriptedPeer::Echo(request, socket);
    });
    auto connection = ConnectionTo(peer);
    const QVariant dropped = connection->Call(QStringLiteral("setConsistencia"));
    ASSERT_TRUE(IsFailure(dropped));
    EXPECT_TRUE(ErrorText(dropped).startsWith(
        QStringLiteral("A conexão com o servidor de aplicação em 127.0.0.1:%1 foi interrompida")
            .arg(peer.Port())))
        << ErrorText(dropped).toStdString();
    EXPECT_FALSE(connection->Connected());
    EXPECT_FALSE(IsFailure(connection->Call(QStringLiteral("getCFOP"))));
    EXPECT_EQ(peer.Connections(), 2);
}

TEST(TNetConnection, ServerErrorComesBackAsValue)
{
    ScriptedPeer peer([](const RpcRequest &request, QTcpSocket *) {
        return QList<QByteArray>{
            encodeError(request.id, RpcError::Validation, QStringLiteral("CST inválido"))};
    });
    auto connection = ConnectionTo(peer);
    const QVariant result = connection->Call(QStringLiteral("setConsistencia"));
    ASSERT_TRUE(IsFailure(result));
    EXPECT_EQ(result.value<TServerError>().code, 1000);
    EXPECT_EQ(ErrorText(result), QStringLiteral("CST inválido"));
    EXPECT_TRUE(connection->Connected()) << "an error reply keeps the connection";
}

TEST(TNetConnection, ThrowExceptionRaisesTheMessage)
{
    ScriptedPeer peer([](const RpcRequest &request, QTcpSocket *) {
        return QList<QByteArray>{encodeError(request.id, RpcError::MethodNotFound,
                                             QStringLiteral("Método desconhecido"))};
    });
    auto connection = ConnectionTo(peer);
    connection->SetThrowException(true);
    try {
        connection->Call(QStringLiteral("naoExiste"));
        FAIL() << "no exception";
    } catch (const EKvrError &error) {
        EXPECT_EQ(error.message(), QStringLiteral("Método desconhecido"));
    }
}

TEST(TNetConnection, UnreachableServerIsReportedInPortuguese)
{
    quint16 port = 0;
    {
        QTcpServer probe; // a port nobody listens on once it is closed
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
    }
    TNetConnection connection;
    connection.SetHost(QStringLiteral("127.0.0.1"));
    connection.SetPort(port);
    connection.Open(); // not raised here
    EXPECT_FALSE(connection.Connected());
    const QVariant result = connection.Call(QStringLiteral("getImposto"));
    ASSERT_TRUE(IsFailure(result));
    EXPECT_TRUE(ErrorText(result).startsWith(
        QStringLiteral("Não foi possível conectar ao servidor de aplicação em 127.0.0.1:%1: ")
            .arg(port)))
        << ErrorText(result).toStdString();
    EXPECT_TRUE(ErrorText(result).endsWith(
        QStringLiteral("conexão recusada (o servidor de aplicação está em execução?)")))
        << ErrorText(result).toStdString();
    connection.SetThrowException(true);
    EXPECT_THROW(connection.Call(QStringLiteral("getImposto")), EKvrError);
}

TEST(TNetConnection, RepliesWithOtherIdsAreSkipped)
{
    ScriptedPeer peer([](const RpcRequest &request, QTcpSocket *) {
        return QList<QByteArray>{encodeResult(QJsonValue(999), QStringLiteral("velha")),
                                 encodeResult(request.id, QStringLiteral("certa"))};
    });
    auto connection = ConnectionTo(peer);
    EXPECT_EQ(connection->Call(QStringLiteral("x")).toString(), QStringLiteral("certa"));
    EXPECT_EQ(connection->Call(QStringLiteral("y")).toString(), QStringLiteral("certa"));
}

TEST(TNetConnection, SilentServerTimesOutAndLateReplyIsIgnored)
{
    int calls = 0;
    ScriptedPeer peer([&](const RpcRequest &request, QTcpSocket *socket) {
        if (++calls == 1) {
            // Answer long after the caller gave up.
            QTimer::singleShot(400, socket, [socket, id = request.id]() {
                socket->write(LineFramer::frame(encodeResult(id, QStringLiteral("tarde"))));
            });
            return QList<QByteArray>{};
        }
        return QList<QByteArray>{encodeResult(request.id, QStringLiteral("agora"))};
    });
    auto connection = ConnectionTo(peer);
    connection->SetTimeoutMs(150);
    const QVariant late = connection->Call(QStringLiteral("lento"));
    ASSERT_TRUE(IsFailure(late));
    EXPECT_TRUE(ErrorText(late).contains(QStringLiteral("não respondeu")))
        << ErrorText(late).toStdString();
    QTest::qWait(500);
    EXPECT_EQ(connection->Call(QStringLiteral("rapido")).toString(), QStringLiteral("agora"));
}

TEST(TNetConnection, GarbageReplyIsAClearFailure)
{
    ScriptedPeer peer([](const RpcRequest &, QTcpSocket *) {
        return QList<QByteArray>{QByteArrayLiteral("isto não é json")};
    });
    auto connection = ConnectionTo(peer);
    const QVariant result = connection->Call(QStringLiteral("x"));
    ASSERT_TRUE(IsFailure(result));
    EXPECT_TRUE(ErrorText(result).startsWith(QStringLiteral("Resposta inválida")))
        << ErrorText(result).toStdString();
}

TEST(TNetConnection, BusyAnimationKeepsPaintingWhileACallWaits)
{
    ScriptedPeer peer([](const RpcRequest &request, QTcpSocket *socket) {
        QTimer::singleShot(400, socket, [socket, id = request.id]() {
            socket->write(LineFramer::frame(encodeResult(id, true)));
        });
        return QList<QByteArray>{};
    });
    auto connection = ConnectionTo(peer);
    connection->Open();
    QWidget form;
    form.resize(400, 300);
    form.show();
    ActiveShowAvi(&form, TShowAvi::Pesquisando);
    auto *overlay = qobject_cast<TBusyOverlay *>(ShowAviWidget());
    ASSERT_NE(overlay, nullptr);
    QList<qreal> angles;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&]() { angles.append(overlay->Angle()); });
    sampler.start(50);
    const QVariant result = connection->Call(QStringLiteral("getConsistencias"));
    sampler.stop();
    DeactiveShowAvi();
    EXPECT_EQ(result, QVariant(true));
    ASSERT_GE(angles.size(), 4) << "timers run during the wait";
    int changes = 0;
    for (int i = 1; i < angles.size(); ++i)
        changes += angles[i] != angles[i - 1] ? 1 : 0;
    EXPECT_GE(changes, 3) << "the spinner turns during the wait";
}

const QString kAuth = QStringLiteral("kvr.auth");
const QString kGetImposto = QStringLiteral("kvr51400.rdmConsisteFiscal.getImposto");

// Answers as an app server with --token-file holding `token` (empty: without
// the option): a connection that did not authenticate first gets error 1003
// and is closed after the reply.
ScriptedPeer::Script TokenServer(const QString &token)
{
    return [token](const RpcRequest &request, QTcpSocket *socket) -> QList<QByteArray> {
        const bool auth = request.method == kAuth;
        if (auth && (token.isEmpty() || request.params.toJsonArray() == QJsonArray{token}))
            socket->setProperty("authenticated", true);
        if (!token.isEmpty() && !socket->property("authenticated").toBool()) {
            QMetaObject::invokeMethod(socket, &QTcpSocket::disconnectFromHost,
                                      Qt::QueuedConnection);
            return {
                encodeError(request.id, RpcError::AccessDenied,
                            QStringLiteral("Token de acesso inválido; a conexão será encerrada."))};
        }
        return {auth
                    ? encodeResult(request.id, QJsonObject{{QStringLiteral("authenticated"), true}})
                    : encodeResult(request.id, request.params.toJsonArray())};
    };
}

TConnectionSecurity WithToken(const char *token)
{
    TConnectionSecurity security;
    security.token = QString::fromUtf8(token);
    return security;
}

TEST(TNetConnection, TokenGoesFirstOnEveryConnection)
{
    const char *const wrong =
        "token de acesso inválido. Verifique o arquivo de token (--token-file).";
    const char *const missing = "o servidor exige um token de acesso. Informe o arquivo de token "
                                "(--token-file).";
    const struct
    {
        const char *serverToken; // "": a server without --token-file
        const char *clientToken;
        QStringList methods; // what the server reads on one connection
        const char *refusal; // the user's message after the address; "" when accepted
    } cases[] = {{"s3cr3t", "s3cr3t", {kAuth, kGetImposto}, ""},
                 {"", "s3cr3t", {kAuth, kGetImposto}, ""},
                 {"", "", {kGetImposto}, ""},
                 {"s3cr3t", "errado", {kAuth}, wrong},
                 {"s3cr3t", "", {kGetImposto}, missing}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string("server ") + c.serverToken + ", client " + c.clientToken);
        ScriptedPeer peer(TokenServer(QString::fromUtf8(c.serverToken)));
        auto connection = ConnectionTo(peer);
        connection->SetSecurity(WithToken(c.clientToken));
        const QString refusal =
            *c.refusal
                ? QStringLiteral("Acesso negado pelo servidor de aplicação em 127.0.0.1:%1: ")
                          .arg(peer.Port()) +
                      QString::fromUtf8(c.refusal)
                : QString();
        for (int round = 0; round < 2; ++round) { // the second on a new connection
            const QVariant result = connection->Call(QStringLiteral("getImposto"), {1});
            EXPECT_EQ(ErrorText(result), refusal);
            EXPECT_EQ(connection->Connected(), refusal.isEmpty()) << "a refusal closes";
            connection->Close();
        }
        EXPECT_EQ(peer.Connections(), 2);
        EXPECT_EQ(peer.Methods(), c.methods + c.methods);
    }
}

TEST(TNetConnection, ConnectionsWithoutTheirOwnSecurityTakeTheDefaultAtConnect)
{
    ScriptedPeer peer(TokenServer(QStringLiteral("padrao")));
    auto connection = ConnectionTo(peer); // made before the host sets the default
    TConnectionSecurity::SetDefault(WithToken("padrao"));
    const QVariant result = connection->Call(QStringLiteral("getImposto"), {1});
    TConnectionSecurity::SetDefault(TConnectionSecurity());
    EXPECT_EQ(ErrorText(result), QString());
    EXPECT_EQ(peer.Methods(), (QStringList{kAuth, kGetImposto}));
}

QString TlsFile(const QString &name)
{
    return QString::fromLocal8Bit(qgetenv("KVR_SOURCE_DIR")) + QStringLiteral("/tests/data/tls/") +
           name;
}

QSslConfiguration ServerTls(const QString &name)
{
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(
        QSslCertificate::fromPath(TlsFile(name + QStringLiteral(".pem"))).value(0));
    QFile key(TlsFile(name + QStringLiteral(".key")));
    EXPECT_TRUE(key.open(QIODevice::ReadOnly)) << key.fileName().toStdString();
    tls.setPrivateKey(QSslKey(key.readAll(), QSsl::Rsa));
    return tls;
}

// A server without TLS: answers whatever comes as the app server answers a
// line that is not JSON, or stays silent.
std::unique_ptr<QTcpServer> PlainServer(bool answers)
{
    auto server = std::make_unique<QTcpServer>();
    server->listen(QHostAddress::LocalHost, 0);
    QTcpServer *s = server.get();
    QObject::connect(s, &QTcpServer::pendingConnectionAvailable, s, [s, answers]() {
        while (QTcpSocket *socket = s->nextPendingConnection())
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, answers]() {
                socket->readAll();
                if (answers)
                    socket->write(LineFramer::frame(encodeError(QJsonValue(), RpcError::ParseError,
                                                                QStringLiteral("JSON inválido"))));
            });
    });
    return server;
}

TEST(TNetConnection, TlsVerifiesTheServerBeforeAnyRequest)
{
    const char *const untrusted = "o certificado do servidor não foi emitido por uma autoridade "
                                  "certificadora confiável (verifique o arquivo --tls-ca)";
    const struct
    {
        const char *server;    // a certificate's name, or "plain"/"silent" for a server without TLS
        const char *trustedCa; // "": none
        bool trustSystemCas;
        const char *problem; // the end of the message; "" when the call goes through
    } cases[] = {
        {"server", "ca.pem", false, ""},
        {"server", "ca.pem", true, ""},
        {"server", "other-ca.pem", false, untrusted},
        {"server", "", true, untrusted},
        {"other-name", "ca.pem", false,
         "o certificado do servidor não vale para o endereço 127.0.0.1"},
        {"plain", "ca.pem", false, "falha na negociação TLS (o servidor de aplicação usa TLS?)"},
        {"silent", "ca.pem", false,
         "a negociação TLS não terminou no tempo de espera (o servidor de aplicação usa TLS?)"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.server) + ", CA " + c.trustedCa);
        const QString server = QString::fromUtf8(c.server);
        std::unique_ptr<ScriptedPeer> tlsPeer;
        std::unique_ptr<QTcpServer> plain;
        if (server == QLatin1String("plain") || server == QLatin1String("silent"))
            plain = PlainServer(server == QLatin1String("plain"));
        else
            tlsPeer =
                std::make_unique<ScriptedPeer>(TokenServer(QStringLiteral("t")), ServerTls(server));
        const quint16 port = tlsPeer ? tlsPeer->Port() : plain->serverPort();
        TNetConnection connection;
        connection.SetServerName(QStringLiteral("kvr51400.rdmConsisteFiscal"));
        connection.SetPort(port);
        connection.SetTimeoutMs(1500); // bounds the silent server's case
        TConnectionSecurity security = WithToken("t");
        security.tls = true;
        security.trustSystemCas = c.trustSystemCas;
        if (*c.trustedCa)
            security.trustedCas =
                QSslCertificate::fromPath(TlsFile(QString::fromUtf8(c.trustedCa)));
        connection.SetSecurity(security);

        const QVariant result = connection.Call(QStringLiteral("getImposto"), {1});
        if (!*c.problem) {
            EXPECT_EQ(ErrorText(result), QString());
            EXPECT_EQ(tlsPeer->Methods(), (QStringList{kAuth, kGetImposto}));
            continue;
        }
        EXPECT_TRUE(ErrorText(result).endsWith(QStringLiteral("127.0.0.1:%1: ").arg(port) +
                                               QString::fromUtf8(c.problem)))
            << ErrorText(result).toStdString();
        if (tlsPeer) {
            EXPECT_EQ(tlsPeer->Methods(), QStringList()) << "nothing is sent before verification";
        }
    }
}

} // namespace
