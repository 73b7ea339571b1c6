// Measures the application server against plain SQLite on the same data, in
// one run: reading 100,000 rules of one tax over the wire, and as the screen
// sees it (call, parse, dataset filled), vs the SQLite C API reading and
// copying every cell of the same rows; a one-tax getImposto vs a bare
// request/response round trip to an echo server over loopback; generating
// 20,000 rules with cadAutoInsere vs a prepared-insert transaction;
// cadAutoAtualiza over a list of the most rules a list may hold vs one a
// tenth as long (the cost per rule must not grow with the list); and the
// strict-JSON check of a large request (the strict parser's parse, which
// every request goes through first) vs Qt's parse of it, and the same request
// read by the server into rule records (parse, arguments, delta) vs that Qt
// parse. The server is the real kvr-appserver binary.
#include "bench/BenchRules.h"
#include "fiscal/CstTable.h"
#include "fiscal/RuleRecord.h"
#include "kit/core/Errors.h"
#include "kit/data/TClientDataSet.h"
#include "kit/net/TNetConnection.h"
#include "protocol/DataPacket.h"
#include "protocol/JsonRpc.h"
#include "protocol/LineFramer.h"
#include "protocol/StrictJson.h"
#include "server/rdm/RdmConsisteFiscal.h"
#include "server/rdm/RuleDelta.h"
#include "server/rdm/RuleRecord.h"
#include "server/rdm/RuleRepository.h"
#include "server/rdm/RuleValidator.h"
#include "server/rpc/CallReader.h"
#include "server/rpc/Dispatcher.h"
#include "server/seed/Seeder.h"
#include "server/storage/Migrations.h"
#include "server/storage/Storage.h"
#include "server/storage/WriteTransaction.h"
#include "tests/common/ServerProcess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

using namespace kvr::server;

namespace {

constexpr int RuleCount = 100000;
const QString Tax = QStringLiteral("50");

// CSTs of the PIS family, in order, from the shared CST table.
const QStringList pisCsts = [] {
    QStringList codes;
    for (const kvr::fiscal::CstTable::Entry &entry : kvr::fiscal::CstTable::entries())
        if (entry.family == QLatin1String("PIS"))
            codes.append(entry.code);
    return codes;
}();

// Seeds the reference data, adds 1000 extra CFOPs (8000-8999) so that 20,000
// new combinations exist, and 100,000 blocked rules of one tax.
void buildDatabase(const DatabaseUrl &url)
{
    std::unique_ptr<Storage> storage = Storage::open(url);
    Migrations::apply(*storage);
    Seeder::seed(*storage);
    WriteTransaction transaction(*storage);
    QSqlQuery &cfop = storage->prepared(
        QStringLiteral("INSERT INTO cfop (cdcfoppadrao, dscfoppadrao) VALUES (?, ?)"));
    for (int code = 8000; code <= 8999; ++code) {
        cfop.bindValue(0, QString::number(code));
        cfop.bindValue(1, QStringLiteral("CFOP de teste de desempenho"));
        storage->run(cfop);
    }
    QStringList cfops;
    QSqlQuery &all = storage->prepared(QStringLiteral("SELECT cdcfoppadrao FROM cfop ORDER BY 1"));
    storage->run(all);
    while (all.next())
        cfops.append(all.value(0).toString());
    all.finish();

    RuleRepository rules(*storage);
    insertBenchRules(rules, Tax, {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")},
                     cfops, pisCsts, RuleCount);
    transaction.commit();
}

QSqlDatabase openDirect(const QString &path, const QString &name)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(path);
    db.open();
    QSqlQuery(db).exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    QSqlQuery(db).exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    return db;
}

// The floor: the SQLite C API reading the rules of the tax and copying every
// cell, as a program without the server would.
qint64 readWithCApi(sqlite3 *db, qsizetype &rows)
{
    QElapsedTimer timer;
    timer.start();
    const QByteArray sql =
        QStringLiteral("SELECT %1 FROM consistencia WHERE cdimposto = ? ORDER BY "
                       "nrseqconsiste")
            .arg(RuleRecord::storedColumns())
            .toUtf8();
    sqlite3_stmt *statement = nullptr;
    sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &statement, nullptr);
    const QByteArray tax = Tax.toUtf8();
    sqlite3_bind_text(statement, 1, tax.constData(), int(tax.size()), SQLITE_TRANSIENT);
    // Every cell copied into one buffer, with its end: the least a reader
    // of all the values can do.
    constexpr int Stored = RuleRecord::FieldCount - 1;
    std::string cells;
    cells.reserve(size_t(RuleCount) * 128);
    std::vector<size_t> ends;
    ends.reserve(size_t(RuleCount + 100) * Stored);
    while (sqlite3_step(statement) == SQLITE_ROW) {
        for (int i = 0; i < Stored; ++i) {
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, i));
            cells.append(text ? text : "", size_t(sqlite3_column_bytes(statement, i)));
            ends.push_back(cells.size());
        }
    }
    sqlite3_finalize(statement);
    const qint64 elapsed = timer.nsecsElapsed();
    rows = qsizetype(ends.size() / Stored);
    return elapsed;
}

// One line out, one line back, over a plain blocking socket.
class LineClient final
{
public:
    explicit LineClient(quint16 port)
    {
        m_socket.connectToHost(QStringLiteral("127.0.0.1"), port);
        m_socket.waitForConnected(10000);
        m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    }
    QByteArray roundTrip(const QByteArray &line)
    {
        m_socket.write(line);
        m_socket.flush();
        while (!m_socket.canReadLine() && m_socket.waitForReadyRead(30000)) {
        }
        return m_socket.readLine();
    }

private:
    QTcpSocket m_socket;
};

// The baseline of a small call: a server that sends every line back, on its
// own thread with its own event loop, as the app server serves.
class EchoServer final
{
public:
    EchoServer()
    {
        m_thread.start();
        m_context.moveToThread(&m_thread);
        QMetaObject::invokeMethod(
            &m_context,
            [this] {
                m_server = new QTcpServer;
                QObject::connect(m_server, &QTcpServer::newConnection, m_server, [this] {
                    QTcpSocket *socket = m_server->nextPendingConnection();
                    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
                    QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                        while (socket->canReadLine())
                            socket->write(socket->readLine());
                    });
                });
                m_server->listen(QHostAddress::LocalHost, 0);
                m_port = m_server->serverPort();
            },
            Qt::BlockingQueuedConnection);
    }
    ~EchoServer()
    {
        QMetaObject::invokeMethod(
            &m_context, [this] { delete m_server; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    quint16 port() const { return m_port; }

private:
    QThread m_thread;
    QObject m_context;
    QTcpServer *m_server = nullptr;
    quint16 m_port = 0;
};

// Median time of `count` round trips of one line.
qint64 medianRoundTrip(LineClient &client, const QByteArray &line, int count)
{
    std::vector<qint64> times;
    times.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        QElapsedTimer timer;
        timer.start();
        const QByteArray reply = client.roundTrip(line);
        times.push_back(timer.nsecsElapsed());
        if (!reply.endsWith('\n') || reply.contains("\"error\"")) {
            std::fprintf(stderr, "round trip failed: %s\n", reply.left(300).constData());
            std::exit(1);
        }
    }
    std::nth_element(times.begin(), times.begin() + count / 2, times.end());
    return times[size_t(count / 2)];
}

class WireClient final
{
public:
    explicit WireClient(quint16 port)
    {
        m_socket.connectToHost(QStringLiteral("127.0.0.1"), port);
        m_socket.waitForConnected(10000);
    }
    // One call; returns the reply line as received.
    QByteArray call(const QString &method, const QJsonArray &params)
    {
        m_socket.write(kvr::protocol::LineFramer::frame(kvr::protocol::encodeRequest(
            ++m_id, QStringLiteral("kvr51400.rdmConsisteFiscal.") + method, params)));
        m_socket.flush();
        kvr::protocol::LineFramer framer;
        while (!framer.hasMessage() && m_socket.waitForReadyRead(120000))
            framer.feed(m_socket.readAll());
        return framer.takeMessage();
    }

private:
    QTcpSocket m_socket;
    int m_id = 0;
};

// The real kvr-appserver on a database file; exits the benchmark when it
// does not start.
class Server final
{
public:
    explicit Server(const QString &path)
    {
        if (!m_process.start(QStringLiteral("sqlite:") + path)) {
            std::fprintf(stderr, "kvr-appserver did not start: %s\n",
                         qPrintable(m_process.errorText()));
            std::exit(1);
        }
    }
    quint16 port() const { return m_process.port(); }

private:
    kvr::test::ServerProcess m_process;
};

double ms(qint64 ns)
{
    return static_cast<double>(ns) / 1e6;
}

// A setConsistencia request with the most changes a delta may hold.
QByteArray largeDeltaRequest()
{
    kvr::protocol::Delta delta;
    delta.fields = RuleRecord::fields();
    QStringList row = RuleRecord::blankRow();
    row[RuleRecord::CDIMPOSTO] = Tax;
    row[RuleRecord::DSCONSISTENCIA] = QStringLiteral("Operação de saída com substituição");
    for (qsizetype i = 0; i < RdmConsisteFiscal::MaxDeltaChanges; ++i) {
        row[RuleRecord::NRSEQCONSISTE] = RuleRepository::formatNumber(i + 1);
        row[RuleRecord::CDFISCOPER] = QString::number(5101 + i % 600);
        delta.changes.append({kvr::protocol::DeltaChange::Op::Update, row, row});
    }
    return kvr::protocol::encodeRequest(
        1, QStringLiteral("kvr51400.rdmConsisteFiscal.setConsistencia"),
        {kvr::protocol::deltaToJson(delta)});
}

// What the server does with a setConsistencia request before it touches the
// database: the request read, the delta argument taken, checked and decoded
// into rule records. Returns the number of changes read.
class DeltaReading final
{
public:
    DeltaReading()
    {
        m_dispatcher.add(RdmConsisteFiscal::objectName(), kvr::fiscal::SetConsistencia::name(),
                         [](const QString &method, const auto &params) {
                             const auto call =
                                 readCall<kvr::fiscal::SetConsistencia>(method, params);
                             RuleValidator::checkDelta(call.delta);
                             return QByteArray::number(RuleDelta::read(call.delta).size());
                         });
    }
    QByteArray run(const QByteArray &request) { return m_dispatcher.handle(request, m_warnings); }

private:
    Dispatcher m_dispatcher;
    WarningLimiter m_warnings;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString served = dir.filePath(QStringLiteral("served.sqlite"));
    const QString plain = dir.filePath(QStringLiteral("plain.sqlite"));
    DatabaseUrl url;
    url.path = served;
    std::printf("building a database with %d rules of tax %s...\n", RuleCount, qPrintable(Tax));
    std::fflush(stdout);
    buildDatabase(url);
    QFile::copy(served, plain);

    constexpr int Rounds = 5;
    qint64 bestServer = -1, bestScreen = -1, bestDirect = -1;
    qsizetype directRows = 0, replyBytes = 0;
    qint64 smallCall = 0, smallEcho = 0, smallScreen = 0;
    {
        Server server(served);
        WireClient client(server.port());
        client.call(QStringLiteral("getImposto"), {Tax, QString()}); // opens the connection

        // The screen's own path: its connection, its dataset.
        TNetConnection connection;
        connection.SetServerName(QStringLiteral("kvr51400.rdmConsisteFiscal"));
        connection.SetPort(server.port());
        connection.Call(QStringLiteral("getImposto"), {Tax, QString()});
        TClientDataSet rules;
        for (const kvr::protocol::PacketField &f : kvr::fiscal::RuleRecord::fields())
            rules.AddField(f.name, f.size);
        // One connection for every round, its cache as warm as the server's.
        sqlite3 *direct = nullptr;
        sqlite3_open_v2(served.toUtf8().constData(), &direct, SQLITE_OPEN_READWRITE, nullptr);
        const auto closeDirect = qScopeGuard([direct] { sqlite3_close(direct); });

        for (int round = 0; round < Rounds; ++round) {
            QElapsedTimer timer;
            timer.start();
            const QByteArray reply = client.call(QStringLiteral("getConsistencias"), {Tax});
            const qint64 elapsed = timer.nsecsElapsed();
            replyBytes = reply.size();
            if (!reply.contains("\"rows\"")) {
                std::fprintf(stderr, "getConsistencias failed: %s\n", reply.left(300).constData());
                return 1;
            }
            bestServer = bestServer < 0 ? elapsed : std::min(bestServer, elapsed);

            timer.restart();
            rules.SetData(connection.Call(QStringLiteral("getConsistencias"), {Tax}));
            const qint64 screen = timer.nsecsElapsed();
            if (rules.RecordCount() < RuleCount) {
                std::fprintf(stderr, "the dataset holds %d rules\n", rules.RecordCount());
                return 1;
            }
            bestScreen = bestScreen < 0 ? screen : std::min(bestScreen, screen);

            const qint64 read = readWithCApi(direct, directRows);
            bestDirect = bestDirect < 0 ? read : std::min(bestDirect, read);
        }

        // Small calls: the same bytes each time, so that only the serving differs.
        constexpr int Calls = 2000;
        const QByteArray oneTax = kvr::protocol::LineFramer::frame(kvr::protocol::encodeRequest(
            1, QStringLiteral("kvr51400.rdmConsisteFiscal.getImposto"), {Tax, QString()}));
        LineClient line(server.port());
        EchoServer echo;
        LineClient echoClient(echo.port());
        medianRoundTrip(line, oneTax, 200); // warm up both
        medianRoundTrip(echoClient, oneTax, 200);
        smallCall = medianRoundTrip(line, oneTax, Calls);
        smallEcho = medianRoundTrip(echoClient, oneTax, Calls);
        std::vector<qint64> times;
        for (int i = 0; i < Calls; ++i) {
            QElapsedTimer timer;
            timer.start();
            const QVariant taxes = connection.Call(QStringLiteral("getImposto"), {Tax, QString()});
            times.push_back(timer.nsecsElapsed());
            if (taxes.metaType() == QMetaType::fromType<TServerError>()) {
                std::fprintf(stderr, "getImposto failed\n");
                return 1;
            }
        }
        std::nth_element(times.begin(), times.begin() + Calls / 2, times.end());
        smallScreen = times[Calls / 2];
    }
    std::printf("getConsistencias over the wire: %.1f ms (%lld bytes); as the screen loads it "
                "(call, parse, dataset): %.1f ms; SQLite C API read of %lld rows: %.1f ms\n",
                ms(bestServer), static_cast<long long>(replyBytes), ms(bestScreen),
                static_cast<long long>(directRows), ms(bestDirect));
    std::printf("getImposto of one tax: %.1f us median; echo round trip of the same line: %.1f us; "
                "through TNetConnection: %.1f us\n",
                double(smallCall) / 1e3, double(smallEcho) / 1e3, double(smallScreen) / 1e3);
    const double readRatio = static_cast<double>(bestServer) / static_cast<double>(bestDirect);
    const double screenRatio = static_cast<double>(bestScreen) / static_cast<double>(bestDirect);
    const double smallRatio = static_cast<double>(smallCall) / static_cast<double>(smallEcho);

    // 1000 bench CFOPs x 20 CSTs (01 to 62) = 20,000 new admitted rules.
    const QJsonArray insertArgs = QJsonArray::fromStringList(
        {Tax, QStringLiteral("01"), QStringLiteral("62"), QStringLiteral("8000"),
         QStringLiteral("8999"), QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"),
         QStringLiteral("S"), QStringLiteral("S"), QStringLiteral("1"), QStringLiteral("A")});
    qint64 serverInsert = 0;
    QByteArray insertReply;
    {
        Server server(served);
        WireClient client(server.port());
        client.call(QStringLiteral("getImposto"), {Tax, QString()});
        QElapsedTimer timer;
        timer.start();
        insertReply = client.call(QStringLiteral("cadAutoInsere"), insertArgs);
        serverInsert = timer.nsecsElapsed();
    }
    if (!insertReply.contains("\"affected\":20000")) {
        std::fprintf(stderr, "cadAutoInsere did not create 20000 rules: %s\n",
                     insertReply.left(300).constData());
        return 1;
    }

    qint64 directInsert = 0;
    {
        QSqlDatabase db = openDirect(plain, QStringLiteral("direct-insert"));
        const QStringList csts = pisCsts.mid(0, 20);
        QElapsedTimer timer;
        timer.start();
        QSqlQuery(db).exec(QStringLiteral("BEGIN IMMEDIATE"));
        QSqlQuery insert(db);
        insert.prepare(QStringLiteral("INSERT INTO consistencia (%1) VALUES (%2)")
                           .arg(RuleRecord::storedColumns(), RuleRecord::storedPlaceholders()));
        qint64 number = 900000000;
        const QString empty = QStringLiteral("");
        for (int code = 8000; code <= 8999; ++code)
            for (const QString &cst : csts) {
                const QVariant values[] = {Tax,
                                           QStringLiteral("S"),
                                           RuleRepository::formatNumber(number++),
                                           QStringLiteral("T"),
                                           QString::number(code),
                                           empty,
                                           cst,
                                           QStringLiteral("1"),
                                           QStringLiteral("0"),
                                           QStringLiteral("0"),
                                           QStringLiteral("0"),
                                           empty,
                                           empty,
                                           QStringLiteral("S"),
                                           QStringLiteral("S"),
                                           QStringLiteral("A"),
                                           QStringLiteral("N")};
                for (int i = 0; i < 17; ++i)
                    insert.bindValue(i, values[i]);
                insert.exec();
            }
        QSqlQuery(db).exec(QStringLiteral("COMMIT"));
        directInsert = timer.nsecsElapsed();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("direct-insert"));
    std::printf("cadAutoInsere of 20000 rules: %.1f ms; prepared-insert transaction: %.1f ms\n",
                ms(serverInsert), ms(directInsert));
    const double insertRatio =
        static_cast<double>(serverInsert) / static_cast<double>(directInsert);

    constexpr qsizetype LongList = RdmConsisteFiscal::MaxListRules;
    QStringList numbers;
    {
        QSqlDatabase db = openDirect(served, QStringLiteral("numbers"));
        QSqlQuery query(db);
        query.exec(QStringLiteral("SELECT nrseqconsiste FROM consistencia WHERE cdimposto = '%1' "
                                  "AND idconspredefi = 'N' ORDER BY 1 LIMIT %2")
                       .arg(Tax)
                       .arg(LongList));
        while (query.next())
            numbers.append(query.value(0).toString());
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("numbers"));
    if (numbers.size() != LongList) {
        std::fprintf(stderr, "expected %lld user rules to list\n",
                     static_cast<long long>(LongList));
        return 1;
    }
    qint64 shortList = 0, longList = 0;
    {
        Server server(served);
        WireClient client(server.port());
        client.call(QStringLiteral("getImposto"), {Tax, QString()});
        const QJsonArray flags{false, false, false, false, false, false, true};
        // Each run flips the check flags, so every listed rule is written.
        const auto atualiza = [&](qsizetype count, const QString &atEntry) {
            const QJsonArray values =
                QJsonArray::fromStringList({QString(), QString(), QString(), QString(), QString(),
                                            QString(), atEntry, QStringLiteral("S")});
            const QString list = numbers.mid(0, count).join(QLatin1Char(','));
            QElapsedTimer timer;
            timer.start();
            const QByteArray reply = client.call(QStringLiteral("cadAutoAtualiza"),
                                                 {Tax, QString(), QString(), list, flags, values});
            const qint64 elapsed = timer.nsecsElapsed();
            if (!reply.contains(QByteArray("\"affected\":").append(QByteArray::number(count)))) {
                std::fprintf(stderr, "cadAutoAtualiza failed: %s\n", reply.left(300).constData());
                std::exit(1);
            }
            return elapsed;
        };
        shortList = std::min(atualiza(LongList / 10, QStringLiteral("N")),
                             atualiza(LongList / 10, QStringLiteral("S")));
        longList = std::min(atualiza(LongList, QStringLiteral("N")),
                            atualiza(LongList, QStringLiteral("S")));
    }
    std::printf("cadAutoAtualiza by a list of %lld rules: %.1f ms; of %lld rules: %.1f ms\n",
                static_cast<long long>(LongList / 10), ms(shortList),
                static_cast<long long>(LongList), ms(longList));
    const double listRatio =
        static_cast<double>(longList) / (10.0 * static_cast<double>(shortList));

    const QByteArray request = largeDeltaRequest();
    DeltaReading reading;
    qint64 bestCheck = -1, bestParse = -1, bestRead = -1;
    for (int round = 0; round < Rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        const bool strict = kvr::protocol::StrictJson::validate(request);
        const qint64 check = timer.nsecsElapsed();
        timer.restart();
        const bool parsed = QJsonDocument::fromJson(request).isObject();
        const qint64 parse = timer.nsecsElapsed();
        timer.restart();
        const QByteArray reply = reading.run(request);
        const qint64 read = timer.nsecsElapsed();
        const QByteArray expected = QByteArrayLiteral(",\"result\":") +
                                    QByteArray::number(RdmConsisteFiscal::MaxDeltaChanges);
        if (!strict || !parsed || !reply.contains(expected)) {
            std::fprintf(stderr, "the large request did not read: %s\n",
                         reply.left(300).constData());
            return 1;
        }
        bestCheck = bestCheck < 0 ? check : std::min(bestCheck, check);
        bestParse = bestParse < 0 ? parse : std::min(bestParse, parse);
        bestRead = bestRead < 0 ? read : std::min(bestRead, read);
    }
    std::printf("strict-JSON check of a %lld-byte request: %.1f ms; QJsonDocument parse: %.1f ms\n",
                static_cast<long long>(request.size()), ms(bestCheck), ms(bestParse));
    std::printf("setConsistencia of %lld changes read into rule records: %.1f ms\n",
                static_cast<long long>(RdmConsisteFiscal::MaxDeltaChanges), ms(bestRead));
    const double checkRatio = static_cast<double>(bestCheck) / static_cast<double>(bestParse);
    const double deltaRatio = static_cast<double>(bestRead) / static_cast<double>(bestParse);

    std::printf("ratio getConsistencias/C API read: %.2f (target <= 2.0)\n", readRatio);
    std::printf("ratio screen load/C API read: %.2f (target <= 3.0)\n", screenRatio);
    std::printf("ratio getImposto/echo round trip: %.2f (target <= 3.0)\n", smallRatio);
    std::printf("ratio cadAutoInsere/direct insert: %.2f (target <= 2.0)\n", insertRatio);
    std::printf("ratio cadAutoAtualiza per listed rule, long/short list: %.2f (target <= 1.5)\n",
                listRatio);
    std::printf("ratio strict-JSON check/QJsonDocument parse: %.2f (target <= 0.25)\n", checkRatio);
    std::printf("ratio setConsistencia request read/QJsonDocument parse: %.2f\n", deltaRatio);
    return 0;
}
