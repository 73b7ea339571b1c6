#include "tests/common/ServerProcess.h"
#include "tests/server/ServerTest.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QSslCipher>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QThread>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace kvr::test;
using kvr::protocol::RpcResponse;

namespace {

const QString Token = QStringLiteral("s3gr3do-de-teste");
const QByteArray AuthLine = kvr::protocol::encodeRequest(1, "kvr.auth", {Token}) + '\n';

// One request over TLS trusting only `caFile`; false when the handshake fails.
bool callOverTls(quint16 port, const QString &caFile, RpcResponse &response)
{
    QSslSocket socket;
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setCaCertificates(QSslCertificate::fromPath(caFile));
    socket.setSslConfiguration(config);
    socket.connectToHostEncrypted(QStringLiteral("localhost"), port);
    if (!socket.waitForEncrypted(10000))
        return false;
    socket.write(AuthLine);
    QByteArray reply;
    while (!reply.contains('\n') && socket.waitForReadyRead(10000))
        reply += socket.readAll();
    QString problem;
    return kvr::protocol::parseResponse(reply.left(reply.indexOf('\n')), response, problem);
}

// Sends `bytes` on a plain socket, shuts its sending side down at once (as
// `nc -N` does) and returns everything the server sends until it closes.
QByteArray sendAndHalfClose(quint16 port, const QByteArray &bytes)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QByteArray received;
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
        ::send(fd, bytes.constData(), static_cast<size_t>(bytes.size()), MSG_NOSIGNAL) ==
            bytes.size() &&
        ::shutdown(fd, SHUT_WR) == 0) {
        pollfd wait{fd, POLLIN, 0};
        char chunk[65536];
        while (::poll(&wait, 1, 10000) > 0) {
            const ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
            if (got <= 0)
                break;
            received.append(chunk, got);
        }
    }
    ::close(fd);
    return received;
}

class Access : public ServerTest
{
protected:
    void SetUp() override
    {
        ServerTest::SetUp();
        ASSERT_TRUE(m_dir.isValid());
        QFile file(m_dir.filePath(QStringLiteral("token")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("  " + Token.toUtf8() + "  \nsegunda linha ignorada\n");
        QFile(m_dir.filePath(QStringLiteral("vazio"))).open(QIODevice::WriteOnly);
    }
    // A space-separated command line; a file name with a dot is one of the
    // test TLS files, any other one of the test's folder ("token", "vazio");
    // numbers stay numbers.
    QStringList arguments(const char *line) const
    {
        QStringList out;
        for (const QString &word : QString::fromUtf8(line).split(' ', Qt::SkipEmptyParts))
            out.append(word.startsWith(QLatin1String("--")) || word.front().isDigit() ? word
                       : word.contains(QLatin1Char('.')) ? tlsFile(word)
                                                         : m_dir.filePath(word));
        return out;
    }
    static QString tlsFile(const QString &name)
    {
        return QStringLiteral(QT_TESTCASE_SOURCEDIR "/../data/tls/") + name;
    }
    QTemporaryDir m_dir;
};

} // namespace

TEST_P(Access, AuthenticationIsTheFirstCallOfEachConnection)
{
    enum Server { Guarded, Open, Login, Both };
    const struct
    {
        const char *name;
        Server server;
        const char *method;
        QJsonArray params;
        const char *error;  // nullptr: authenticated, and calls follow
        const char *result; // the result's member and its value when authenticated
    } cases[] = {
        {"right token", Guarded, "kvr.auth", {Token}, nullptr, "authenticated"},
        {"wrong token",
         Guarded,
         "kvr.auth",
         {QString(Token + QLatin1Char('x'))},
         "Token de acesso inválido",
         nullptr},
        {"token prefix", Guarded, "kvr.auth", {Token.left(4)}, "Token de acesso inválido", nullptr},
        {"no token", Guarded, "kvr.auth", {}, "Token de acesso inválido", nullptr},
        {"other call first",
         Guarded,
         "kvr51400.rdmConsisteFiscal.getCFOP",
         {},
         "primeira chamada deve ser kvr.auth",
         nullptr},
        {"no token asked", Open, "kvr.auth", {"qualquer"}, nullptr, "authenticated"},
        {"right pair", Login, "kvr.login", {"maria", "segredo-da-maria"}, nullptr, "user"},
        {"wrong password",
         Login,
         "kvr.login",
         {"maria", "segredo-da-mari"},
         "Usuário ou senha inválidos",
         nullptr},
        {"unknown user",
         Login,
         "kvr.login",
         {"mario", "segredo-da-maria"},
         "Usuário ou senha inválidos",
         nullptr},
        {"password missing", Login, "kvr.login", {"maria"}, "Usuário ou senha inválidos", nullptr},
        {"token where a login is wanted",
         Login,
         "kvr.auth",
         {Token},
         "primeira chamada deve ser kvr.login",
         nullptr},
        {"other call before login",
         Login,
         "kvr51400.rdmConsisteFiscal.getCFOP",
         {},
         "primeira chamada deve ser kvr.login",
         nullptr},
        {"login without --login",
         Open,
         "kvr.login",
         {"maria", "segredo-da-maria"},
         "Método desconhecido",
         nullptr},
        {"token with both", Both, "kvr.auth", {Token}, nullptr, "authenticated"},
        {"login with both", Both, "kvr.login", {"maria", "segredo-da-maria"}, nullptr, "user"},
    };
    ASSERT_TRUE(addUser(m_db->url(), QStringLiteral("maria"), "segredo-da-maria"));
    ServerProcess servers[4];
    const char *options[] = {"--token-file token", "", "--login", "--login --token-file token"};
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(servers[i].start(m_db->url(), arguments(options[i])))
            << servers[i].log().toStdString();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        RpcClient client;
        ASSERT_TRUE(client.connectTo(servers[c.server].port()));
        const RpcResponse first = client.callFull(c.method, c.params);
        if (c.error) {
            EXPECT_FALSE(first.ok);
            EXPECT_EQ(static_cast<int>(first.fault.code), c.server == Open ? -32601 : 1003);
            EXPECT_TRUE(first.fault.message.contains(QString::fromUtf8(c.error)))
                << first.fault.message.toStdString();
            EXPECT_EQ(client.waitClosed(c.server == Open ? 300 : 5000), c.server != Open);
        } else {
            ASSERT_TRUE(first.ok) << first.fault.message.toStdString();
            const QJsonValue value = first.result.toObject().value(QString::fromLatin1(c.result));
            EXPECT_TRUE(value == true || value == QStringLiteral("maria"));
            EXPECT_TRUE(client.call(QStringLiteral("getCFOP"), {}).ok);
        }
    }
    EXPECT_FALSE(servers[Login].log().contains(QLatin1String("segredo")));
}

TEST_P(Access, TlsServesOnlyClientsThatTrustItsCertificate)
{
    ServerProcess server;
    ASSERT_TRUE(server.start(
        m_db->url(), arguments("--tls-cert server.pem --tls-key server.key --token-file token")))
        << server.log().toStdString();
    for (const auto &[ca, served] : {std::pair{"ca.pem", true}, std::pair{"other-ca.pem", false}}) {
        SCOPED_TRACE(ca);
        RpcResponse response;
        EXPECT_EQ(callOverTls(server.port(), tlsFile(ca), response), served);
        EXPECT_EQ(response.ok, served);
    }
    // Only forward secrecy with authenticated encryption on TLS 1.2; TLS 1.3.
    const struct
    {
        QSsl::SslProtocol protocol;
        const char *cipher; // nullptr: the protocol's defaults
        bool served;
    } suites[] = {
        {QSsl::TlsV1_2, "AES128-SHA", false},
        {QSsl::TlsV1_2, "AES256-GCM-SHA384", false},
        {QSsl::TlsV1_2, "ECDHE-RSA-AES128-SHA", false},
        {QSsl::TlsV1_2, "ECDHE-RSA-AES128-GCM-SHA256", true},
        {QSsl::TlsV1_2, "ECDHE-RSA-CHACHA20-POLY1305", true},
        {QSsl::TlsV1_3, nullptr, true},
    };
    for (const auto &suite : suites) {
        SCOPED_TRACE(suite.cipher ? suite.cipher : "TLS 1.3");
        QSslSocket socket;
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        config.setCaCertificates(QSslCertificate::fromPath(tlsFile(QStringLiteral("ca.pem"))));
        config.setProtocol(suite.protocol);
        if (suite.cipher) {
            const QSslCipher cipher(QString::fromLatin1(suite.cipher));
            ASSERT_FALSE(cipher.isNull());
            config.setCiphers({cipher});
        }
        socket.setSslConfiguration(config);
        socket.connectToHostEncrypted(QStringLiteral("localhost"), server.port());
        EXPECT_EQ(socket.waitForEncrypted(10000), suite.served)
            << socket.errorString().toStdString();
    }
    RpcClient plain;
    ASSERT_TRUE(plain.connectTo(server.port()));
    plain.sendRaw(AuthLine);
    EXPECT_TRUE(plain.readLine(5000).isEmpty());
    EXPECT_TRUE(plain.waitClosed());
}

TEST_P(Access, UnusableTokenOrCertificateFilesStopTheStart)
{
    const struct
    {
        const char *args;
        int exitCode;
        const char *message;
    } cases[] = {
        {"--token-file nada", 1, "Não foi possível ler o arquivo do token"},
        {"--token-file vazio", 1, "está vazio"},
        {"--tls-cert server.pem", 2, "--tls-cert e --tls-key"},
        {"--tls-cert server.key --tls-key server.key", 1, "não contém um certificado"},
        {"--tls-cert server.pem --tls-key ca.pem", 1, "não contém uma chave privada"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args);
        ServerProcess server;
        EXPECT_FALSE(server.start(m_db->url(), arguments(c.args)));
        EXPECT_EQ(server.waitExit(10000), c.exitCode);
        EXPECT_TRUE(server.log().contains(QString::fromUtf8(c.message)))
            << server.log().toStdString();
    }
}

TEST_P(Access, ConnectionsThatDoNotAuthenticateAreClosedInTime)
{
    ServerProcess server;
    ASSERT_TRUE(server.start(m_db->url(), arguments("--token-file token --max-connections 2 "
                                                    "--auth-timeout 1")))
        << server.log().toStdString();
    const struct
    {
        const char *name;
        QByteArray sent;
    } cases[] = {{"silent", ""}, {"half a line", R"({"jsonrpc":"2.0","id":1,"meth)"}};
    // Both hold the two slots at once; both are let go.
    RpcClient clients[2];
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(clients[i].connectTo(server.port()));
        clients[i].sendRaw(cases[i].sent);
    }
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(cases[i].name);
        const RpcResponse refusal = clients[i].readResponse(5000);
        EXPECT_EQ(static_cast<int>(refusal.fault.code), 1003);
        EXPECT_TRUE(refusal.fault.message.contains(QStringLiteral("não foi feita em 1 s")))
            << refusal.fault.message.toStdString();
        EXPECT_TRUE(clients[i].waitClosed());
        // The client closes its side too, as a client told to go does.
        clients[i].socket().abort();
    }
    // The freed slots serve others, past the time limit once authenticated.
    RpcClient late;
    const QDeadlineTimer deadline(5000);
    RpcResponse admitted;
    while (!admitted.ok && !deadline.hasExpired()) {
        late.socket().abort();
        ASSERT_TRUE(late.connectTo(server.port()));
        admitted = late.callFull(QStringLiteral("kvr.auth"), {Token});
    }
    EXPECT_TRUE(admitted.ok) << admitted.fault.message.toStdString();
    QThread::msleep(1500);
    EXPECT_TRUE(late.call(QStringLiteral("getCFOP"), {}).ok);
}

TEST_P(Access, GuessingFromOneAddressSlowsDown)
{
    ServerProcess server;
    ASSERT_TRUE(server.start(m_db->url(), arguments("--token-file token")))
        << server.log().toStdString();
    // The answer to each wrong token waits at least this long.
    const qint64 leastWaitMs[] = {0, 0, 250, 500, 1000, 2000};
    for (qsizetype i = 0; i < qsizetype(std::size(leastWaitMs)); ++i) {
        SCOPED_TRACE(i + 1);
        RpcClient client;
        ASSERT_TRUE(client.connectTo(server.port()));
        QElapsedTimer clock;
        clock.start();
        const RpcResponse refusal = client.callFull(QStringLiteral("kvr.auth"), {"adivinhado"});
        EXPECT_GE(clock.elapsed(), leastWaitMs[i]);
        EXPECT_TRUE(refusal.fault.message.contains(QStringLiteral("Token de acesso inválido")))
            << refusal.fault.message.toStdString();
    }
    EXPECT_TRUE(server.log(QStringLiteral("failure 6"), 5000)
                    .contains(QLatin1String("wrong access token from 127.0.0.1 (failure 6")))
        << server.log().toStdString();
}

TEST_P(Access, RefusalsBeforeAuthenticationSayWhatHappened)
{
    ServerProcess server;
    ASSERT_TRUE(server.start(m_db->url(), arguments("--token-file token")))
        << server.log().toStdString();
    QByteArray deep =
        R"({"jsonrpc":"2.0","id":1,"method":"kvr51400.rdmConsisteFiscal.getCFOP","params":)";
    deep += QByteArray(600, '[') + QByteArray(600, ']') + "}\n";
    const struct
    {
        const char *name;
        bool guarded;
        QByteArray line;
        const char *message;
    } cases[] = {
        {"token beyond the first line's limit", true,
         kvr::protocol::encodeRequest(1, "kvr.auth", {QString(5000, QLatin1Char('x'))}) + '\n',
         "antes da autenticação o limite é de"},
        {"nested too deep", false, deep, "mais de 512 níveis"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        RpcClient client;
        ASSERT_TRUE(client.connectTo(c.guarded ? server.port() : m_server.port()));
        client.sendRaw(c.line);
        const RpcResponse refusal = client.readResponse(5000);
        EXPECT_TRUE(refusal.fault.message.contains(QString::fromUtf8(c.message)))
            << refusal.fault.message.toStdString();
    }
}

TEST_P(Access, HalfClosedClientsGetEveryReply)
{
    const QByteArray request =
        kvr::protocol::encodeRequest(1, "kvr51400.rdmConsisteFiscal.getImposto", {"01", ""}) + '\n';
    const struct
    {
        const char *name;
        QByteArray sent;
        int replies;
        int tries;
    } cases[] = {
        {"one request", request, 1, 20},
        {"three requests", request + request + request, 3, 5},
        {"a partial line after one request", request + R"({"jsonrpc")", 1, 5},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        for (int i = 0; i < c.tries; ++i) {
            const QByteArray received = sendAndHalfClose(m_server.port(), c.sent);
            EXPECT_EQ(received.count('\n'), c.replies) << received.left(200).toStdString();
        }
    }
}

// Who may connect does not depend on the database.
INSTANTIATE_TEST_SUITE_P(Backends, Access, ::testing::Values(Backend::Sqlite), backendName);
