#include "tests/server/ServerTest.h"

#include "fiscal/ConsisteFiscalContract.h"
#include "server/common/WarningLimiter.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QMap>
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

TEST_P(BadInput, RepliesQuoteOnlyAShortPrefixOfHugeValues)
{
    const QString huge = QStringLiteral("x").repeated(20000);
    QJsonArray insere;
    for (const char *arg : {"01", "", "", "", "", "", "0", "0", "S", "S", "1", "B"})
        insere.append(QString::fromLatin1(arg));
    insere[5] = huge; // base sign
    QJsonObject wideDelta = delta(
        {updateChange(withField(QStringList(18, QString()), QStringLiteral("NRSEQCONSISTE"), huge),
                      QStringList(18, QString()))});
    QJsonArray wideFields;
    for (const QJsonValue &f : wideDelta.value(QStringLiteral("fields")).toArray()) {
        QJsonObject wide = f.toObject();
        wide.insert(QStringLiteral("size"), 100000);
        wideFields.append(wide);
    }
    wideDelta.insert(QStringLiteral("fields"), wideFields);
    const QJsonObject strangeOp{
        {QStringLiteral("fields"), QJsonArray()},
        {QStringLiteral("changes"), QJsonArray{QJsonObject{{QStringLiteral("op"), huge}}}}};
    const QJsonObject strangeField{
        {QStringLiteral("fields"),
         QJsonArray{QJsonObject{{QStringLiteral("name"), huge}, {QStringLiteral("size"), 1}}}},
        {QStringLiteral("changes"),
         QJsonArray{QJsonObject{{QStringLiteral("op"), QStringLiteral("delete")},
                                {QStringLiteral("old"), QJsonArray{1}}}}}};
    const struct
    {
        const char *method;
        QJsonArray params;
        RpcError code;
    } cases[] = {
        {"getConsistencias", {huge}, RpcError::Validation},
        {"getImposto", {QStringLiteral("01"), huge}, RpcError::Validation},
        {"getVdCFOP", {huge}, RpcError::Validation},
        {"vdCon", {QStringLiteral("01"), huge}, RpcError::Validation},
        {"vdConsistencias",
         {QStringLiteral("01"), huge, QString(), QString(), QStringLiteral("B"), QString()},
         RpcError::Validation},
        {"vdConsistencias",
         {QStringLiteral("01"), QString(), QString(), huge, QStringLiteral("B"), QString()},
         RpcError::Validation},
        {"cadAutoAtualiza",
         {QStringLiteral("01"), QString(), QString(), huge,
          QJsonArray{false, false, true, false, false, false, false},
          QJsonArray::fromStringList(QStringList(8, QStringLiteral("1")))},
         RpcError::Validation},
        {"cadAutoInsere", insere, RpcError::Validation},
        {"setConsistencia", {wideDelta}, RpcError::Conflict},
        {"setConsistencia", {strangeOp}, RpcError::InvalidParams},
        {"setConsistencia", {strangeField}, RpcError::InvalidParams},
        {"importaConsistencias",
         {QStringLiteral("01"),
          QJsonDocument::fromJson(R"({"fields":[{"name":"NRLINHA","size":99999},)"
                                  R"({"name":"CDFISCOPER","size":4}],"rows":[[")" +
                                  huge.toUtf8() + R"(","9999"]]})")
              .object()},
         RpcError::Validation},
        {"nada", {}, RpcError::MethodNotFound},
    };
    for (const auto &c : cases) {
        const QString method =
            c.code == RpcError::MethodNotFound ? huge : QString::fromLatin1(c.method);
        const RpcResponse response = call(method, c.params);
        EXPECT_EQ(response.fault.code, c.code) << c.method;
        EXPECT_LT(response.fault.message.size(), 400)
            << c.method << ": " << response.fault.message.left(200).toStdString();
        EXPECT_TRUE(
            response.fault.message.contains(QStringLiteral("xxxxxxxxxxxxxxxxxxxxxxxxxxxxxx")))
            << c.method << ": " << response.fault.message.left(200).toStdString();
    }
}

TEST_P(BadInput, WarningsOfOneConnectionAreRateLimited)
{
    using kvr::server::WarningLimiter;
    const auto newLog = [this](qsizetype from) {
        // The server logs before it replies, so all is in the pipe already.
        QString log = m_server.standardError(50);
        for (qsizetype size = -1; size != log.size();) {
            size = log.size();
            log = m_server.standardError(50);
        }
        return log.mid(from);
    };
    const qsizetype start = newLog(0).size();
    const QByteArray name(4000, 'm');
    const QByteArray unknown =
        R"({"jsonrpc":"2.0","id":1,"method":")" + name + R"(","params":[]})" + '\n';
    constexpr int Requests = 60;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < Requests; ++i) {
        m_client.sendRaw(i % 2 ? unknown : QByteArray("{\"bad\n"));
        EXPECT_LT(m_client.readLine().size(), 1000);
        m_server.standardError(1); // keep the pipe from filling
    }
    const qint64 elapsedMs = timer.elapsed();
    const QString flood = newLog(start);
    const qsizetype lines = flood.count(QLatin1Char('\n'));
    EXPECT_GE(lines, 1);
    EXPECT_LE(lines, WarningLimiter::Burst + elapsedMs / WarningLimiter::RefillMs + 1) << elapsedMs;
    EXPECT_LE(flood.size(), lines * 300) << flood.left(2000).toStdString();
    EXPECT_TRUE(flood.contains(QStringLiteral("mmmmmmmmmmmmmmmmmmmmmmmmmmmmmm")));

    QThread::msleep(WarningLimiter::RefillMs + 100);
    m_client.sendRaw(unknown);
    m_client.readLine();
    const QString after = newLog(start + flood.size());
    EXPECT_TRUE(after.contains(QStringLiteral("not logged"))) << after.toStdString();

    // Another connection has its own allowance.
    RpcClient other;
    ASSERT_TRUE(other.connectTo(m_server.port()));
    other.sendRaw(unknown);
    other.readLine();
    EXPECT_TRUE(newLog(start + flood.size() + after.size()).contains(QStringLiteral("mmmmmmmmmm")));
}

// The contract's table against the wire as it stands: every call is served,
// and a wrong count or a wrong type at any position is refused.
TEST_P(BadInput, EveryCallOfTheContractIsServedWithItsArgumentsChecked)
{
    using kvr::fiscal::ArgType;
    const QMap<QString, int> wire = {{QStringLiteral("getConsistencias"), 1},
                                     {QStringLiteral("getImposto"), 2},
                                     {QStringLiteral("getCFOP"), 0},
                                     {QStringLiteral("getVdCFOP"), 1},
                                     {QStringLiteral("vdCon"), 2},
                                     {QStringLiteral("vdConsistencias"), 6},
                                     {QStringLiteral("setConsistencia"), 1},
                                     {QStringLiteral("cadAutoAtualiza"), 6},
                                     {QStringLiteral("cadAutoInsere"), 12},
                                     {QStringLiteral("getHistorico"), 2},
                                     {QStringLiteral("importaConsistencias"), 2},
                                     {QStringLiteral("simulaConsistencia"), 11},
                                     {QStringLiteral("getConflitos"), 1},
                                     {QStringLiteral("getMapa"), 3}};
    const QList<kvr::fiscal::CallInfo> calls = kvr::fiscal::ConsisteFiscalContract::describeAll();
    QMap<QString, int> declared;
    for (const kvr::fiscal::CallInfo &c : calls)
        declared.insert(c.name, c.arguments.size());
    EXPECT_EQ(declared, wire);

    const auto list = [](int length, const QJsonValue &item) {
        QJsonArray items;
        for (int i = 0; i < length; ++i)
            items.append(item);
        return items;
    };
    const auto expectRefused = [this](const QString &method, const QJsonArray &params,
                                      const QString &why) {
        const RpcResponse response = call(method, params);
        EXPECT_EQ(response.fault.code, RpcError::InvalidParams)
            << method.toStdString() << " "
            << QJsonDocument(params).toJson(QJsonDocument::Compact).constData();
        EXPECT_TRUE(response.fault.message.contains(why)) << response.fault.message.toStdString();
    };
    for (const kvr::fiscal::CallInfo &c : calls) {
        QJsonArray good;
        QList<QJsonArray> wrongs; // per position
        for (const kvr::fiscal::ArgInfo &arg : c.arguments) {
            switch (arg.type) {
            case ArgType::Text:
                good.append(QString());
                wrongs.append({7, QJsonValue(), QJsonArray()});
                break;
            case ArgType::Flags:
                good.append(list(arg.length, false));
                wrongs.append({list(arg.length - 1, false), list(arg.length, 0), true});
                break;
            case ArgType::Texts:
                good.append(list(arg.length, QString()));
                wrongs.append({list(arg.length + 1, QString()), list(arg.length, 1), QString()});
                break;
            case ArgType::Delta:
                good.append(delta({}));
                wrongs.append({QStringLiteral("delta"), QJsonArray()});
                break;
            case ArgType::Packet:
                good.append(QJsonObject{{QStringLiteral("fields"), QJsonArray()},
                                        {QStringLiteral("rows"), QJsonArray()}});
                wrongs.append({QStringLiteral("pacote"), QJsonArray()});
                break;
            }
        }
        const RpcResponse served = call(c.name, good);
        EXPECT_NE(served.fault.code, RpcError::MethodNotFound) << c.name.toStdString();
        EXPECT_NE(served.fault.code, RpcError::InvalidParams)
            << c.name.toStdString() << ": " << served.fault.message.toStdString();

        QJsonArray shorter = good;
        if (!shorter.isEmpty()) {
            shorter.removeLast();
            expectRefused(c.name, shorter, QStringLiteral("esperados %1").arg(good.size()));
        }
        QJsonArray longer = good;
        longer.append(QString());
        expectRefused(c.name, longer, QStringLiteral("esperados %1").arg(good.size()));
        for (int i = 0; i < good.size(); ++i) {
            for (const QJsonValue &wrong : wrongs.at(i)) {
                QJsonArray params = good;
                params[i] = wrong;
                expectRefused(c.name, params, QStringLiteral("o argumento %1 deve ser").arg(i + 1));
            }
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
