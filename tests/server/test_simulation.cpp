#include "tests/server/ServerTest.h"

using namespace kvr::test;
using kvr::protocol::RpcError;
using kvr::protocol::RpcResponse;

namespace {

class Simulation : public ServerTest
{
protected:
    // simulaConsistencia of an exit of PIS at entry: the verdict and the
    // numbers of the rules that apply.
    static std::pair<QString, QStringList> simulate(RpcClient &client, const QString &cfop,
                                                    const QString &cst)
    {
        const RpcResponse response =
            client.call(QStringLiteral("simulaConsistencia"),
                        QJsonArray::fromStringList(
                            {QStringLiteral("50"), QStringLiteral("L"), QStringLiteral("S"), cfop,
                             QString(), cst, QStringLiteral("1"), QStringLiteral("3"),
                             QStringLiteral("3"), QStringLiteral("3"), QString()}));
        EXPECT_TRUE(response.ok) << response.fault.message.toStdString();
        const QJsonObject result = response.result.toObject();
        QStringList numbers;
        for (const QJsonValue &row : result[u"rules"].toObject()[u"rows"].toArray())
            numbers.append(row.toArray().at(indexOf(QStringLiteral("NRSEQCONSISTE"))).toString());
        return {result[u"verdict"].toString(), numbers};
    }
};

} // namespace

TEST_P(Simulation, BadArgumentsAreRefusedInPortuguese)
{
    const auto line = [](int at, const char *value) {
        QStringList params{QStringLiteral("01"),
                           QStringLiteral("L"),
                           QStringLiteral("S"),
                           QStringLiteral("5101"),
                           QStringLiteral("0"),
                           QStringLiteral("00"),
                           QStringLiteral("1"),
                           QStringLiteral("3"),
                           QStringLiteral("3"),
                           QStringLiteral("3"),
                           QString()};
        params[at] = QString::fromUtf8(value);
        return QJsonArray::fromStringList(params);
    };
    const struct
    {
        const char *method;
        QJsonArray params;
        RpcError code;
        const char *says;
    } cases[] = {
        {"simulaConsistencia", line(0, "07"), RpcError::Validation, "Imposto não cadastrado"},
        {"simulaConsistencia", line(1, "X"), RpcError::InvalidParams, "a etapa deve ser"},
        {"simulaConsistencia", line(2, "T"), RpcError::InvalidParams, "a operação deve ser"},
        {"simulaConsistencia", line(3, "51"), RpcError::InvalidParams, "4 dígitos"},
        {"simulaConsistencia", line(4, "9"), RpcError::InvalidParams, "1º dígito"},
        {"simulaConsistencia", line(5, "05"), RpcError::InvalidParams, "não é um CST do imposto"},
        {"simulaConsistencia", line(6, "0"), RpcError::InvalidParams, "código fiscal"},
        {"simulaConsistencia", line(9, "4"), RpcError::InvalidParams, "valor do imposto"},
        {"simulaConsistencia", line(10, "0001"), RpcError::InvalidParams, "tipo de crédito"},
        {"getMapa",
         {QStringLiteral("01"), QStringLiteral("A"), QStringLiteral("X")},
         RpcError::InvalidParams,
         "a operação deve ser"},
        {"getMapa",
         {QStringLiteral("01"), QString(), QStringLiteral("E")},
         RpcError::InvalidParams,
         "a etapa deve ser"},
        {"getConflitos", {QStringLiteral("1")}, RpcError::Validation, "Código de imposto"},
    };
    for (const auto &c : cases) {
        const RpcResponse response = call(QString::fromLatin1(c.method), c.params);
        EXPECT_EQ(response.fault.code, c.code) << c.method << " " << c.says;
        EXPECT_TRUE(response.fault.message.contains(QString::fromUtf8(c.says)))
            << response.fault.message.toStdString();
    }
}

// Every app server on the database answers from its index, and every change
// made through any of them is seen by the next call of each.
TEST_P(Simulation, EveryAppServerSeesTheNextChange)
{
    const std::unique_ptr<ServerProcess> other = startAnotherServer();
    ASSERT_TRUE(other);
    RpcClient second;
    ASSERT_TRUE(second.connectTo(other->port()));
    const auto both = [&](const QString &cfop, const QString &cst) {
        const auto here = simulate(m_client, cfop, cst);
        EXPECT_EQ(simulate(second, cfop, cst), here);
        return here;
    };
    const auto before = both(QStringLiteral("5949"), QStringLiteral("01"));
    // Many rows in one statement: each tax is bumped once.
    ASSERT_TRUE(insere(QStringLiteral("50"), QStringLiteral("01"), QStringLiteral("09"),
                       QStringLiteral("5101"), QStringLiteral("5103"))
                    .ok);
    EXPECT_EQ(both(QStringLiteral("5102"), QStringLiteral("05")).first, u"B");

    const QStringList rule =
        newRule(QStringLiteral("50"), QStringLiteral("5949"), QStringLiteral("01"));
    const QString number = field(rule, QStringLiteral("NRSEQCONSISTE"));
    auto after = both(QStringLiteral("5949"), QStringLiteral("01"));
    EXPECT_TRUE(after.second.contains(number));
    EXPECT_EQ(after.second.size(), before.second.size() + 1);
    EXPECT_TRUE(after.first == u"B" || after.first == u"C") << after.first.toStdString();
    EXPECT_FALSE(both(QStringLiteral("5949"), QStringLiteral("02")).second.contains(number));

    // Switched off through the second server: gone for both.
    RpcResponse saved =
        second.call(QStringLiteral("setConsistencia"),
                    {delta({updateChange(rule, withField(rule, QStringLiteral("IDCONSATIVA"),
                                                         QStringLiteral("N")))})});
    ASSERT_TRUE(saved.ok) << saved.fault.message.toStdString();
    EXPECT_EQ(both(QStringLiteral("5949"), QStringLiteral("01")), before);

    // An admitted twin of the blocked rule: a conflict, and both on the map.
    saved = second.call(
        QStringLiteral("setConsistencia"),
        {delta({updateChange(withField(rule, QStringLiteral("IDCONSATIVA"), QStringLiteral("N")),
                             rule)})});
    ASSERT_TRUE(saved.ok) << saved.fault.message.toStdString();
    ASSERT_TRUE(insere(QStringLiteral("50"), QStringLiteral("01"), QStringLiteral("01"),
                       QStringLiteral("5949"), QStringLiteral("5949"), QStringLiteral("1"),
                       QStringLiteral("A"))
                    .ok);
    EXPECT_EQ(simulate(second, QStringLiteral("5949"), QStringLiteral("01")).first, u"C");
    const RpcResponse conflicts = second.call(QStringLiteral("getConflitos"), {u"50"_qs});
    ASSERT_TRUE(conflicts.ok);
    const QJsonObject found = conflicts.result.toObject();
    const QJsonArray rows = found[u"findings"].toObject()[u"rows"].toArray();
    EXPECT_EQ(found[u"total"].toInt(), rows.size());
    bool listed = false;
    for (const QJsonValue &row : rows)
        listed |=
            row.toArray().at(0).toString() == u"C" && row.toArray().at(1).toString() == number;
    EXPECT_TRUE(listed);
    const RpcResponse map = m_client.call(QStringLiteral("getMapa"), {u"50"_qs, u"L"_qs, u"S"_qs});
    ASSERT_TRUE(map.ok);
    bool mapped = false;
    for (const QJsonValue &cell : map.result.toObject()[u"rows"].toArray()) {
        const QJsonArray values = cell.toArray();
        if (values.at(0).toString() == u"5949" && values.at(1).toString() == u"01")
            mapped = values.at(2).toString().toInt() >= 1 && values.at(3).toString().toInt() >= 1;
    }
    EXPECT_TRUE(mapped);
}

KVR_ON_BOTH_BACKENDS(Simulation);
