#include "tests/server/ServerTest.h"

#include "fiscal/RuleRecord.h"

#include <QSqlQuery>

namespace kvr::test {

namespace {
const QStringList &ruleFieldNames()
{
    static const QStringList names = [] {
        QStringList list;
        for (const protocol::PacketField &field : fiscal::RuleRecord::fields())
            list.append(field.name);
        return list;
    }();
    return names;
}
} // namespace

std::string backendName(const ::testing::TestParamInfo<Backend> &info)
{
    return info.param == Backend::Sqlite ? "SQLite" : "PostgreSQL";
}

void ServerTest::SetUp()
{
    const QString reason = TestDatabase::unavailableReason(GetParam());
    if (!reason.isEmpty())
        GTEST_SKIP() << reason.toStdString();
    m_ownedDb = std::make_unique<TestDatabase>(GetParam());
    m_db = m_ownedDb.get();
    ASSERT_TRUE(m_db->create()) << m_db->errorText().toStdString();
    ASSERT_TRUE(m_server.start(m_db->url(), {QStringLiteral("--seed")}))
        << m_server.errorText().toStdString();
    ASSERT_TRUE(m_client.connectTo(m_server.port()));
}

void ServerTest::TearDown()
{
    m_client.socket().abort();
    m_server.stop();
}

std::unique_ptr<ServerProcess> ServerTest::startAnotherServer(const QStringList &extra)
{
    auto server = std::make_unique<ServerProcess>();
    if (!server->start(m_db->url(), extra)) {
        ADD_FAILURE() << server->errorText().toStdString();
        return nullptr;
    }
    return server;
}

protocol::DataPacket ServerTest::rules(const QString &tax)
{
    const protocol::RpcResponse response = call(QStringLiteral("getConsistencias"), {tax});
    EXPECT_TRUE(response.ok) << response.fault.message.toStdString();
    return packetOf(response);
}

QStringList ServerTest::rule(const QString &tax, const QString &number)
{
    const protocol::DataPacket packet = rules(tax);
    for (const QStringList &row : packet.rows)
        if (field(packet, row, QStringLiteral("NRSEQCONSISTE")) == number)
            return row;
    return {};
}

bool ServerTest::addUser(const QString &dbUrl, const QString &name, const QByteArray &password)
{
    return ServerProcess::runOnce(
               {QStringLiteral("--db"), dbUrl, QStringLiteral("--add-user"), name}, password + '\n')
               .exitCode == 0;
}

int ServerTest::indexOf(const QString &name)
{
    return static_cast<int>(ruleFieldNames().indexOf(name));
}

QString ServerTest::field(const protocol::DataPacket &packet, const QStringList &row,
                          const QString &name)
{
    for (qsizetype i = 0; i < packet.fields.size(); ++i)
        if (packet.fields.at(i).name == name)
            return row.value(i);
    ADD_FAILURE() << "no field " << name.toStdString();
    return {};
}

QString ServerTest::field(const QStringList &rule, const QString &name)
{
    return rule.value(indexOf(name));
}

QStringList ServerTest::withField(QStringList rule, const QString &name, const QString &value)
{
    rule[indexOf(name)] = value;
    return rule;
}

QJsonObject ServerTest::delta(const QJsonArray &changes)
{
    const QList<int> sizes = {1, 2, 1, 10, 1, 4, 1, 2, 1, 1, 1, 1, 3, 250, 1, 1, 1, 1};
    QJsonArray fields;
    for (int i = 0; i < ruleFieldNames().size(); ++i)
        fields.append(QJsonObject{{QStringLiteral("name"), ruleFieldNames().at(i)},
                                  {QStringLiteral("size"), sizes.at(i)}});
    return {{QStringLiteral("fields"), fields}, {QStringLiteral("changes"), changes}};
}

QJsonObject ServerTest::updateChange(const QStringList &oldRow, const QStringList &newRow)
{
    return {{QStringLiteral("op"), QStringLiteral("update")},
            {QStringLiteral("old"), QJsonArray::fromStringList(oldRow)},
            {QStringLiteral("new"), QJsonArray::fromStringList(newRow)}};
}

QJsonObject ServerTest::deleteChange(const QStringList &oldRow)
{
    return {{QStringLiteral("op"), QStringLiteral("delete")},
            {QStringLiteral("old"), QJsonArray::fromStringList(oldRow)}};
}

protocol::RpcResponse ServerTest::insere(const QString &tax, const QString &firstCst,
                                         const QString &lastCst, const QString &firstCfop,
                                         const QString &lastCfop, const QString &fiscal,
                                         const QString &blocked)
{
    return call(QStringLiteral("cadAutoInsere"),
                {tax, firstCst, lastCst, firstCfop, lastCfop, QStringLiteral("0"),
                 QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("S"), QStringLiteral("N"),
                 fiscal, blocked});
}

QStringList ServerTest::newRule(const QString &tax, const QString &cfop, const QString &cst,
                                const QString &fiscal)
{
    const protocol::RpcResponse response = insere(tax, cst, cst, cfop, cfop, fiscal);
    EXPECT_TRUE(response.ok) << response.fault.message.toStdString();
    const protocol::DataPacket packet = rules(tax);
    for (const QStringList &row : packet.rows)
        if (field(packet, row, QStringLiteral("CDFISCOPER")) == cfop &&
            field(packet, row, QStringLiteral("CDSITUTRIB")) == cst &&
            field(packet, row, QStringLiteral("CDFISCAL")) == fiscal &&
            field(packet, row, QStringLiteral("IDBLOQADMI")) == QLatin1String("B"))
            return row;
    ADD_FAILURE() << "rule not created";
    return {};
}

qint64 ServerTest::ruleCount()
{
    QSqlQuery query(m_db->direct());
    query.exec(QStringLiteral("SELECT COUNT(*) FROM consistencia"));
    return query.next() ? query.value(0).toLongLong() : -1;
}

} // namespace kvr::test

void PrintTo(const kvr::protocol::RpcResponse &response, std::ostream *os)
{
    if (response.ok)
        *os << "ok";
    else
        *os << "error " << static_cast<int>(response.fault.code) << ": "
            << response.fault.message.toStdString();
}
