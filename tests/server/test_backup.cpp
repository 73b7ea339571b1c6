#include "tests/server/ServerTest.h"

#include <QCoreApplication>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <atomic>
#include <thread>

using namespace kvr::test;

namespace {

class Backup : public ServerTest
{
protected:
    // kvr-appserver for one job on the test database: its exit code; its output in m_output.
    int run(const QStringList &arguments)
    {
        const ServerProcess::Run job =
            ServerProcess::runOnce(QStringList{"--db", m_db->url()} + arguments);
        m_output = job.output;
        return job.exitCode;
    }
    QString m_output;

    // Rules of tax 01 per CFOP in a database file, and its integrity check.
    static QMap<QString, qint64> rulesByCfop(const QString &path, QString *integrity = nullptr)
    {
        QMap<QString, qint64> counts;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "copy");
            db.setDatabaseName(path);
            EXPECT_TRUE(db.open());
            QSqlQuery query(db);
            if (integrity && query.exec("PRAGMA integrity_check") && query.next())
                *integrity = query.value(0).toString();
            query.exec("SELECT cdfiscoper, COUNT(*) FROM consistencia WHERE cdimposto = '01' "
                       "GROUP BY cdfiscoper");
            while (query.next())
                counts[query.value(0).toString()] = query.value(1).toLongLong();
        }
        QSqlDatabase::removeDatabase("copy");
        return counts;
    }
};

// Rules are generated CFOP by CFOP on another connection while the copy is
// taken; every generation acknowledged before it began must be in it whole.
TEST_P(Backup, ACopyTakenUnderWriteLoadIsSoundAndHoldsEveryAcknowledgedChange)
{
    QStringList cfops;
    for (const QStringList &row : packetOf(call("getCFOP", {})).rows)
        cfops.append(row.first());
    // Generation i is acknowledged once done > i; affected[i] rules it created.
    std::vector<std::atomic<qint64>> affected(size_t(cfops.size()));
    std::atomic<int> done{0};
    std::atomic<bool> stop{false};
    std::thread writer([&, port = m_server.port()] {
        RpcClient client;
        const bool connected = client.connectTo(port);
        for (int i = 0; connected && !stop && i < cfops.size(); ++i) {
            const auto response = client.call(
                "cadAutoInsere", QJsonArray::fromStringList({"01", "00", "90", cfops[i], cfops[i],
                                                             "0", "0", "0", "S", "N", "2", "B"}));
            affected[size_t(i)] = response.result.toObject()["affected"].toInteger(-1);
            done = i + 1;
        }
    });
    while (done < 5)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const int before = done;
    QTemporaryDir dir;
    const QString copy = dir.filePath("copia.sqlite");
    EXPECT_EQ(run({"--backup", copy}), 0) << m_output.toStdString();
    EXPECT_GT(done, before) << "the writes went on during the copy";
    stop = true;
    writer.join();

    QString integrity;
    const QMap<QString, qint64> copied = rulesByCfop(copy, &integrity);
    EXPECT_EQ(integrity, "ok");
    for (int i = 0; i < before; ++i)
        EXPECT_GE(copied.value(cfops[i]), affected[size_t(i)]) << cfops[i].toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1) << "no partial file is left";
}

// A restore waits for the servers to stop, refuses what is not a sound copy,
// and otherwise brings the copy back.
TEST_P(Backup, RestoreIsRefusedWhileServingAndPutsTheCopyBack)
{
    QTemporaryDir dir;
    const QString copy = dir.filePath("copia.sqlite");
    const QString junk = QCoreApplication::applicationFilePath(); // no database
    ASSERT_EQ(run({"--backup", copy}), 0);
    const QMap<QString, qint64> saved = rulesByCfop(copy);
    ASSERT_TRUE(insere("01", "00", "90", "5102", "5102", "2").ok);
    const QString database = m_db->url().mid(7);
    ASSERT_NE(rulesByCfop(database), saved);

    const struct
    {
        bool serving;
        QString file;
        int exitCode;
        const char *says;
    } cases[] = {
        {true, copy, 1, "Há um servidor de aplicação usando o banco"},
        {false, junk, 1, "não é uma cópia íntegra do banco de consistências"},
        {false, dir.filePath("falta.sqlite"), 1, "não existe"},
        {false, copy, 0, "restaurado de"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.says);
        if (!c.serving)
            m_server.stop();
        EXPECT_EQ(run({"--restore", c.file}), c.exitCode);
        EXPECT_TRUE(m_output.contains(QString::fromUtf8(c.says))) << m_output.toStdString();
    }
    EXPECT_EQ(rulesByCfop(database), saved);
}

INSTANTIATE_TEST_SUITE_P(Sqlite, Backup, ::testing::Values(Backend::Sqlite), backendName);

} // namespace
