#include "tests/server/ServerTest.h"

#include <QJsonDocument>
#include <QThread>

using namespace kvr::test;
using kvr::protocol::RpcError;
using kvr::protocol::RpcResponse;

namespace {

class BadInput : public ServerTest
{
protected:
    RpcResponse raw(const QByteArray &line)
    {
        m_client.sendRaw(line + '\n');
        return m_client.readResponse();
    }
    void expectStillServing(RpcClient &client)
    {
        const RpcResponse response =
            client.call(QStringLiteral("getImposto"), {QString(), QStringLiteral("T")});
        EXPECT_TRUE(response.ok) << response.fault.message.toStdString();
    }
};

struct RawCase
{
    QByteArray line;
    RpcError code;
};

} // namespace

TEST_P(BadInput, ProtocolFaultsGetTheirJsonRpcCodes)
{
    const RawCase cases[] = {
        {"{not json", RpcError::ParseError},
        {"\"just a text\"", RpcError::InvalidRequest},
        {"[1,2,3]", RpcError::InvalidRequest},
        {R"({"id":1,"method":"kvr51400.rdmConsisteFiscal.getCFOP","params":[]})",
         RpcError::InvalidRequest},
        {R"({"jsonrpc":"1.0","id":1,"method":"kvr51400.rdmConsisteFiscal.getCFOP","params":[]})",
         RpcError::InvalidRequest},
        {R"({"jsonrpc":"2.0","method":"kvr51400.rdmConsisteFiscal.getCFOP","params":[]})",
         RpcError::InvalidRequest},
        {R"({"jsonrpc":"2.0","id":1,"params":[]})", RpcError::InvalidRequest},
        {R"({"jsonrpc":"2.0","id":1,"method":"kvr51400.rdmConsisteFiscal.getCFOP","params":{"a":1}})",
         RpcError::InvalidParams},
        {R"({"jsonrpc":"2.0","id":1,"method":"kvr51400.rdmConsisteFiscal.nada","params":[]})",
         RpcError::MethodNotFound},
        {R"({"jsonrpc":"2.0","id":1,"method":"kvr99999.rdmOutro.getCFOP","params":[]})",
         RpcError::MethodNotFound},
        {R"({"jsonrpc":"2.0","id":1,"method":"getCFOP","params":[]})", RpcError::MethodNotFound},
        // Lenient readers take these as tax "01", a tab and a number.
        {R"({"jsonrpc":"2.0","id":1,"method":"kvr51400.rdmConsisteFiscal.getImposto","params":["\0\1",""]})",
         RpcError::ParseError},
        {"{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"kvr51400.rdmConsisteFiscal.getImposto\","
         "\"params\":[\"01\",\"\t\"]}",
         RpcError::ParseError},
        {R"({"jsonrpc":"2.0","id":01,"method":"kvr51400.rdmConsisteFiscal.getCFOP","params":[]})",
         RpcError::ParseError},
        {"{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"kvr51400.rdmConsisteFiscal.getVdCFOP\","
         "\"params\":[\"51\xc0\xb0\"]}",
         RpcError::ParseError},
    };
    for (const RawCase &c : cases) {
        const RpcResponse response = raw(c.line);
        EXPECT_FALSE(response.ok) << c.line.constData();
        EXPECT_EQ(response.fault.code, c.code) << c.line.constData();
        EXPECT_FALSE(response.fault.message.isEmpty());
    }
    expectStillServing(m_client);
}

TEST_P(BadInput, ParseErrorAnswersWithNullId)
{
    m_client.sendRaw("{\"jsonrpc\":\n");
    const QJsonDocument doc = QJsonDocument::fromJson(m_client.readLine());
    ASSERT_TRUE(doc.isObject());
    EXPECT_TRUE(doc.object().value(QStringLiteral("id")).isNull());
    EXPECT_EQ(doc.object()
                  .value(QStringLiteral("error"))
                  .toObject()
                  .value(QStringLiteral("code"))
                  .toInt(),
              -32700);
}

TEST_P(BadInput, IdsAreEchoedExactlyAsSent)
{
    const QByteArray ids[] = {"9007199254740993", "18446744073709551615", "-9007199254740995",
                              "12.50", R"("x\u00e7")"};
    for (const QByteArray &id : ids) {
        for (const QByteArray method : {"getImposto", "nada"}) {
            m_client.sendRaw(R"({"jsonrpc":"2.0","id":)" + id +
                             R"(,"method":"kvr51400.rdmConsisteFiscal.)" + method +
                             R"(","params":["01",""]})" + '\n');
            const QByteArray reply = m_client.readLine();
            const QByteArray echoed = R"({"jsonrpc":"2.0","id":)" + id + ',';
            EXPECT_TRUE(reply.startsWith(echoed)) << reply.left(200).constData();
        }
    }
    m_client.sendRaw(R"({"jsonrpc":"2.0","id":")" + QByteArray(100000, 'x') +
                     R"(","method":"kvr51400.rdmConsisteFiscal.getCFOP","params":[]})" + '\n');
    const QByteArray refused = m_client.readLine();
    EXPECT_LT(refused.size(), 1000);
    EXPECT_TRUE(refused.contains(R"("id":null)")) << refused.left(200).constData();
    EXPECT_TRUE(refused.contains("-32600")) << refused.left(200).constData();
}

TEST_P(BadInput, WrongArgumentCountsAreInvalidParams)
{
    const struct
    {
        const char *method;
        int count;
    } methods[] = {{"getConsistencias", 1}, {"getImposto", 2},      {"getCFOP", 0},
                   {"getVdCFOP", 1},        {"vdCon", 2},           {"vdConsistencias", 6},
                   {"setConsistencia", 1},  {"cadAutoAtualiza", 6}, {"cadAutoInsere", 12}};
    for (const auto &m : methods) {
        for (const int count : {m.count - 1, m.count + 1}) {
            if (count < 0)
                continue;
            QJsonArray params;
            for (int i = 0; i < count; ++i)
                params.append(QStringLiteral("01"));
            const RpcResponse response = call(QString::fromLatin1(m.method), params);
            EXPECT_EQ(response.fault.code, RpcError::InvalidParams)
                << m.method << " with " << count;
            EXPECT_TRUE(response.fault.message.contains(QStringLiteral("Parâmetros inválidos")));
        }
    }
}

TEST_P(BadInput, WrongArgumentTypesAreInvalidParams)
{
    const QJsonArray flags7 = {false, false, true, false, false, false, false};
    const QJsonArray values8 =
        QJsonArray::fromStringList({QString(), QString(), QStringLiteral("1"), QString(), QString(),
                                    QString(), QStringLiteral("S"), QStringLiteral("S")});
    QJsonArray insereArgs;
    for (int i = 0; i < 12; ++i)
        insereArgs.append(QString());
    QJsonArray insereWithNumber = insereArgs;
    insereWithNumber[5] = 0;
    const struct
    {
        const char *method;
        QJsonArray params;
    } cases[] = {
        {"getConsistencias", {1}},
        {"getConsistencias", {QJsonValue()}},
        {"getImposto", {QStringLiteral("01"), true}},
        {"getVdCFOP", {5102}},
        {"vdCon", {QJsonArray{QStringLiteral("01")}, QStringLiteral("0000000001")}},
        {"vdConsistencias",
         {QStringLiteral("01"), QString(), QString(), QString(), QStringLiteral("B"), 7}},
        {"setConsistencia", {QStringLiteral("delta")}},
        {"setConsistencia", {QJsonArray()}},
        {"cadAutoAtualiza",
         {QStringLiteral("01"), QString(), QString(), QStringLiteral("0000000001"),
          QJsonArray{false, false}, values8}},
        {"cadAutoAtualiza",
         {QStringLiteral("01"), QString(), QString(), QStringLiteral("0000000001"),
          QJsonArray::fromStringList({QStringLiteral("S"), QStringLiteral("N"), QStringLiteral("N"),
                                      QStringLiteral("N"), QStringLiteral("N"), QStringLiteral("N"),
                                      QStringLiteral("N")}),
          values8}},
        {"cadAutoAtualiza",
         {QStringLiteral("01"), QString(), QString(), QStringLiteral("0000000001"), flags7,
          QJsonArray{1, 2, 3, 4, 5, 6, 7, 8}}},
        {"cadAutoAtualiza",
         {QStringLiteral("01"), QString(), QString(), QStringLiteral("0000000001"), flags7,
          QJsonArray::fromStringList({QString(), QString()})}},
        {"cadAutoAtualiza", {QStringLiteral("01"), QString(), QString(), 1, flags7, values8}},
        {"cadAutoInsere", insereWithNumber},
    };
    for (const auto &c : cases) {
        const RpcResponse response = call(QString::fromLatin1(c.method), c.params);
        EXPECT_EQ(response.fault.code, RpcError::InvalidParams)
            << c.method << " "
            << QJsonDocument(c.params).toJson(QJsonDocument::Compact).constData();
        EXPECT_TRUE(response.fault.message.contains(QStringLiteral("Parâmetros inválidos")))
            << response.fault.message.toStdString();
    }
}

TEST_P(BadInput, RequestsSplitIntoPiecesOrJoinedInOneWriteAreAnswered)
{
    const QByteArray request =
        R"({"jsonrpc":"2.0","id":"a","method":"kvr51400.rdmConsisteFiscal.getImposto","params":["01",""]})";
    const QByteArray line = request + '\n';
    for (const char byte : line) {
        m_client.sendRaw(QByteArray(1, byte));
        m_client.socket().flush();
    }
    RpcResponse response = m_client.readResponse();
    ASSERT_TRUE(response.ok) << response.fault.message.toStdString();
    EXPECT_EQ(response.id, QJsonValue(QStringLiteral("a")));

    QByteArray joined;
    for (int id = 10; id < 13; ++id)
        joined +=
            kvr::protocol::encodeRequest(id, QStringLiteral("kvr51400.rdmConsisteFiscal.getVdCFOP"),
                                         {QStringLiteral("5102")}) +
            (id == 11 ? "\r\n\n" : "\n");
    m_client.sendRaw(joined);
    for (int id = 10; id < 13; ++id) {
        response = m_client.readResponse();
        ASSERT_TRUE(response.ok);
        EXPECT_EQ(response.id.toInt(), id);
    }
}

TEST_P(BadInput, OversizedMessageIsRefusedAndOnlyThatConnectionCloses)
{
    const std::unique_ptr<ServerProcess> small =
        startAnotherServer({QStringLiteral("--max-message"), QStringLiteral("4096")});
    ASSERT_TRUE(small);
    RpcClient bystander, offender;
    ASSERT_TRUE(bystander.connectTo(small->port()));
    ASSERT_TRUE(offender.connectTo(small->port()));
    expectStillServing(bystander);

    offender.sendRaw(QByteArray(300000, 'x'));
    const RpcResponse response = offender.readResponse();
    EXPECT_FALSE(response.ok);
    EXPECT_EQ(response.fault.code, RpcError::InvalidRequest);
    EXPECT_TRUE(response.fault.message.contains(QStringLiteral("limite")));
    EXPECT_TRUE(offender.waitClosed());

    expectStillServing(bystander);
    RpcClient newcomer;
    ASSERT_TRUE(newcomer.connectTo(small->port()));
    expectStillServing(newcomer);
}

TEST_P(BadInput, DefaultLimitIsSixtyFourMebibytes)
{
    if (GetParam() != Backend::Sqlite)
        GTEST_SKIP() << "the limit does not depend on the database; checked on SQLite";
    RpcClient other;
    ASSERT_TRUE(other.connectTo(m_server.port()));
    // A message just under the limit is read whole (and is not JSON).
    QByteArray almost(64 * 1024 * 1024 - 16, ' ');
    almost[0] = '{';
    m_client.sendRaw(almost + '\n');
    EXPECT_EQ(m_client.readResponse(60000).fault.code, RpcError::ParseError);
    m_client.sendRaw(QByteArray(64 * 1024 * 1024 + 1, 'x'));
    const RpcResponse refused = m_client.readResponse(60000);
    EXPECT_TRUE(refused.fault.message.contains(QStringLiteral("limite")));
    EXPECT_TRUE(m_client.waitClosed());
    expectStillServing(other);
}

TEST_P(BadInput, ClientVanishingMidRequestDoesNotDisturbOthers)
{
    {
        RpcClient quitter;
        ASSERT_TRUE(quitter.connectTo(m_server.port()));
        quitter.sendRaw(R"({"jsonrpc":"2.0","id":1,"method":"kvr51400.rdm)");
        quitter.socket().abort();
    }
    expectStillServing(m_client);
}

KVR_ON_BOTH_BACKENDS(BadInput);
