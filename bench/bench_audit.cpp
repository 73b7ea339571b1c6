// What the history of changes and the login cost, and how a large delta
// scales on PostgreSQL. Ratios against a baseline measured in the same run:
// - one-rule setConsistencia, history on / --no-history;
// - cadAutoInsere of about 20,000 rules, history on / --no-history;
// - a small call on a logged-in connection / on a server without --login;
// - PostgreSQL (with KVR_TEST_PG_URL): time per change of a 20,000-change
//   delta / of a 2,000-change one.
#include "fiscal/RuleRecord.h"
#include "protocol/JsonRpc.h"
#include "server/storage/DatabaseUrl.h"
#include "tests/common/RpcClient.h"
#include "tests/common/ServerProcess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <tuple>
#include <vector>

using kvr::protocol::RpcResponse;
using kvr::test::RpcClient;
using kvr::test::ServerProcess;
using R = kvr::fiscal::RuleRecord;

namespace {

[[noreturn]] void fail(const QString &what)
{
    std::fprintf(stderr, "%s\n", qPrintable(what));
    std::exit(1);
}

// A started server and a client connected to it.
struct Served
{
    std::unique_ptr<ServerProcess> server = std::make_unique<ServerProcess>();
    RpcClient client;

    Served(const QString &db, const QStringList &options)
    {
        if (!server->start(db, options) || !client.connectTo(server->port()))
            fail(QStringLiteral("kvr-appserver did not start: ") + server->errorText());
        client.setTimeoutMs(600000);
    }
    RpcResponse call(const QString &method, const QJsonArray &params)
    {
        const RpcResponse response = client.call(method, params);
        if (!response.ok)
            fail(method + QStringLiteral(": ") + response.fault.message);
        return response;
    }
};

QJsonObject deltaOf(const kvr::protocol::DataPacket &packet,
                    const std::vector<std::pair<QStringList, QStringList>> &changes)
{
    QJsonArray fields;
    for (const auto &field : packet.fields)
        fields.append(QJsonObject{{QStringLiteral("name"), field.name},
                                  {QStringLiteral("size"), field.size}});
    QJsonArray list;
    for (const auto &[old, now] : changes)
        list.append(QJsonObject{{QStringLiteral("op"), QStringLiteral("update")},
                                {QStringLiteral("old"), QJsonArray::fromStringList(old)},
                                {QStringLiteral("new"), QJsonArray::fromStringList(now)}});
    return {{QStringLiteral("fields"), fields}, {QStringLiteral("changes"), list}};
}

// The user rules ("N") of a tax.
std::vector<QStringList> userRules(Served &served, const QString &tax,
                                   kvr::protocol::DataPacket &packet)
{
    packet = kvr::test::packetOf(served.call(QStringLiteral("getConsistencias"), {tax}));
    std::vector<QStringList> rows;
    for (const QStringList &row : packet.rows)
        if (row.at(R::IDCONSPREDEFI) == QLatin1String("N"))
            rows.push_back(row);
    return rows;
}

// cadAutoInsere over every CST and CFOP for these fiscal codes: about 6,800
// rules each for ICMS.
QJsonArray insere(const char *fiscal)
{
    return {"01", "00", "90", "1101", "7949", "0", "0", "0", "S", "N", fiscal, "B"};
}

// One rule of a fresh server, saved again and again by `save`.
struct OneRule
{
    kvr::protocol::DataPacket packet;
    QStringList rule;

    explicit OneRule(Served &served)
    {
        served.call(QStringLiteral("cadAutoInsere"),
                    {"01", "00", "00", "1102", "1102", "0", "0", "0", "S", "N", "1", "B"});
        rule = userRules(served, QStringLiteral("01"), packet).front();
    }
    void save(Served &served, int i)
    {
        QStringList next = rule;
        next[R::DSCONSISTENCIA] = QStringLiteral("revisão %1").arg(i);
        served.call(QStringLiteral("setConsistencia"), {deltaOf(packet, {{rule, next}})});
        rule = next;
    }
};

// Medians of `first` and `second`, called in turn so both meet the same load.
template <typename First, typename Second>
std::pair<qint64, qint64> inTurn(int count, First first, Second second)
{
    std::vector<qint64> a, b;
    for (int i = 0; i < count; ++i) {
        QElapsedTimer clock;
        clock.start();
        first(i);
        a.push_back(clock.nsecsElapsed());
        clock.restart();
        second(i);
        b.push_back(clock.nsecsElapsed());
    }
    std::nth_element(a.begin(), a.begin() + count / 2, a.end());
    std::nth_element(b.begin(), b.begin() + count / 2, b.end());
    return {a.at(static_cast<size_t>(count / 2)), b.at(static_cast<size_t>(count / 2))};
}

qint64 bulkInsert(const QString &db, const QStringList &options)
{
    Served served(db, QStringList{QStringLiteral("--seed")} + options);
    QElapsedTimer clock;
    clock.start();
    for (const char *fiscal : {"1", "2", "3"})
        served.call(QStringLiteral("cadAutoInsere"), insere(fiscal));
    return clock.nsecsElapsed();
}

bool addUser(const QString &db)
{
    return ServerProcess::runOnce(
               {QStringLiteral("--db"), db, QStringLiteral("--add-user"), QStringLiteral("bench")},
               "senha-do-bench\n")
               .exitCode == 0;
}

// A fresh PostgreSQL database on the cluster of `clusterUrl`.
QString freshPostgres(const QString &clusterUrl)
{
    kvr::server::DatabaseUrl url;
    QString problem;
    if (!kvr::server::DatabaseUrl::parse(clusterUrl, url, problem))
        fail(problem);
    {
        QSqlDatabase admin =
            QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("bench-admin"));
        admin.setHostName(url.host);
        admin.setPort(url.port);
        admin.setUserName(url.user);
        admin.setPassword(url.password);
        admin.setDatabaseName(url.database);
        if (!admin.open())
            fail(QStringLiteral("PostgreSQL: cannot connect"));
        QSqlQuery(admin).exec(
            QStringLiteral("DROP DATABASE IF EXISTS kvr_bench_audit WITH (FORCE)"));
        QSqlQuery(admin).exec(QStringLiteral("CREATE DATABASE kvr_bench_audit"));
        admin.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench-admin"));
    const QString at = clusterUrl.left(clusterUrl.lastIndexOf(QLatin1Char('/')));
    return at + QStringLiteral("/kvr_bench_audit");
}

// Best time per change of a delta of `size` description changes.
double deltaPerChange(Served &served, std::vector<QStringList> &rows,
                      const kvr::protocol::DataPacket &packet, size_t size)
{
    qint64 best = std::numeric_limits<qint64>::max();
    for (int round = 0; round < 3; ++round) {
        std::vector<std::pair<QStringList, QStringList>> changes;
        for (size_t i = 0; i < size; ++i) {
            QStringList next = rows.at(i);
            next[R::DSCONSISTENCIA] = QStringLiteral("rodada %1").arg(round);
            changes.emplace_back(rows.at(i), next);
        }
        const QJsonObject delta = deltaOf(packet, changes);
        QElapsedTimer clock;
        clock.start();
        served.call(QStringLiteral("setConsistencia"), {delta});
        best = std::min(best, clock.nsecsElapsed());
        for (size_t i = 0; i < size; ++i)
            rows[i] = changes.at(i).second;
    }
    return static_cast<double>(best) / static_cast<double>(size);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const auto sqlite = [&dir](const QString &name) -> QString {
        return QStringLiteral("sqlite:") + dir.filePath(name);
    };
    const QStringList off{QStringLiteral("--no-history")};

    // One-rule save, each server on its own database.
    qint64 saveOn, saveOff;
    {
        Served on(sqlite(QStringLiteral("save-on.db")), {QStringLiteral("--seed")});
        Served without(sqlite(QStringLiteral("save-off.db")),
                       QStringList{QStringLiteral("--seed")} + off);
        OneRule onRule(on), offRule(without);
        std::tie(saveOn, saveOff) = inTurn(
            501, [&](int i) { onRule.save(on, i); }, [&](int i) { offRule.save(without, i); });
    }
    std::printf("one-rule setConsistencia: history %.3f ms, without %.3f ms\n", saveOn / 1e6,
                saveOff / 1e6);

    // About 20,000 rules created, best of three fresh databases each.
    qint64 insertOn = std::numeric_limits<qint64>::max(), insertOff = insertOn;
    for (int round = 0; round < 5; ++round) {
        const QString n = QString::number(round);
        insertOn =
            std::min(insertOn, bulkInsert(sqlite(QStringLiteral("insert-on-%1.db").arg(n)), {}));
        insertOff =
            std::min(insertOff, bulkInsert(sqlite(QStringLiteral("insert-off-%1.db").arg(n)), off));
    }
    std::printf("cadAutoInsere of ~20,400 rules: history %.1f ms, without %.1f ms\n",
                insertOn / 1e6, insertOff / 1e6);

    // A small call after login, on one database.
    qint64 loggedIn, open;
    {
        const QString db = sqlite(QStringLiteral("login.db"));
        Served seeded(db, {QStringLiteral("--seed")});
        if (!addUser(db))
            fail(QStringLiteral("--add-user failed"));
        Served login(db, {QStringLiteral("--login")});
        login.client.callFull(QStringLiteral("kvr.login"), {"bench", "senha-do-bench"});
        const auto small = [](Served &served) {
            return [&served](int) { served.call(QStringLiteral("getImposto"), {"01", ""}); };
        };
        inTurn(200, small(login), small(seeded));
        std::tie(loggedIn, open) = inTurn(3001, small(login), small(seeded));
    }
    std::printf("getImposto: logged in %.1f us, without login %.1f us\n", loggedIn / 1e3,
                open / 1e3);

    double perChangeSmall = 0, perChangeLarge = 0;
    const QString pg = QString::fromLocal8Bit(qgetenv("KVR_TEST_PG_URL"));
    if (!pg.isEmpty()) {
        Served served(freshPostgres(pg), {QStringLiteral("--seed")});
        for (const char *fiscal : {"1", "2", "3"})
            served.call(QStringLiteral("cadAutoInsere"), insere(fiscal));
        kvr::protocol::DataPacket packet;
        std::vector<QStringList> rows = userRules(served, QStringLiteral("01"), packet);
        if (rows.size() < 20000)
            fail(QStringLiteral("not enough rules for the delta"));
        perChangeSmall = deltaPerChange(served, rows, packet, 2000);
        perChangeLarge = deltaPerChange(served, rows, packet, 20000);
        std::printf("PostgreSQL setConsistencia per change: 2,000 changes %.1f us, 20,000 "
                    "changes %.1f us\n",
                    perChangeSmall / 1e3, perChangeLarge / 1e3);
    }

    std::printf("ratio one-rule setConsistencia, history/without: %.2f (target <= 1.3)\n",
                double(saveOn) / double(saveOff));
    std::printf("ratio cadAutoInsere 20,000, history/without: %.2f (target <= 1.5)\n",
                double(insertOn) / double(insertOff));
    std::printf("ratio small call, logged in/without login: %.2f (target <= 1.1)\n",
                double(loggedIn) / double(open));
    if (perChangeSmall > 0)
        std::printf("ratio PostgreSQL delta per change, 20,000/2,000: %.2f (target <= 1.3)\n",
                    perChangeLarge / perChangeSmall);
    else
        std::printf("PostgreSQL delta: set KVR_TEST_PG_URL to measure\n");
    return 0;
}
