#include "kit/core/Consiste.h"
#include "kit/data/TClientDataSet.h"
#include "kit/net/TNetConnection.h"
#include "tests/common/AppServerProcess.h"
#include "tests/kit/ModalAnswer.h"

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

} // namespace
