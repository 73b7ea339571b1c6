#include "tests/server/ServedProcess.h"
#include "tests/server/ServerTest.h"

#include <QSslConfiguration>
#include <QSslSocket>
#include <QTemporaryDir>

using namespace kvr::test;
using kvr::protocol::RpcError;
using kvr::protocol::RpcResponse;

namespace {

const QString Token = QStringLiteral("s3gr3do-de-teste");

QString tlsFile(const char *name)
{
    return QStringLiteral(QT_TESTCASE_SOURCEDIR "/../data/tls/") + QString::fromLatin1(name);
}

QByteArray requestLine(const QString &method, const QJsonArray &params)
{
    return kvr::protocol::encodeRequest(1, method, params) + '\n';
}

// One request over TLS trusting only `caFile`; false when the handshake fails.
bool callOverTls(quint16 port, const QString &caFile, const QByteArray &line, RpcResponse &response)
{
    QSslSocket socket;
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setCaCertificates(QSslCertificate::fromPath(caFile));
    socket.setSslConfiguration(config);
    socket.connectToHostEncrypted(QStringLiteral("localhost"), port);
    if (!socket.waitForEncrypted(10000))
        return false;
    socket.write(line);
    QByteArray reply;
    while (!reply.contains('\n') && socket.waitForReadyRead(10000))
        reply += socket.readAll();
    QString problem;
    return kvr::protocol::parseResponse(reply.left(reply.indexOf('\n')), response, problem);
}

class Access : public ServerTest
{
protected:
    void SetUp() override
    {
        ServerTest::SetUp();
        ASSERT_TRUE(m_dir.isValid());
        m_tokenFile = m_dir.filePath(QStringLiteral("token"));
        QFile file(m_tokenFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("  " + Token.toUtf8() + "  \nsegunda linha ignorada\n");
    }
    QTemporaryDir m_dir;
    QString m_tokenFile;
};

} // namespace

TEST_P(Access, TokenIsTheFirstCallOfEachConnection)
{
    const struct
    {
        const char *name;
        bool withToken;
        QString method;
        QJsonArray params;
        const char *error; // nullptr: authenticated, and calls follow
    } cases[] = {
        {"right token", true, QStringLiteral("kvr.auth"), {Token}, nullptr},
        {"wrong token",
         true,
         QStringLiteral("kvr.auth"),
         {QString(Token + QLatin1Char('x'))},
         "Token de acesso inválido"},
        {"token prefix",
         true,
         QStringLiteral("kvr.auth"),
         {Token.left(4)},
         "Token de acesso inválido"},
        {"no token", true, QStringLiteral("kvr.auth"), {}, "Token de acesso inválido"},
        {"other call first",
         true,
         QStringLiteral("kvr51400.rdmConsisteFiscal.getCFOP"),
         {},
         "Autenticação necessária"},
        {"no token asked",
         false,
         QStringLiteral("kvr.auth"),
         {QStringLiteral("qualquer")},
         nullptr},
    };
    ServedProcess guarded, open;
    ASSERT_TRUE(guarded.start(m_db->url(), {QStringLiteral("--token-file"), m_tokenFile}))
        << guarded.log().toStdString();
    ASSERT_TRUE(open.start(m_db->url())) << open.log().toStdString();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        RpcClient client;
        ASSERT_TRUE(client.connectTo(c.withToken ? guarded.port() : open.port()));
        const RpcResponse first = client.callFull(c.method, c.params);
        if (c.error) {
            EXPECT_FALSE(first.ok);
            EXPECT_EQ(static_cast<int>(first.fault.code), 1003);
            EXPECT_TRUE(first.fault.message.contains(QString::fromUtf8(c.error)))
                << first.fault.message.toStdString();
            EXPECT_TRUE(client.waitClosed());
        } else {
            ASSERT_TRUE(first.ok) << first.fault.message.toStdString();
            EXPECT_EQ(first.result.toObject().value(QStringLiteral("authenticated")), true);
            EXPECT_TRUE(client.call(QStringLiteral("getCFOP"), {}).ok);
        }
    }
}

TEST_P(Access, TlsServesOnlyClientsThatTrustItsCertificate)
{
    ServedProcess server;
    ASSERT_TRUE(server.start(m_db->url(), {QStringLiteral("--tls-cert"), tlsFile("server.pem"),
                                           QStringLiteral("--tls-key"), tlsFile("server.key"),
                                           QStringLiteral("--token-file"), m_tokenFile}))
        << server.log().toStdString();
    const struct
    {
        const char *name;
        const char *ca;
        bool served;
    } cases[] = {
        {"trusted CA", "ca.pem", true},
        {"unrelated CA", "other-ca.pem", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        RpcResponse response;
        EXPECT_EQ(callOverTls(server.port(), tlsFile(c.ca),
                              requestLine(QStringLiteral("kvr.auth"), {Token}), response),
                  c.served);
        EXPECT_EQ(response.ok, c.served);
    }
    RpcClient plain;
    ASSERT_TRUE(plain.connectTo(server.port()));
    plain.sendRaw(requestLine(QStringLiteral("kvr.auth"), {Token}));
    EXPECT_TRUE(plain.readLine(5000).isEmpty());
    EXPECT_TRUE(plain.waitClosed());
}

TEST_P(Access, UnusableTokenOrCertificateFilesStopTheStart)
{
    const QString empty = m_dir.filePath(QStringLiteral("vazio"));
    QFile(empty).open(QIODevice::WriteOnly);
    const struct
    {
        QStringList args;
        int exitCode;
        const char *message;
    } cases[] = {
        {{QStringLiteral("--token-file"), m_dir.filePath(QStringLiteral("nada"))},
         1,
         "Não foi possível ler o arquivo do token"},
        {{QStringLiteral("--token-file"), empty}, 1, "está vazio"},
        {{QStringLiteral("--tls-cert"), tlsFile("server.pem")}, 2, "--tls-cert e --tls-key"},
        {{QStringLiteral("--tls-cert"), tlsFile("server.key"), QStringLiteral("--tls-key"),
          tlsFile("server.key")},
         1,
         "não contém um certificado"},
        {{QStringLiteral("--tls-cert"), tlsFile("server.pem"), QStringLiteral("--tls-key"),
          tlsFile("ca.pem")},
         1,
         "não contém uma chave privada"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        ServedProcess server;
        EXPECT_FALSE(server.start(m_db->url(), c.args));
        EXPECT_EQ(server.waitExit(10000), c.exitCode);
        EXPECT_TRUE(server.log().contains(QString::fromUtf8(c.message)))
            << server.log().toStdString();
    }
}

// Who may connect does not depend on the database.
INSTANTIATE_TEST_SUITE_P(Backends, Access, ::testing::Values(Backend::Sqlite), backendName);
