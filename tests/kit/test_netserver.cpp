#include "kit/core/Consiste.h"
#include "kit/data/TClientDataSet.h"
#include "kit/net/TNetConnection.h"
#include "tests/common/AppServerProcess.h"
#include "tests/kit/ModalAnswer.h"

#include <QFile>
#include <QSslCertificate>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

// The connection as the maintenance screen uses it, against a real
// application server on a fresh seeded database.
class RealServer : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_server = std::make_unique<AppServerProcess>();
        ASSERT_TRUE(s_server->Start()) << s_server->Error().toStdString();
    }
    static void TearDownTestSuite() { s_server.reset(); }

    void SetUp() override
    {
        ASSERT_TRUE(s_server);
        m_net.SetServerName(QStringLiteral("kvr51400.rdmConsisteFiscal"));
        m_net.BeforeConnect = [](TNetConnection *c) {
            c->SetHost(s_server->Host());
            c->SetPort(s_server->Port());
        };
        m_net.Open();
        ASSERT_TRUE(m_net.Connected());
    }

    static std::unique_ptr<AppServerProcess> s_server;
    TNetConnection m_net;
};

std::unique_ptr<AppServerProcess> RealServer::s_server;

TEST_F(RealServer, TaxListLoadsIntoADataset)
{
    const QVariant result = CheckResultServ(
        m_net.AppServer().Call(QStringLiteral("getImposto"), {QString(), QStringLiteral("T")}),
        true, 0);
    TClientDataSet taxes;
    taxes.AddField(QStringLiteral("CDIMPOSTO"), 2);
    taxes.AddField(QStringLiteral("NMIMPOSTO"), 40);
    taxes.SetData(result); // SGIMPOSTO and CDIMPOSTONFE are not declared here
    EXPECT_GE(taxes.RecordCount(), 4);
    ASSERT_TRUE(taxes.Locate(QStringLiteral("CDIMPOSTO"), QStringLiteral("50")));
    EXPECT_EQ(taxes.FieldByName(QStringLiteral("NMIMPOSTO"))->AsString().isEmpty(), false);
}

TEST_F(RealServer, UnknownTaxIsAnEmptyPacket)
{
    const QVariant result = CheckResultServ(
        m_net.AppServer().Call(QStringLiteral("getImposto"), {QStringLiteral("99"), QString()}),
        true, 0);
    TClientDataSet taxes;
    taxes.AddField(QStringLiteral("CDIMPOSTO"), 2);
    taxes.SetData(result);
    EXPECT_TRUE(taxes.IsEmpty());
}

TEST_F(RealServer, RulesOfATaxComeInNumberOrder)
{
    const QVariant result = CheckResultServ(
        m_net.AppServer().Call(QStringLiteral("getConsistencias"), {QStringLiteral("01")}), true,
        0);
    TClientDataSet rules;
    rules.AddField(QStringLiteral("NRSEQCONSISTE"), 10);
    rules.AddField(QStringLiteral("CDIMPOSTO"), 2);
    rules.SetData(result);
    ASSERT_GT(rules.RecordCount(), 0);
    QString previous;
    for (rules.First(); !rules.Eof(); rules.Next()) {
        EXPECT_EQ(rules.FieldByName(QStringLiteral("CDIMPOSTO"))->AsString(), QStringLiteral("01"));
        const QString number = rules.FieldByName(QStringLiteral("NRSEQCONSISTE"))->AsString();
        EXPECT_EQ(number.size(), 10);
        EXPECT_LT(previous, number);
        previous = number;
    }
}

TEST_F(RealServer, ServerFailuresAreShownAndEndTheAction)
{
    ModalAnswer answer;
    const QVariant wrongCount = m_net.AppServer().Call(QStringLiteral("getImposto"));
    ASSERT_EQ(wrongCount.metaType(), QMetaType::fromType<TServerError>());
    EXPECT_FALSE(wrongCount.value<TServerError>().message.isEmpty());
    EXPECT_THROW(CheckResultServ(wrongCount, true, 0), EAbort);
    ASSERT_EQ(answer.Texts().size(), 1);
    EXPECT_EQ(answer.Texts().first(), wrongCount.value<TServerError>().message);

    const QVariant unknown = m_net.AppServer().Call(QStringLiteral("naoExiste"));
    ASSERT_EQ(unknown.metaType(), QMetaType::fromType<TServerError>());
    EXPECT_EQ(unknown.value<TServerError>().code, -32601);
    EXPECT_TRUE(m_net.Connected()) << "the server keeps the connection after an error";
}

TEST_F(RealServer, DuplicateCheckAnswersAnArray)
{
    const QVariant result =
        CheckResultServ(m_net.AppServer().Call(QStringLiteral("vdConsistencias"),
                                               {QStringLiteral("01"), QStringLiteral("9999"),
                                                QStringLiteral("99"), QStringLiteral("1"),
                                                QStringLiteral("B"), QStringLiteral("0000000000")}),
                        true, 0);
    ASSERT_EQ(result.toList().size(), 1);
    EXPECT_EQ(result.toList().first().toString(), QStringLiteral("OK"));
}

TEST_F(RealServer, ReopensAfterCloseLikeAScreenShownAgain)
{
    m_net.Close();
    EXPECT_FALSE(m_net.Connected());
    const QVariant result =
        m_net.AppServer().Call(QStringLiteral("getImposto"), {QStringLiteral("01"), QString()});
    EXPECT_NE(result.metaType(), QMetaType::fromType<TServerError>())
        << result.value<TServerError>().message.toStdString();
    EXPECT_TRUE(m_net.Connected());
}

// The real client connection against a real server that asks for a token and
// speaks TLS: what a user with each kind of wrong set-up gets to read.
TEST(RealSecuredServer, TokenAndCertificateEndToEnd)
{
    const QString certs =
        qEnvironmentVariable("KVR_SOURCE_DIR") + QStringLiteral("/tests/data/tls/");
    QTemporaryDir dir;
    QFile tokenFile(dir.filePath(QStringLiteral("token")));
    ASSERT_TRUE(tokenFile.open(QIODevice::WriteOnly));
    tokenFile.write("segredo-do-servidor\n");
    tokenFile.close();
    AppServerProcess server;
    ASSERT_TRUE(server.Start({QStringLiteral("--token-file"), tokenFile.fileName(),
                              QStringLiteral("--tls-cert"), certs + QStringLiteral("server.pem"),
                              QStringLiteral("--tls-key"), certs + QStringLiteral("server.key")}))
        << server.Error().toStdString();

    struct Case
    {
        const char *name;
        const char *token;
        bool tls;
        const char *ca;
        const char *failure; // empty: the call succeeds
    };
    const Case cases[] = {
        {"right token, trusted CA", "segredo-do-servidor", true, "ca.pem", ""},
        {"wrong token", "outro", true, "ca.pem", "token de acesso inválido"},
        {"no token", "", true, "ca.pem", "o servidor exige um token de acesso"},
        {"untrusted certificate", "segredo-do-servidor", true, "other-ca.pem",
         "autoridade certificadora confiável"},
        {"plain client", "segredo-do-servidor", false, "", "usa TLS, informe --tls-ca"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TConnectionSecurity security;
        security.token = QString::fromUtf8(c.token);
        security.tls = c.tls;
        if (*c.ca)
            security.trustedCas = QSslCertificate::fromPath(certs + QString::fromLatin1(c.ca));
        TNetConnection net;
        net.SetServerName(QStringLiteral("kvr51400.rdmConsisteFiscal"));
        net.SetHost(server.Host());
        net.SetPort(server.Port());
        net.SetTimeoutMs(5000);
        net.SetSecurity(security);
        // Twice: the second call runs on a fresh connection after a refusal.
        for (int round = 0; round < 2; ++round) {
            const QVariant result = net.AppServer().Call(QStringLiteral("getImposto"),
                                                         {QStringLiteral("01"), QString()});
            const bool failed = result.metaType() == QMetaType::fromType<TServerError>();
            const QString message = failed ? result.value<TServerError>().message : QString();
            if (!*c.failure) {
                EXPECT_FALSE(failed) << message.toStdString();
            } else {
                EXPECT_TRUE(failed);
                EXPECT_TRUE(message.contains(QString::fromUtf8(c.failure)))
                    << message.toStdString();
            }
        }
    }
}

} // namespace
