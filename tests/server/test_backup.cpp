#include "tests/server/ServerTest.h"

#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <atomic>
#include <mutex>
#include <thread>

using namespace kvr::test;
using kvr::protocol::RpcResponse;

namespace {

class Backup : public ServerTest
{
protected:
    QString databasePath() const { return m_db->url().mid(int(qstrlen("sqlite:"))); }

    // Runs kvr-appserver for one job on the test database; its exit code and output.
    int run(const QStringList &arguments, QString *output = nullptr)
    {
        QProcess process;
        process.start(ServerProcess::binary(),
                      QStringList{QStringLiteral("--db"), m_db->url()} + arguments);
        EXPECT_TRUE(process.waitForFinished(60000));
        if (output)
            *output =
                QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    // Rules per CFOP in a database file.
    static QMap<QString, qint64> rulesByCfop(const QString &path, QString *integrity = nullptr)
    {
        QMap<QString, qint64> counts;
        {
            QSqlDatabase db =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("copy"));
            db.setDatabaseName(path);
            EXPECT_TRUE(db.open());
            QSqlQuery query(db);
            if (integrity && query.exec(QStringLiteral("PRAGMA integrity_check")) && query.next())
                *integrity = query.value(0).toString();
            query.exec(QStringLiteral("SELECT cdfiscoper, COUNT(*) FROM consistencia "
                                      "WHERE cdimposto = '01' GROUP BY cdfiscoper"));
            while (query.next())
                counts[query.value(0).toString()] = query.value(1).toLongLong();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("copy"));
        return counts;
    }
};

// Rules are generated CFOP by CFOP on another connection while the copy runs;
// every generation acknowledged before the copy started must be in it whole.
TEST_P(Backup, ACopyTakenUnderWriteLoadIsSoundAndHoldsEveryAcknowledgedChange)
{
    QStringList cfops;
    for (const QStringList &row : packetOf(call(QStringLiteral("getCFOP"), {})).rows)
        cfops.append(row.first());
    ASSERT_GT(cfops.size(), 100);

    std::mutex mutex;
    QMap<QString, qint64> acknowledged; // CFOP -> rules created
    std::atomic<bool> stop{false};
    const quint16 port = m_server.port();
    std::thread writer([&] {
        RpcClient client;
        if (!client.connectTo(port))
            return;
        for (const QString &cfop : cfops) {
            if (stop)
                break;
            const RpcResponse response =
                client.call(QStringLiteral("cadAutoInsere"),
                            QJsonArray::fromStringList(
                                {"01", "00", "90", cfop, cfop, "0", "0", "0", "S", "N", "2", "B"}));
            if (response.ok) {
                std::lock_guard<std::mutex> lock(mutex);
                acknowledged[cfop] =
                    response.result.toObject().value(QStringLiteral("affected")).toInteger();
            }
        }
    });
    while (true) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (acknowledged.size() >= 5)
                break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    QMap<QString, qint64> before;
    {
        std::lock_guard<std::mutex> lock(mutex);
        before = acknowledged;
    }
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("copia.sqlite"));
    QString output;
    EXPECT_EQ(run({QStringLiteral("--backup"), copy}, &output), 0) << output.toStdString();
    {
        std::lock_guard<std::mutex> lock(mutex);
        EXPECT_GT(acknowledged.size(), before.size()) << "the writes went on during the copy";
    }
    stop = true;
    writer.join();

    QString integrity;
    const QMap<QString, qint64> copied = rulesByCfop(copy, &integrity);
    EXPECT_EQ(integrity, QStringLiteral("ok"));
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        EXPECT_GE(copied.value(it.key()), it.value()) << it.key().toStdString();
    EXPECT_TRUE(dir.isValid() && QDir(dir.path()).entryList(QDir::Files).size() == 1)
        << "no partial file left beside the copy";
}

// A restore waits for the servers to stop, refuses what is not a sound copy,
// and otherwise brings the copy back.
TEST_P(Backup, RestoreIsRefusedWhileServingAndPutsTheCopyBack)
{
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("copia.sqlite"));
    const QString junk = dir.filePath(QStringLiteral("lixo.sqlite"));
    {
        QFile out(junk);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("isto não é um banco");
    }
    ASSERT_EQ(run({QStringLiteral("--backup"), copy}), 0);
    const QMap<QString, qint64> saved = rulesByCfop(copy);
    ASSERT_TRUE(insere(QStringLiteral("01"), QStringLiteral("00"), QStringLiteral("90"),
                       QStringLiteral("5102"), QStringLiteral("5102"), QStringLiteral("2"))
                    .ok);
    ASSERT_NE(rulesByCfop(databasePath()), saved);

    const struct
    {
        bool serving;
        QString file;
        int exitCode;
        const char *says;
    } cases[] = {
        {true, copy, 1, "Há um servidor de aplicação usando o banco"},
        {false, junk, 1, "não é uma cópia íntegra do banco de consistências"},
        {false, dir.filePath(QStringLiteral("falta.sqlite")), 1, "não existe"},
        {false, copy, 0, "restaurado de"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.says);
        if (!c.serving)
            m_server.stop();
        QString output;
        EXPECT_EQ(run({QStringLiteral("--restore"), c.file}, &output), c.exitCode);
        EXPECT_TRUE(output.contains(QString::fromUtf8(c.says))) << output.toStdString();
    }
    EXPECT_EQ(rulesByCfop(databasePath()), saved);
    // The restored database serves again.
    ServerProcess again;
    ASSERT_TRUE(again.start(m_db->url())) << again.errorText().toStdString();
    RpcClient client;
    ASSERT_TRUE(client.connectTo(again.port()));
    EXPECT_TRUE(client.call(QStringLiteral("getConsistencias"), {QStringLiteral("01")}).ok);
}

INSTANTIATE_TEST_SUITE_P(Sqlite, Backup, ::testing::Values(Backend::Sqlite), backendName);

} // namespace
