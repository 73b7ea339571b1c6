#include "tests/common/ServerProcess.h"
#include "tests/server/ServerTest.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <poll.h>
#include <sys/socket.h>

#include <csignal>
#include <functional>

using namespace kvr::test;
using kvr::protocol::RpcError;
using kvr::protocol::RpcResponse;

namespace {

class Serving : public ServerTest
{
protected:
    // Starts `server` with the space-separated options `extra`.
    bool serve(ServerProcess &server, const QString &extra)
    {
        const bool up = server.start(m_db->url(), extra.split(QLatin1Char(' ')));
        EXPECT_TRUE(up) << server.log().toStdString();
        return up;
    }
};

// Behaviour that does not depend on the database runs on SQLite alone; the
// database connection count is PostgreSQL's.
using ServingAnyDatabase = Serving;
using ServingPostgres = Serving;

const QJsonArray TaxArgs{QStringLiteral("01"), QString()};

// The request line of a call of the rules object.
QByteArray requestLine(const char *method, const QJsonArray &params)
{
    return kvr::protocol::encodeRequest(1, QStringLiteral("kvr51400.rdmConsisteFiscal.") + method,
                                        params) +
           '\n';
}

// Sends `line` over `fd` again and again, until the server stops taking more
// (the socket stays unwritable for a second); the bytes sent.
qint64 writeWithoutReading(int fd, const QByteArray &line, qint64 cap)
{
    qint64 sent = 0;
    qsizetype offset = 0;
    for (pollfd writable{fd, POLLOUT, 0}; sent<cap && ::poll(&writable, 1, 1000)> 0;) {
        const ssize_t n =
            ::send(fd, line.constData() + offset, static_cast<size_t>(line.size() - offset),
                   MSG_DONTWAIT | MSG_NOSIGNAL);
        sent += std::max<ssize_t>(n, 0);
        offset = (offset + std::max<ssize_t>(n, 0)) % line.size();
    }
    return sent;
}

// The server hangs up on the client, after a refusal saying `text` (none if nullptr).
void expectRefused(RpcClient &client, const char *text)
{
    const QByteArray line = client.readLine(10000);
    EXPECT_TRUE(client.waitClosed());
    if (!text) {
        EXPECT_TRUE(line.isEmpty()) << line.constData();
        return;
    }
    RpcResponse response;
    QString problem;
    ASSERT_TRUE(kvr::protocol::parseResponse(line, response, problem)) << line.constData();
    EXPECT_EQ(response.fault.code, RpcError::InvalidRequest);
    EXPECT_TRUE(response.fault.message.contains(QString::fromUtf8(text)))
        << response.fault.message.toStdString();
}

} // namespace

TEST_P(ServingAnyDatabase, ClientThatDoesNotReadIsNotReadEither)
{
    ServerProcess server;
    ASSERT_TRUE(serve(server, "--max-message 65536"));
    const qint64 before = server.residentKib();
    // Before back-pressure the server read all of this, growing by gigabytes.
    const qint64 cap = 512LL * 1024 * 1024;
    RpcClient greedy;
    ASSERT_TRUE(greedy.connectTo(server.port()));
    const qint64 sent = writeWithoutReading(int(greedy.socket().socketDescriptor()),
                                            requestLine("getCFOP", {}), cap);
    greedy.socket().abort();
    EXPECT_LT(sent, cap / 8) << "the server kept reading from a client that does not read";
    EXPECT_LT(server.residentKib() - before, 64 * 1024) << "KiB grown";
    RpcClient other;
    ASSERT_TRUE(other.connectTo(server.port()));
    EXPECT_TRUE(other.call(QStringLiteral("getCFOP"), {}).ok);
}

TEST_P(ServingPostgres, IdleClientsHoldNoDatabaseConnection)
{
    ServerProcess server;
    ASSERT_TRUE(serve(server, "--db-pool 2"));
    std::vector<RpcClient> idle(100);
    for (RpcClient &client : idle)
        ASSERT_TRUE(client.connectTo(server.port()));
    // All call at once, then stay connected doing nothing.
    for (RpcClient &client : idle)
        client.sendRaw(requestLine("getImposto", TaxArgs));
    for (RpcClient &client : idle)
        ASSERT_TRUE(client.readResponse().ok);
    RpcClient active;
    ASSERT_TRUE(active.connectTo(server.port()));
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(active.call(QStringLiteral("getImposto"), TaxArgs).ok);
    QSqlQuery count(m_db->direct());
    ASSERT_TRUE(count.exec(QStringLiteral("SELECT COUNT(*) FROM pg_stat_activity WHERE datname = "
                                          "current_database() AND pid <> pg_backend_pid()")));
    ASSERT_TRUE(count.next());
    EXPECT_LE(count.value(0).toInt(), 2);
}

TEST_P(ServingAnyDatabase, ConnectionsBeyondTheLimitAreRefused)
{
    ServerProcess server;
    ASSERT_TRUE(serve(server, "--max-connections 3"));
    RpcClient clients[3];
    for (RpcClient &client : clients) {
        ASSERT_TRUE(client.connectTo(server.port()));
        ASSERT_TRUE(client.call(QStringLiteral("getCFOP"), {}).ok);
    }
    RpcClient extra;
    ASSERT_TRUE(extra.connectTo(server.port()));
    expectRefused(extra, "máximo de 3 conexões");
    // A place given back is taken again.
    clients[0].socket().disconnectFromHost();
    bool served = false;
    const QDeadlineTimer deadline(5000);
    while (!served && !deadline.hasExpired()) {
        RpcClient again;
        served = again.connectTo(server.port()) && again.call(QStringLiteral("getCFOP"), {}).ok;
    }
    EXPECT_TRUE(served);
}

TEST_P(ServingAnyDatabase, SilentSlowAndGreedyClientsAreClosed)
{
    const struct
    {
        const char *name;
        const char *args;
        QByteArray sent;
        const char *reply; // nullptr: closed without a line
        int notBeforeMs;
    } cases[] = {
        {"idle", "--idle-timeout 1", {}, nullptr, 900},
        {"partial line", "--line-timeout 1", R"({"jsonrpc":"2.0","id":1,)", "não chegou completa",
         900},
        {"partial line over the shared budget", "--max-pending 100000", QByteArray(300000, ' '),
         "memória livre", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ServerProcess server;
        ASSERT_TRUE(serve(server, c.args));
        RpcClient client;
        ASSERT_TRUE(client.connectTo(server.port()));
        // Served normally first: the clock starts over with each request.
        ASSERT_TRUE(client.call(QStringLiteral("getCFOP"), {}).ok);
        QElapsedTimer clock;
        clock.start();
        client.sendRaw(c.sent);
        expectRefused(client, c.reply);
        EXPECT_GE(clock.elapsed(), c.notBeforeMs);
    }
}

TEST_P(Serving, DatabaseFailuresTellClientsNoDetail)
{
    // The database goes away after the server started; the call finds out.
    QTemporaryDir dir;
    QString url;
    std::function<void(bool)> allow; // connections to the database
    // PostgreSQL refuses to close a database to new connections from inside it.
    TestDatabase outside(GetParam());
    if (GetParam() == Backend::Sqlite) {
        const QString folder = dir.filePath(QStringLiteral("base"));
        QDir().mkpath(folder);
        url = QStringLiteral("sqlite:%1/regras.db").arg(folder);
        allow = [folder, &dir](bool allowed) {
            if (!allowed)
                QDir().rename(folder, dir.filePath(QStringLiteral("gone")));
        };
    } else {
        url = m_db->url();
        ASSERT_TRUE(outside.create()) << outside.errorText().toStdString();
        allow = [&outside, name = m_db->direct().databaseName()](bool allowed) {
            QSqlQuery alter(outside.direct());
            ASSERT_TRUE(alter.exec(QStringLiteral("ALTER DATABASE \"%1\" ALLOW_CONNECTIONS %2")
                                       .arg(name, allowed ? "true" : "false")))
                << alter.lastError().text().toStdString();
        };
    }
    ServerProcess server;
    ASSERT_TRUE(server.start(url)) << server.log().toStdString();
    RpcClient client;
    ASSERT_TRUE(client.connectTo(server.port()));
    allow(false);
    const RpcResponse failed = client.call(QStringLiteral("getImposto"), TaxArgs);
    allow(true);
    EXPECT_EQ(failed.fault.code, RpcError::Database)
        << failed.fault.message.toStdString() << server.log().toStdString();
    EXPECT_TRUE(failed.fault.message.contains(QStringLiteral("Banco de dados indisponível")))
        << failed.fault.message.toStdString();
    for (const QString &secret : {url.section(QLatin1Char('/'), -1), QStringLiteral("127.0.0.1"),
                                  QStringLiteral("sqlite"), QStringLiteral("postgres")})
        EXPECT_FALSE(failed.fault.message.contains(secret, Qt::CaseInsensitive))
            << failed.fault.message.toStdString();
    EXPECT_TRUE(server.log(QStringLiteral("failed:"), 5000).contains(QStringLiteral("failed:")))
        << server.log().toStdString();
}

TEST_P(Serving, SigtermLetsARunningCallFinishWithinTheGraceTime)
{
    const struct
    {
        const char *name;
        int grace;
        bool releaseAfterSignal;
        int exitCode;
    } cases[] = {
        {"call finishes in time", 8, true, 0},
        {"call cut off", 1, false, 3},
    };
    qputenv("QT_LOGGING_RULES", "kvr.server.calls.debug=true");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ServerProcess server;
        ASSERT_TRUE(serve(server, QStringLiteral("--shutdown-grace %1").arg(c.grace)));
        const qint64 rulesBefore = ruleCount();
        // The test holds the writers' lock, so the server's write waits inside its call.
        QSqlDatabase holder = m_db->direct();
        ASSERT_TRUE(holder.transaction());
        QSqlQuery lock(holder);
        ASSERT_TRUE(lock.exec(
            GetParam() == Backend::Sqlite
                ? QStringLiteral("INSERT INTO contador SELECT * FROM contador WHERE 0 = 1")
                : QStringLiteral("SELECT pg_advisory_xact_lock(51400)")))
            << lock.lastError().text().toStdString();
        RpcClient client;
        ASSERT_TRUE(client.connectTo(server.port()));
        client.sendRaw(requestLine(
            "cadAutoInsere", QJsonArray::fromStringList(
                                 QStringLiteral("01 00 90 1101 7949 0 0 0 S N 1 B").split(' '))));
        ASSERT_TRUE(server.log(QStringLiteral("call started"), 10000)
                        .contains(QStringLiteral("call started")));
        QElapsedTimer clock;
        clock.start();
        ::kill(static_cast<pid_t>(server.pid()), SIGTERM);
        if (c.releaseAfterSignal)
            holder.rollback();
        const RpcResponse reply = client.readResponse(c.grace * 1000 + 5000);
        EXPECT_EQ(server.waitExit(c.grace * 1000 + 5000), c.exitCode);
        EXPECT_LT(clock.elapsed(), c.grace * 1000 + 4000);
        if (!c.releaseAfterSignal)
            holder.rollback();
        EXPECT_EQ(reply.ok, c.releaseAfterSignal);
        // All or nothing: rules were added exactly when the call was answered.
        EXPECT_EQ(ruleCount() > rulesBefore, reply.ok);
    }
    qunsetenv("QT_LOGGING_RULES");
}

KVR_ON_BOTH_BACKENDS(Serving);
INSTANTIATE_TEST_SUITE_P(Backends, ServingAnyDatabase, ::testing::Values(Backend::Sqlite),
                         backendName);
INSTANTIATE_TEST_SUITE_P(Backends, ServingPostgres, ::testing::Values(Backend::Postgres),
                         backendName);
