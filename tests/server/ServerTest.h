#pragma once

#include "tests/common/RpcClient.h"
#include "tests/common/ServerProcess.h"
#include "tests/server/TestDatabase.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>

#include <gtest/gtest.h>

#include <memory>

namespace kvr::test {

// One seeded kvr-appserver on a fresh database of the test's backend, and a
// connected client.
class ServerTest : public ::testing::TestWithParam<Backend>
{
public:
    // The value of a named field of a row of `packet`.
    static QString field(const protocol::DataPacket &packet, const QStringList &row,
                         const QString &name);
    static QString field(const QStringList &rule, const QString &name);
    static QStringList withField(QStringList rule, const QString &name, const QString &value);
    static int indexOf(const QString &name);
    // kvr-appserver --add-user on a database, the password on standard input.
    static bool addUser(const QString &dbUrl, const QString &name, const QByteArray &password);

protected:
    void SetUp() override;
    void TearDown() override;

    // Starts one more server process on the same database.
    std::unique_ptr<ServerProcess> startAnotherServer(const QStringList &extra = {});

    protocol::RpcResponse call(const QString &method, const QJsonArray &params)
    {
        return m_client.call(method, params);
    }
    // getConsistencias of a tax, which must succeed.
    protocol::DataPacket rules(const QString &tax);
    // One rule by number from getConsistencias (empty when absent).
    QStringList rule(const QString &tax, const QString &number);
    static QJsonObject delta(const QJsonArray &changes);
    static QJsonObject updateChange(const QStringList &oldRow, const QStringList &newRow);
    static QJsonObject deleteChange(const QStringList &oldRow);

    // cadAutoInsere with defaults for everything but the ranges.
    protocol::RpcResponse insere(const QString &tax, const QString &firstCst,
                                 const QString &lastCst, const QString &firstCfop,
                                 const QString &lastCfop,
                                 const QString &fiscal = QStringLiteral("1"),
                                 const QString &blocked = QStringLiteral("B"));
    // A user rule ("N") of the tax that cadAutoInsere creates for one CFOP and CST.
    QStringList newRule(const QString &tax, const QString &cfop, const QString &cst,
                        const QString &fiscal = QStringLiteral("1"));
    qint64 ruleCount();

    TestDatabase *m_db = nullptr;
    std::unique_ptr<TestDatabase> m_ownedDb;
    ServerProcess m_server;
    RpcClient m_client;
};

std::string backendName(const ::testing::TestParamInfo<Backend> &info);

#define KVR_ON_BOTH_BACKENDS(Suite)                                                                \
    INSTANTIATE_TEST_SUITE_P(                                                                      \
        Backends, Suite,                                                                           \
        ::testing::Values(kvr::test::Backend::Sqlite, kvr::test::Backend::Postgres),               \
        kvr::test::backendName)

} // namespace kvr::test

// Readable failures for responses.
void PrintTo(const kvr::protocol::RpcResponse &response, std::ostream *os);
