#include "tests/common/ServerProcess.h"
#include "tests/server/ServerTest.h"

#include <QSslConfiguration>
#include <QSslSocket>
#include <QTemporaryDir>

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
    // test TLS files, any other one of the test's folder ("token", "vazio").
    QStringList arguments(const char *line) const
    {
        QStringList out;
        for (const QString &word : QString::fromUtf8(line).split(' ', Qt::SkipEmptyParts))
            out.append(word.startsWith(QLatin1String("--")) ? word
                       : word.contains(QLatin1Char('.'))    ? tlsFile(word)
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

TEST_P(Access, TokenIsTheFirstCallOfEachConnection)
{
    const struct
    {
        const char *name;
        bool withToken;
        const char *method;
        QJsonArray params;
        const char *error; // nullptr: authenticated, and calls follow
    } cases[] = {
        {"right token", true, "kvr.auth", {Token}, nullptr},
        {"wrong token",
         true,
         "kvr.auth",
         {QString(Token + QLatin1Char('x'))},
         "Token de acesso inválido"},
        {"token prefix", true, "kvr.auth", {Token.left(4)}, "Token de acesso inválido"},
        {"no token", true, "kvr.auth", {}, "Token de acesso inválido"},
        {"other call first",
         true,
         "kvr51400.rdmConsisteFiscal.getCFOP",
         {},
         "Autenticação necessária"},
        {"no token asked", false, "kvr.auth", {"qualquer"}, nullptr},
    };
    ServerProcess guarded, open;
    ASSERT_TRUE(guarded.start(m_db->url(), arguments("--token-file token")))
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

// Who may connect does not depend on the database.
INSTANTIATE_TEST_SUITE_P(Backends, Access, ::testing::Values(Backend::Sqlite), backendName);
