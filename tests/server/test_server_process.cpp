#include "tests/server/ServerTest.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTemporaryDir>

#include <csignal>

using namespace kvr::test;

namespace {

class ServerProcessTest : public ServerTest
{
};

struct Exit
{
    int code;
    QString output;
};

Exit runServer(const QStringList &args,
               const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(ServerProcess::binary(), args);
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished();
        return {-1, QStringLiteral("did not exit")};
    }
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardError())};
}

} // namespace

TEST_P(ServerProcessTest, StopsCleanlyOnSigterm)
{
    EXPECT_EQ(m_server.stop(), 0);
}

TEST_P(ServerProcessTest, StopsCleanlyOnSigintWithClientsConnected)
{
    ServerProcess other;
    ASSERT_TRUE(other.start(m_db->url()));
    RpcClient client;
    ASSERT_TRUE(client.connectTo(other.port()));
    ASSERT_TRUE(client.call(QStringLiteral("getCFOP"), {}).ok);
    EXPECT_EQ(other.stop(SIGINT), 0);
    EXPECT_TRUE(client.waitClosed());
}

TEST_P(ServerProcessTest, SchemaIsCreatedAndVersioned)
{
    QSqlQuery query(m_db->direct());
    ASSERT_TRUE(query.exec(QStringLiteral("SELECT MAX(versao) FROM kvr_migracao")));
    ASSERT_TRUE(query.next());
    EXPECT_GE(query.value(0).toInt(), 1);
    // Starting again does not run a migration twice.
    ServerProcess again;
    ASSERT_TRUE(again.start(m_db->url())) << again.errorText().toStdString();
    QSqlQuery count(m_db->direct());
    ASSERT_TRUE(
        count.exec(QStringLiteral("SELECT COUNT(*), COUNT(DISTINCT versao) FROM kvr_migracao")));
    ASSERT_TRUE(count.next());
    EXPECT_EQ(count.value(0).toInt(), count.value(1).toInt());
}

TEST_P(ServerProcessTest, WithoutSeedAnEmptyDatabaseStaysEmpty)
{
    TestDatabase empty(GetParam());
    ASSERT_TRUE(empty.create());
    ServerProcess server;
    ASSERT_TRUE(server.start(empty.url())) << server.errorText().toStdString();
    RpcClient client;
    ASSERT_TRUE(client.connectTo(server.port()));
    const auto taxes = client.call(QStringLiteral("getImposto"), {QString(), QStringLiteral("T")});
    ASSERT_TRUE(taxes.ok) << taxes.fault.message.toStdString();
    EXPECT_TRUE(packetOf(taxes).rows.empty());
    EXPECT_TRUE(packetOf(client.call(QStringLiteral("getCFOP"), {})).rows.empty());
}

TEST_P(ServerProcessTest, LostDatabaseConnectionIsReopened)
{
    if (GetParam() != Backend::Postgres)
        GTEST_SKIP() << "an embedded SQLite file cannot drop its connection";
    ASSERT_TRUE(call(QStringLiteral("getCFOP"), {}).ok);
    QSqlQuery kill(m_db->direct());
    ASSERT_TRUE(
        kill.exec(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE "
                                 "datname = current_database() AND pid <> pg_backend_pid()")));
    const auto during = call(QStringLiteral("getImposto"), {QStringLiteral("01"), QString()});
    if (!during.ok) {
        EXPECT_EQ(during.fault.code, kvr::protocol::RpcError::Database);
        QString log;
        const QDeadlineTimer deadline(3000);
        while (!log.contains(QStringLiteral("reopening")) && !deadline.hasExpired())
            log = m_server.standardError(100);
        EXPECT_TRUE(log.contains(QStringLiteral("reopening"))) << log.toStdString();
    }
    const auto after = call(QStringLiteral("getImposto"), {QStringLiteral("01"), QString()});
    EXPECT_TRUE(after.ok) << after.fault.message.toStdString();
}

KVR_ON_BOTH_BACKENDS(ServerProcessTest);

TEST(ServerCommandLine, WrongArgumentsAreExplained)
{
    const struct
    {
        QStringList args;
        const char *messagePart;
    } cases[] = {
        {{QStringLiteral("--bogus")}, "Opção desconhecida"},
        {{QStringLiteral("--db"), QStringLiteral("mysql://x")}, "sqlite:CAMINHO"},
        {{QStringLiteral("--db")}, "Falta o valor"},
        {{QStringLiteral("--listen"), QStringLiteral("127.0.0.1")}, "HOST:PORTA"},
        {{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:99999")}, "HOST:PORTA"},
        {{QStringLiteral("--max-message"), QStringLiteral("0")}, "mensagem"},
    };
    for (const auto &c : cases) {
        const Exit exit = runServer(c.args);
        EXPECT_EQ(exit.code, 2) << c.args.join(' ').toStdString();
        EXPECT_TRUE(exit.output.contains(QString::fromUtf8(c.messagePart)))
            << exit.output.toStdString();
        EXPECT_TRUE(exit.output.contains(QStringLiteral("uso: kvr-appserver")));
    }
}

TEST(ServerCommandLine, UnreachableDatabaseOrBusyPortFailsAtStart)
{
    const Exit noDb = runServer({QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                                 QStringLiteral("--db"),
                                 QStringLiteral("postgresql://postgres@127.0.0.1:1/nada")});
    EXPECT_EQ(noDb.code, 1);
    EXPECT_TRUE(noDb.output.contains(QStringLiteral("Não foi possível abrir o banco de dados")))
        << noDb.output.toStdString();

    QTemporaryDir dir;
    QTcpServer occupant;
    ASSERT_TRUE(occupant.listen(QHostAddress::LocalHost, 0));
    const Exit busy = runServer(
        {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:%1").arg(occupant.serverPort()),
         QStringLiteral("--db"), QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("x.db"))});
    EXPECT_EQ(busy.code, 1);
    EXPECT_TRUE(busy.output.contains(QStringLiteral("Não foi possível escutar")))
        << busy.output.toStdString();
}

TEST(ServerCommandLine, DefaultDatabaseIsAFileInTheUserDataFolder)
{
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(
        ServerProcess::binary(),
        {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--seed")});
    ASSERT_TRUE(process.waitForReadyRead(20000));
    EXPECT_TRUE(process.readLine().startsWith("listening on 127.0.0.1:"));
    process.terminate();
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_TRUE(
        QFile::exists(home.filePath(QStringLiteral("data/kvr/kvr-appserver/kvr51400.sqlite"))));
}
