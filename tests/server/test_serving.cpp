#include "tests/server/ServedProcess.h"
#include "tests/server/ServerTest.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <functional>

using namespace kvr::test;
using kvr::protocol::RpcError;
using kvr::protocol::RpcResponse;

namespace {

class Serving : public ServerTest
{
protected:
    bool serve(ServedProcess &server, const QStringList &extra)
    {
        const bool up = server.start(m_db->url(), extra);
        EXPECT_TRUE(up) << server.log().toStdString();
        return up;
    }
};

// Behaviour that does not depend on the database runs on SQLite alone; the
// database connection count is PostgreSQL's.
class ServingAnyDatabase : public Serving
{
};
class ServingPostgres : public Serving
{
};

QJsonArray taxArgs()
{
    return {QStringLiteral("01"), QString()};
}

// Sends `line` over and over without reading a byte, until the server stops
// taking more (the socket stays unwritable for a second); the bytes sent.
qint64 writeWithoutReading(quint16 port, const QByteArray &line, qint64 cap)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    qint64 sent = 0;
    qsizetype offset = 0;
    while (sent < cap) {
        pollfd writable{fd, POLLOUT, 0};
        if (::poll(&writable, 1, 1000) == 0)
            break;
        const ssize_t n =
            ::send(fd, line.constData() + offset, static_cast<size_t>(line.size() - offset),
                   MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n < 0)
            continue;
        sent += n;
        offset = (offset + n) % line.size();
    }
    ::close(fd);
    return sent;
}

} // namespace

TEST_P(ServingAnyDatabase, ClientThatDoesNotReadIsNotReadEither)
{
    ServedProcess server;
    ASSERT_TRUE(serve(server, {QStringLiteral("--max-message"), QStringLiteral("65536")}));
    const qint64 before = server.residentKib();
    const QByteArray request =
        kvr::protocol::encodeRequest(1, QStringLiteral("kvr51400.rdmConsisteFiscal.getCFOP"), {}) +
        '\n';
    // Before back-pressure the server read all of this, growing by gigabytes.
    const qint64 cap = 512LL * 1024 * 1024;
    const qint64 sent = writeWithoutReading(server.port(), request, cap);
    EXPECT_LT(sent, cap / 8) << "the server kept reading from a client that does not read";
    EXPECT_LT(server.residentKib() - before, 64 * 1024) << "KiB grown";
    RpcClient other;
    ASSERT_TRUE(other.connectTo(server.port()));
    EXPECT_TRUE(other.call(QStringLiteral("getCFOP"), {}).ok);
}

TEST_P(ServingPostgres, IdleClientsHoldNoDatabaseConnection)
{
    ServedProcess server;
    ASSERT_TRUE(serve(server, {QStringLiteral("--db-pool"), QStringLiteral("2")}));
    std::vector<std::unique_ptr<RpcClient>> idle;
    for (int i = 0; i < 100; ++i) {
        idle.push_back(std::make_unique<RpcClient>());
        ASSERT_TRUE(idle.back()->connectTo(server.port()));
    }
    // All call at once, then stay connected doing nothing.
    for (auto &client : idle)
        client->sendRaw(kvr::protocol::encodeRequest(
                            7, QStringLiteral("kvr51400.rdmConsisteFiscal.getImposto"), taxArgs()) +
                        '\n');
    for (auto &client : idle)
        ASSERT_TRUE(client->readResponse().ok);
    RpcClient active;
    ASSERT_TRUE(active.connectTo(server.port()));
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(active.call(QStringLiteral("getImposto"), taxArgs()).ok);
    QSqlQuery count(m_db->direct());
    ASSERT_TRUE(count.exec(QStringLiteral("SELECT COUNT(*) FROM pg_stat_activity WHERE datname = "
                                          "current_database() AND pid <> pg_backend_pid()")));
    ASSERT_TRUE(count.next());
    EXPECT_LE(count.value(0).toInt(), 2);
}

TEST_P(ServingAnyDatabase, ConnectionsBeyondTheLimitAreRefused)
{
    ServedProcess server;
    ASSERT_TRUE(serve(server, {QStringLiteral("--max-connections"), QStringLiteral("3")}));
    RpcClient clients[3];
    for (RpcClient &client : clients) {
        ASSERT_TRUE(client.connectTo(server.port()));
        ASSERT_TRUE(client.call(QStringLiteral("getCFOP"), {}).ok);
    }
    RpcClient extra;
    ASSERT_TRUE(extra.connectTo(server.port()));
    const RpcResponse refused = extra.readResponse();
    EXPECT_EQ(refused.fault.code, RpcError::InvalidRequest);
    EXPECT_TRUE(refused.fault.message.contains(QStringLiteral("máximo de 3 conexões")))
        << refused.fault.message.toStdString();
    EXPECT_TRUE(extra.waitClosed());
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
        QStringList args;
        QByteArray sent;
        const char *reply; // nullptr: closed without a line
        int notBeforeMs;
    } cases[] = {
        {"idle", {QStringLiteral("--idle-timeout"), QStringLiteral("1")}, {}, nullptr, 900},
        {"partial line",
         {QStringLiteral("--line-timeout"), QStringLiteral("1")},
         R"({"jsonrpc":"2.0","id":1,)",
         "não chegou completa",
         900},
        {"partial line over the shared budget",
         {QStringLiteral("--max-pending"), QStringLiteral("100000")},
         QByteArray(300000, ' '),
         "memória livre",
         0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ServedProcess server;
        ASSERT_TRUE(serve(server, c.args));
        RpcClient client;
        ASSERT_TRUE(client.connectTo(server.port()));
        // Served normally first: the clock starts over with each request.
        ASSERT_TRUE(client.call(QStringLiteral("getCFOP"), {}).ok);
        QElapsedTimer clock;
        clock.start();
        client.sendRaw(c.sent);
        const QByteArray line = client.readLine(10000);
        if (c.reply) {
            RpcResponse response;
            QString problem;
            ASSERT_TRUE(kvr::protocol::parseResponse(line, response, problem)) << line.constData();
            EXPECT_EQ(response.fault.code, RpcError::InvalidRequest);
            EXPECT_TRUE(response.fault.message.contains(QString::fromUtf8(c.reply)));
        } else {
            EXPECT_TRUE(line.isEmpty()) << line.constData();
        }
        EXPECT_TRUE(client.waitClosed());
        EXPECT_GE(clock.elapsed(), c.notBeforeMs);
    }
}

TEST_P(Serving, DatabaseFailuresTellClientsNoDetail)
{
    // The database goes away after the server started; the call finds out.
    QTemporaryDir dir;
    QString url;
    std::function<void()> breakIt, repair;
    // PostgreSQL refuses to close a database to new connections from inside it.
    TestDatabase outside(GetParam());
    if (GetParam() == Backend::Sqlite) {
        const QString folder = dir.filePath(QStringLiteral("base"));
        QDir().mkpath(folder);
        url = QStringLiteral("sqlite:%1/regras.db").arg(folder);
        breakIt = [folder, &dir] { QDir().rename(folder, dir.filePath(QStringLiteral("gone"))); };
        repair = [] {};
    } else {
        url = m_db->url();
        ASSERT_TRUE(outside.create()) << outside.errorText().toStdString();
        const QString name = m_db->direct().databaseName();
        const auto allow = [&outside, name](bool allowed) {
            QSqlQuery alter(outside.direct());
            ASSERT_TRUE(alter.exec(QStringLiteral("ALTER DATABASE \"%1\" ALLOW_CONNECTIONS %2")
                                       .arg(name, allowed ? "true" : "false")))
                << alter.lastError().text().toStdString();
        };
        breakIt = [allow] { allow(false); };
        repair = [allow] { allow(true); };
    }
    ServedProcess server;
    ASSERT_TRUE(server.start(url)) << server.log().toStdString();
    RpcClient client;
    ASSERT_TRUE(client.connectTo(server.port()));
    breakIt();
    const RpcResponse failed = client.call(QStringLiteral("getImposto"), taxArgs());
    repair();
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
        ServedProcess server;
        ASSERT_TRUE(serve(server, {QStringLiteral("--shutdown-grace"), QString::number(c.grace)}));
        const qint64 rulesBefore = ruleCount();
        // The test holds the writers' lock, so the server's write waits inside its call.
        QSqlDatabase holder = m_db->direct();
        ASSERT_TRUE(holder.transaction());
        QSqlQuery lock(holder);
        ASSERT_TRUE(GetParam() == Backend::Sqlite
                        ? lock.exec(QStringLiteral("INSERT INTO contador SELECT * FROM contador "
                                                   "WHERE 0 = 1"))
                        : lock.exec(QStringLiteral("SELECT pg_advisory_xact_lock(51400)")))
            << lock.lastError().text().toStdString();
        RpcClient client;
        ASSERT_TRUE(client.connectTo(server.port()));
        client.sendRaw(kvr::protocol::encodeRequest(
                           1, QStringLiteral("kvr51400.rdmConsisteFiscal.cadAutoInsere"),
                           {QStringLiteral("01"), QStringLiteral("00"), QStringLiteral("90"),
                            QStringLiteral("1101"), QStringLiteral("7949"), QStringLiteral("0"),
                            QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("S"),
                            QStringLiteral("N"), QStringLiteral("1"), QStringLiteral("B")}) +
                       '\n');
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
