#include "protocol/LineFramer.h"
#include "tests/server/ServerTest.h"

#include <QSet>

using namespace kvr::test;
using kvr::protocol::LineFramer;
using kvr::protocol::RpcError;
using kvr::protocol::RpcResponse;

namespace {

class Concurrency : public ServerTest
{
protected:
    // Sends one request on every client before reading any answer, so the
    // server works on all of them at once.
    static QList<RpcResponse> together(std::vector<std::unique_ptr<RpcClient>> &clients,
                                       const QList<QJsonArray> &params, const QString &method)
    {
        for (size_t i = 0; i < clients.size(); ++i)
            clients[i]->sendRaw(LineFramer::frame(kvr::protocol::encodeRequest(
                static_cast<int>(i), QStringLiteral("kvr51400.rdmConsisteFiscal.") + method,
                params.at(static_cast<qsizetype>(i)))));
        QList<RpcResponse> responses;
        for (auto &client : clients)
            responses.append(client->readResponse(60000));
        return responses;
    }
    static std::vector<std::unique_ptr<RpcClient>> connect(quint16 port, int count)
    {
        std::vector<std::unique_ptr<RpcClient>> clients;
        for (int i = 0; i < count; ++i) {
            clients.push_back(std::make_unique<RpcClient>());
            EXPECT_TRUE(clients.back()->connectTo(port));
        }
        return clients;
    }
    static QJsonArray insertArgs(const QString &firstCfop, const QString &lastCfop)
    {
        return QJsonArray::fromStringList(
            {QStringLiteral("50"), QStringLiteral("01"), QStringLiteral("09"), firstCfop, lastCfop,
             QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("S"),
             QStringLiteral("S"), QStringLiteral("1"), QStringLiteral("B")});
    }
    void expectNoDuplicateRules()
    {
        QSet<QString> keys, numbers;
        qsizetype total = 0;
        for (const QString &tax : {QStringLiteral("01"), QStringLiteral("02"), QStringLiteral("03"),
                                   QStringLiteral("50"), QStringLiteral("60")}) {
            for (const QStringList &row : rules(tax).rows) {
                ++total;
                numbers.insert(field(row, QStringLiteral("NRSEQCONSISTE")));
                keys.insert(tax + field(row, QStringLiteral("CDFISCOPER")) +
                            field(row, QStringLiteral("CDSITUTRIB")) +
                            field(row, QStringLiteral("CDFISCAL")) +
                            field(row, QStringLiteral("IDBLOQADMI")));
            }
        }
        EXPECT_EQ(numbers.size(), total);
        EXPECT_EQ(keys.size(), total);
    }
};

qint64 affected(const RpcResponse &response)
{
    return response.result.toObject().value(QStringLiteral("affected")).toInteger(-1);
}

} // namespace

TEST_P(Concurrency, SimultaneousWritersWaitForEachOther)
{
    const QStringList bounds = {QStringLiteral("1101"), QStringLiteral("1949"),
                                QStringLiteral("2101"), QStringLiteral("2949"),
                                QStringLiteral("5101"), QStringLiteral("5949"),
                                QStringLiteral("6101"), QStringLiteral("6949")};
    auto clients = connect(m_server.port(), 4);
    QList<QJsonArray> params;
    for (int i = 0; i < 4; ++i)
        params.append(insertArgs(bounds.at(2 * i), bounds.at(2 * i + 1)));
    const qint64 before = ruleCount();
    qint64 created = 0;
    for (const RpcResponse &response : together(clients, params, QStringLiteral("cadAutoInsere"))) {
        ASSERT_TRUE(response.ok) << response.fault.message.toStdString();
        EXPECT_GT(affected(response), 0);
        created += affected(response);
    }
    EXPECT_EQ(ruleCount(), before + created);
    expectNoDuplicateRules();
}

TEST_P(Concurrency, SameRangeAtOnceCreatesEachCombinationOnce)
{
    auto clients = connect(m_server.port(), 4);
    const QList<QJsonArray> params(4, insertArgs(QStringLiteral("5101"), QStringLiteral("5124")));
    QList<qint64> counts;
    for (const RpcResponse &response : together(clients, params, QStringLiteral("cadAutoInsere"))) {
        ASSERT_TRUE(response.ok) << response.fault.message.toStdString();
        counts.append(affected(response));
    }
    // Only the first writer finds the range free.
    std::sort(counts.begin(), counts.end());
    EXPECT_EQ(counts.at(0), 0);
    EXPECT_EQ(counts.at(2), 0);
    EXPECT_GT(counts.at(3), 0);
    expectNoDuplicateRules();
}

TEST_P(Concurrency, TwoSavesOfOneLoadedRuleGiveOneConflict)
{
    const QStringList loaded =
        newRule(QStringLiteral("01"), QStringLiteral("5101"), QStringLiteral("00"));
    auto clients = connect(m_server.port(), 2);
    const QList<QJsonArray> params = {
        {delta({updateChange(
            loaded, withField(loaded, QStringLiteral("DSCONSISTENCIA"), QStringLiteral("um")))})},
        {delta({updateChange(loaded, withField(loaded, QStringLiteral("DSCONSISTENCIA"),
                                               QStringLiteral("dois")))})}};
    const QList<RpcResponse> responses =
        together(clients, params, QStringLiteral("setConsistencia"));
    ASSERT_EQ(responses.size(), 2);
    EXPECT_NE(responses.at(0).ok, responses.at(1).ok);
    const RpcResponse &failed = responses.at(0).ok ? responses.at(1) : responses.at(0);
    EXPECT_EQ(failed.fault.code, RpcError::Conflict);
    const QString kept =
        field(rule(QStringLiteral("01"), field(loaded, QStringLiteral("NRSEQCONSISTE"))),
              QStringLiteral("DSCONSISTENCIA"));
    EXPECT_EQ(kept, responses.at(0).ok ? QStringLiteral("um") : QStringLiteral("dois"));
}

TEST_P(Concurrency, SecondAppServerOnTheSameDatabaseWorksAlongside)
{
    const qint64 before = ruleCount();
    const std::unique_ptr<ServerProcess> second = startAnotherServer({QStringLiteral("--seed")});
    ASSERT_TRUE(second);
    EXPECT_EQ(ruleCount(), before) << "a second --seed must leave the data alone";

    RpcClient viaSecond;
    ASSERT_TRUE(viaSecond.connectTo(second->port()));
    const QStringList made =
        newRule(QStringLiteral("01"), QStringLiteral("5101"), QStringLiteral("00"));
    const QString number = field(made, QStringLiteral("NRSEQCONSISTE"));
    const RpcResponse seen =
        viaSecond.call(QStringLiteral("vdCon"), {QStringLiteral("01"), number});
    ASSERT_EQ(packetOf(seen).rows.size(), 1u);
    EXPECT_EQ(packetOf(seen).rows.at(0), made);

    // Both servers generate the same range at once: each combination once,
    // every number unique.
    std::vector<std::unique_ptr<RpcClient>> clients;
    clients.push_back(std::make_unique<RpcClient>());
    clients.push_back(std::make_unique<RpcClient>());
    ASSERT_TRUE(clients[0]->connectTo(m_server.port()));
    ASSERT_TRUE(clients[1]->connectTo(second->port()));
    const QList<QJsonArray> params(2, insertArgs(QStringLiteral("1101"), QStringLiteral("1949")));
    qint64 created = 0;
    for (const RpcResponse &response : together(clients, params, QStringLiteral("cadAutoInsere"))) {
        ASSERT_TRUE(response.ok) << response.fault.message.toStdString();
        created += affected(response);
    }
    EXPECT_GT(created, 0);
    const RpcResponse again =
        viaSecond.call(QStringLiteral("cadAutoInsere"),
                       insertArgs(QStringLiteral("1101"), QStringLiteral("1949")));
    EXPECT_EQ(affected(again), 0);
    expectNoDuplicateRules();
    EXPECT_TRUE(second->standardError().contains(QStringLiteral("já contém dados")))
        << second->standardError().toStdString();
}

KVR_ON_BOTH_BACKENDS(Concurrency);
