// kvr-load: N clients with a mixed load against one or more app servers,
// then a check that every acknowledged change is stored once.
#include "bench/load/LoadCheck.h"
#include "bench/load/LoadClient.h"
#include "bench/load/LoadPlan.h"
#include "fiscal/CstTable.h"
#include "fiscal/RuleRecord.h"
#include "platform/HostPort.h"
#include "tests/common/RpcClient.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <memory>

using namespace kvr;
using namespace kvr::load;
using R = fiscal::RuleRecord;

namespace {

bool fetch(test::RpcClient &rpc, const QString &method, const QJsonArray &params,
           protocol::DataPacket &packet)
{
    const protocol::RpcResponse response = rpc.call(method, params);
    QString problem;
    if (response.ok && protocol::packetFromJson(response.result.toObject(), packet, problem) &&
        packet.fields.size() > 0)
        return true;
    std::fprintf(stderr, "%s failed: %s\n", qPrintable(method),
                 qPrintable(response.ok ? problem : response.fault.message));
    return false;
}

// The shared rules (created once per database), the own kind's rules already
// there and the reference tables the clients draw from.
bool prepare(test::RpcClient &rpc, LoadPlan &plan)
{
    const protocol::RpcResponse made = rpc.call(
        QStringLiteral("cadAutoInsere"),
        {Space::SharedTax, Space::SharedFirstCst, Space::SharedLastCst, Space::SharedFirstCfop,
         Space::SharedLastCfop, QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"),
         QStringLiteral("S"), QStringLiteral("N"), Space::SharedFiscal, Space::Flag});
    if (!made.ok) {
        std::fprintf(stderr, "cannot create the shared rules: %s\n",
                     qPrintable(made.fault.message));
        return false;
    }
    protocol::DataPacket shared, own, cfops;
    if (!fetch(rpc, QStringLiteral("getConsistencias"), {Space::SharedTax}, shared) ||
        !fetch(rpc, QStringLiteral("getConsistencias"), {Space::OwnTax}, own) ||
        !fetch(rpc, QStringLiteral("getCFOP"), {}, cfops))
        return false;
    for (const QStringList &row : shared.rows)
        if (row.at(R::CDFISCAL) == Space::SharedFiscal && row.at(R::IDBLOQADMI) == Space::Flag &&
            row.at(R::IDCONSPREDEFI) == QLatin1String("N"))
            plan.sharedStart.insert(row.at(R::NRSEQCONSISTE), row.at(R::DSCONSISTENCIA));
    for (const QStringList &row : own.rows)
        if (row.at(R::CDFISCAL) == Space::OwnFiscal && row.at(R::IDBLOQADMI) == Space::Flag)
            plan.existing.insert(row.at(R::CDFISCOPER) + QLatin1Char('/') + row.at(R::CDSITUTRIB));
    for (const QStringList &row : cfops.rows)
        plan.cfops.append(row.at(0));
    for (const fiscal::CstTable::Entry &entry : fiscal::CstTable::entries())
        if (entry.family == QLatin1String("PIS")) // the CST family of the own tax
            plan.ownCsts.append(entry.code);
    plan.runTag = QStringLiteral("carga %1").arg(QDateTime::currentMSecsSinceEpoch());
    if (plan.sharedStart.isEmpty() || plan.cfops.isEmpty() || plan.ownCsts.isEmpty()) {
        std::fprintf(stderr,
                     "the database lacks the reference data (start the server with --seed)\n");
        return false;
    }
    return true;
}

double percentile(std::vector<qint64> &sorted, double p)
{
    if (sorted.empty())
        return 0;
    const size_t at = std::min(sorted.size() - 1, static_cast<size_t>(p * sorted.size()));
    return sorted.at(at) / 1000.0;
}

void report(const std::vector<std::unique_ptr<LoadClient>> &clients, double seconds)
{
    std::map<QString, std::vector<qint64>> byMethod;
    std::vector<qint64> all;
    for (const auto &client : clients)
        for (const auto &[method, times] : client->record().latencyUs) {
            byMethod[method].insert(byMethod[method].end(), times.begin(), times.end());
            all.insert(all.end(), times.begin(), times.end());
        }
    std::printf("%-18s %9s %10s %9s %9s\n", "method", "calls", "calls/s", "p50 ms", "p99 ms");
    const auto line = [seconds](const char *name, std::vector<qint64> &times) {
        std::sort(times.begin(), times.end());
        std::printf("%-18s %9zu %10.1f %9.2f %9.2f\n", name, times.size(), times.size() / seconds,
                    percentile(times, 0.50), percentile(times, 0.99));
    };
    for (auto &[method, times] : byMethod)
        line(qPrintable(method), times);
    line("all", all);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Runs clients with a mixed load against app servers, then checks that every "
                       "acknowledged change is stored once."));
    parser.addHelpOption();
    const QCommandLineOption serverOption(
        QStringLiteral("server"),
        QStringLiteral("An app server (repeat for several; clients take "
                       "turns). Default 127.0.0.1:2140."),
        QStringLiteral("HOST:PORT"));
    const QCommandLineOption clientsOption(QStringLiteral("clients"),
                                           QStringLiteral("Clients at once (default 16)."),
                                           QStringLiteral("N"), QStringLiteral("16"));
    const QCommandLineOption durationOption(QStringLiteral("duration"),
                                            QStringLiteral("Seconds of load (default 20)."),
                                            QStringLiteral("SECONDS"), QStringLiteral("20"));
    parser.addOptions({serverOption, clientsOption, durationOption});
    parser.process(app);

    QList<platform::HostPort> servers;
    const QStringList given = parser.isSet(serverOption)
                                  ? parser.values(serverOption)
                                  : QStringList{QStringLiteral("127.0.0.1:2140")};
    for (const QString &text : given) {
        const std::optional<platform::HostPort> server = platform::ParseHostPort(text);
        if (!server) {
            std::fprintf(stderr, "not a HOST:PORT: %s\n", qPrintable(text));
            return 2;
        }
        servers.append(*server);
    }
    const int clientCount = parser.value(clientsOption).toInt();
    const double duration = parser.value(durationOption).toDouble();
    if (clientCount < 1 || duration <= 0) {
        std::fprintf(stderr, "--clients and --duration must be positive\n");
        return 2;
    }

    LoadPlan plan;
    {
        test::RpcClient setup;
        setup.setTimeoutMs(AnswerTimeoutMs);
        if (!setup.connectTo(servers.first().port, servers.first().host)) {
            std::fprintf(stderr, "cannot connect: %s\n", qPrintable(setup.errorText()));
            return 1;
        }
        if (!prepare(setup, plan))
            return 1;
    }

    std::vector<std::unique_ptr<LoadClient>> clients;
    for (int i = 0; i < clientCount; ++i) {
        QStringList cfops;
        for (qsizetype c = i; c < plan.cfops.size(); c += clientCount)
            cfops.append(plan.cfops.at(c));
        clients.push_back(std::make_unique<LoadClient>(i, plan, cfops));
    }
    std::printf("kvr-load: %d clients for %g s on %lld server(s)\n", clientCount, duration,
                static_cast<long long>(servers.size()));
    std::fflush(stdout);

    QElapsedTimer elapsed;
    elapsed.start();
    const QDeadlineTimer deadline(static_cast<qint64>(duration * 1000));
    std::vector<std::unique_ptr<QThread>> threads;
    for (int i = 0; i < clientCount; ++i) {
        const platform::HostPort &server = servers.at(i % servers.size());
        LoadClient *client = clients.at(static_cast<size_t>(i)).get();
        threads.emplace_back(QThread::create(
            [client, server, deadline] { client->run(server.host, server.port, deadline); }));
        threads.back()->start();
    }
    for (const auto &thread : threads)
        thread->wait();
    const double seconds = elapsed.nsecsElapsed() / 1e9;

    report(clients, seconds);
    qint64 inserted = 0, updated = 0, edits = 0, conflicts = 0;
    QStringList faults;
    std::vector<const ClientRecord *> records;
    for (const auto &client : clients) {
        const ClientRecord &record = client->record();
        records.push_back(&record);
        inserted += record.inserted.size();
        updated += record.baseSign.size();
        edits += static_cast<qint64>(record.edits.size());
        conflicts += record.conflicts;
        faults += record.faults;
    }
    std::printf("acknowledged: inserted=%lld updated=%lld edited=%lld conflicts=%lld\n",
                static_cast<long long>(inserted), static_cast<long long>(updated),
                static_cast<long long>(edits), static_cast<long long>(conflicts));

    // The check reads through every server, so each must see every change.
    QStringList problems;
    for (const platform::HostPort &server : servers) {
        test::RpcClient check;
        check.setTimeoutMs(AnswerTimeoutMs);
        protocol::DataPacket own, shared;
        if (!check.connectTo(server.port, server.host) ||
            !fetch(check, QStringLiteral("getConsistencias"), {Space::OwnTax}, own) ||
            !fetch(check, QStringLiteral("getConsistencias"), {Space::SharedTax}, shared)) {
            problems.append(QStringLiteral("the final read failed"));
            break;
        }
        problems += LoadCheck(plan, records).check(own, shared);
    }
    for (const QString &fault : faults.mid(0, 20))
        std::printf("fault: %s\n", qPrintable(fault));
    for (const QString &problem : problems.mid(0, 20))
        std::printf("%s\n", qPrintable(problem));
    if (!faults.isEmpty() || !problems.isEmpty()) {
        std::printf("FAILED: %lld unexpected answers, %lld problems in the stored rules\n",
                    static_cast<long long>(faults.size()), static_cast<long long>(problems.size()));
        return 1;
    }
    std::printf("checked: no acknowledged change missing, none applied twice\n");
    return 0;
}
