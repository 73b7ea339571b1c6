// The simulation calls against the plain reads of the same app server, on a
// tax of about 100,000 rules made by cadAutoInsere over a CFOP x CST range,
// on SQLite or on the empty PostgreSQL database of KVR_BENCH_PG_URL.
#include "protocol/JsonRpc.h"
#include "protocol/LineFramer.h"
#include "tests/common/ServerProcess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const QString Tax = QStringLiteral("50");

// A plain socket: a call is timed until its reply line has arrived.
class Client final
{
public:
    explicit Client(quint16 port)
    {
        m_socket.connectToHost(QStringLiteral("127.0.0.1"), port);
        if (!m_socket.waitForConnected(10000)) {
            std::fprintf(stderr, "no connection to the app server\n");
            std::exit(1);
        }
    }
    QByteArray call(const QString &method, const QJsonArray &params)
    {
        m_socket.write(kvr::protocol::LineFramer::frame(kvr::protocol::encodeRequest(
            ++m_id, QStringLiteral("kvr51400.rdmConsisteFiscal.") + method, params)));
        m_socket.flush();
        kvr::protocol::LineFramer framer;
        while (!framer.hasMessage() && m_socket.waitForReadyRead(600000))
            framer.feed(m_socket.readAll());
        return framer.takeMessage();
    }
    QJsonValue result(const QString &method, const QJsonArray &params)
    {
        const QJsonObject reply = QJsonDocument::fromJson(call(method, params)).object();
        if (!reply.contains(u"result")) {
            std::fprintf(stderr, "%s failed: %s\n", qPrintable(method),
                         QJsonDocument(reply).toJson(QJsonDocument::Compact).constData());
            std::exit(1);
        }
        return reply[u"result"];
    }

private:
    QTcpSocket m_socket;
    int m_id = 0;
};

double msOf(qint64 ns)
{
    return double(ns) / 1e6;
}

qint64 best(int rounds, const std::function<void()> &work)
{
    qint64 least = -1;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        const qint64 ns = timer.nsecsElapsed();
        least = least < 0 ? ns : std::min(least, ns);
    }
    return least;
}

QJsonArray line(const QString &cfop, const QString &cst)
{
    return QJsonArray::fromStringList({Tax, QStringLiteral("L"), QStringLiteral("S"), cfop,
                                       QString(), cst, QStringLiteral("1"), QStringLiteral("3"),
                                       QStringLiteral("3"), QStringLiteral("3"), QString()});
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    // KVR_BENCH_PG_URL: an empty PostgreSQL database to run on instead.
    const QString pg = qEnvironmentVariable("KVR_BENCH_PG_URL");
    const QString url =
        pg.isEmpty() ? QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("bench.sqlite"))
                     : pg;
    std::printf("database: %s\n", pg.isEmpty() ? "SQLite" : "PostgreSQL");
    kvr::test::ServerProcess server;
    if (!server.start(url, {QStringLiteral("--seed")})) {
        std::fprintf(stderr, "kvr-appserver did not start: %s\n", qPrintable(server.errorText()));
        return 1;
    }
    Client client(server.port());

    // Every CFOP x every PIS CST, blocked and admitted with fiscal codes 1
    // and 2, blocked with 3: about 100,000 rules.
    QElapsedTimer building;
    building.start();
    qint64 rules = 0;
    const std::pair<const char *, const char *> runs[] = {
        {"1", "B"}, {"1", "A"}, {"2", "B"}, {"2", "A"}, {"3", "B"}};
    for (const auto &[fiscal, kind] : runs)
        rules += client
                     .result(QStringLiteral("cadAutoInsere"),
                             QJsonArray::fromStringList(
                                 {Tax, QStringLiteral("01"), QStringLiteral("99"),
                                  QStringLiteral("1101"), QStringLiteral("7949"),
                                  QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"),
                                  QStringLiteral("S"), QStringLiteral("S"),
                                  QString::fromLatin1(fiscal), QString::fromLatin1(kind)}))
                     .toObject()[u"affected"]
                     .toInteger();
    std::printf("%lld rules of tax %s made by cadAutoInsere in %.0f ms\n", rules, qPrintable(Tax),
                double(building.elapsed()));

    const auto get = [&] { client.call(QStringLiteral("getConsistencias"), {Tax}); };
    QElapsedTimer cold;
    cold.start();
    client.call(QStringLiteral("simulaConsistencia"), line(QStringLiteral("5101"), u"01"_qs));
    const double firstCall = double(cold.nsecsElapsed()) / 1e6;
    cold.restart();
    const QJsonObject findings = client.result(QStringLiteral("getConflitos"), {Tax}).toObject();
    const double firstFindings = double(cold.nsecsElapsed()) / 1e6;

    const qint64 getNs = best(5, get);
    const qint64 findingsNs = best(5, [&] { client.call(QStringLiteral("getConflitos"), {Tax}); });
    const qint64 mapNs = best(5, [&] {
        client.call(QStringLiteral("getMapa"), {Tax, QStringLiteral("L"), QStringLiteral("S")});
    });
    // The two small calls in turn, so a busy moment of the machine weighs on both.
    std::vector<qint64> imposto;
    std::vector<qint64> simula;
    for (int i = 0; i < 2000; ++i) {
        imposto.push_back(best(1, [&] {
            client.call(QStringLiteral("getImposto"), {Tax, QString()});
        }));
        simula.push_back(best(1, [&] {
            client.call(QStringLiteral("simulaConsistencia"),
                        line(QStringLiteral("5101"), QStringLiteral("01")));
        }));
    }
    const auto middle = [](std::vector<qint64> &times) {
        std::nth_element(times.begin(), times.begin() + qsizetype(times.size() / 2), times.end());
        return times[times.size() / 2];
    };
    const qint64 impostoNs = middle(imposto);
    const qint64 simulaNs = middle(simula);

    std::printf("first simulaConsistencia after the rules were made (index built): %.1f ms\n",
                firstCall);
    std::printf("first getConflitos (findings computed): %.1f ms, %lld findings\n", firstFindings,
                findings[u"total"].toInteger());
    std::printf("| | ms | baseline ms | ratio | target |\n|---|---:|---:|---:|---:|\n");
    std::printf(
        "| simulaConsistencia / getImposto (median of 2,000) | %.3f | %.3f | %.2f | 1.5 |\n",
        msOf(simulaNs), msOf(impostoNs), double(simulaNs) / double(impostoNs));
    std::printf("| getConflitos / getConsistencias (best of 5) | %.1f | %.1f | %.2f | 3 |\n",
                msOf(findingsNs), msOf(getNs), double(findingsNs) / double(getNs));
    std::printf("| getMapa / getConsistencias (best of 5) | %.1f | %.1f | %.2f | 1 |\n",
                msOf(mapNs), msOf(getNs), double(mapNs) / double(getNs));

    // A change through one app server, seen by the next call on it and on a
    // second app server of the same database.
    kvr::test::ServerProcess second;
    if (!second.start(url)) {
        std::fprintf(stderr, "second kvr-appserver did not start\n");
        return 1;
    }
    Client other(second.port());
    const auto verdict = [](Client &c) {
        return c
            .result(QStringLiteral("simulaConsistencia"),
                    line(QStringLiteral("5101"), QStringLiteral("01")))
            .toObject()[u"verdict"]
            .toString();
    };
    const QString before = verdict(client) + QLatin1Char('/') + verdict(other);
    const QJsonArray rows =
        client.result(QStringLiteral("getConsistencias"), {Tax}).toObject()[u"rows"].toArray();
    QJsonArray old;
    for (const QJsonValue &row : rows) {
        const QJsonArray values = row.toArray();
        if (values.at(5) == QJsonValue(u"5101"_qs) && values.at(7) == QJsonValue(u"01"_qs) &&
            values.at(8) == QJsonValue(u"1"_qs) && values.at(16) == QJsonValue(u"B"_qs))
            old = values;
    }
    QJsonArray changed = old;
    changed[2] = QStringLiteral("N");
    QJsonObject delta;
    delta[u"fields"] =
        QJsonDocument::fromJson(client.call(QStringLiteral("vdCon"), {Tax, old.at(3).toString()}))
            .object()[u"result"]
            .toObject()[u"fields"];
    delta[u"changes"] =
        QJsonArray{QJsonObject{{u"op"_qs, u"update"_qs}, {u"old"_qs, old}, {u"new"_qs, changed}}};
    client.result(QStringLiteral("setConsistencia"), {delta});
    QElapsedTimer after;
    after.start();
    const QString here = verdict(client);
    const double hereMs = double(after.nsecsElapsed()) / 1e6;
    after.restart();
    const QString there = verdict(other);
    const double thereMs = double(after.nsecsElapsed()) / 1e6;
    std::printf("after setConsistencia switched off rule %s: verdict %s before, %s on the same "
                "server (%.1f ms, index rebuilt), %s on a second server (%.1f ms): %s\n",
                qPrintable(old.at(3).toString()), qPrintable(before), qPrintable(here), hereMs,
                qPrintable(there), thereMs,
                here == u"A" && there == u"A" && before == u"C/C" ? "seen" : "NOT SEEN");
    return 0;
}
