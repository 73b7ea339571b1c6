#include "fiscal/RuleRecord.h"
#include "protocol/LineFramer.h"
#include "tests/server/ServerTest.h"

#include <QDeadlineTimer>
#include <QSqlQuery>

#include <csignal>

using namespace kvr::test;
using kvr::protocol::RpcResponse;
using R = kvr::fiscal::RuleRecord;

namespace {

constexpr int AfterReply = -1;

class Kill : public ServerTest
{
protected:
    void TearDown() override
    {
        QSqlDatabase::removeDatabase(QStringLiteral("kill-probe"));
        ServerTest::TearDown();
    }

    // True while a writer transaction is open on the test's database: SQLite
    // refuses a second writer at once, and the PostgreSQL writer holds an
    // advisory lock.
    bool writerBusy()
    {
        if (GetParam() == Backend::Postgres) {
            QSqlQuery query(m_db->direct());
            query.exec(QStringLiteral(
                "SELECT COUNT(*) FROM pg_locks WHERE locktype = 'advisory' AND granted AND "
                "database = (SELECT oid FROM pg_database WHERE datname = current_database())"));
            return query.next() && query.value(0).toInt() > 0;
        }
        if (!QSqlDatabase::contains(QStringLiteral("kill-probe"))) {
            QSqlDatabase db =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("kill-probe"));
            db.setDatabaseName(m_db->url().mid(7));
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
            db.open();
        }
        QSqlQuery query(QSqlDatabase::database(QStringLiteral("kill-probe")));
        if (!query.exec(QStringLiteral("BEGIN IMMEDIATE")))
            return true;
        query.exec(QStringLiteral("ROLLBACK"));
        return false;
    }

    // Sends the request, kills the server `delayMs` after its writer began
    // (or once it answered) and starts it again on the same database. True
    // when the writer was seen at work before the kill.
    bool killDuring(const QString &method, const QJsonArray &params, int delayMs)
    {
        m_client.sendRaw(kvr::protocol::LineFramer::frame(kvr::protocol::encodeRequest(
            1, QStringLiteral("kvr51400.rdmConsisteFiscal.") + method, params)));
        bool seen = false;
        if (delayMs == AfterReply) {
            EXPECT_TRUE(m_client.readResponse().ok);
        } else {
            const QDeadlineTimer deadline(30000);
            while (!deadline.hasExpired() && !(seen = writerBusy()) &&
                   !m_client.socket().waitForReadyRead(2)) {
            }
            // The delay is the point of the call the kill lands in, not a wait.
            const QDeadlineTimer delay(delayMs);
            while (!delay.hasExpired())
                m_client.socket().waitForReadyRead(static_cast<int>(delay.remainingTime()) + 1);
        }
        m_server.stop(SIGKILL);
        m_client.socket().abort();
        EXPECT_TRUE(m_server.start(m_db->url())) << m_server.errorText().toStdString();
        EXPECT_TRUE(m_client.connectTo(m_server.port()));
        return seen;
    }

    qint64 described(const QString &text)
    {
        QSqlQuery query(m_db->direct());
        query.prepare(QStringLiteral("SELECT COUNT(*) FROM consistencia WHERE dsconsistencia = ?"));
        query.addBindValue(text);
        return query.exec() && query.next() ? query.value(0).toLongLong() : -1;
    }
};

} // namespace

// Whatever point of a large write the server dies at, after a restart the
// write is there whole or not at all.
TEST_P(Kill, LargeWriteKilledMidwayIsAllOrNothing)
{
    // The large call of a trial: a cadAutoInsere of many CFOPs and CSTs with a
    // fiscal code and flag of its own, so that each creates new rules, or (no
    // code) a delta editing many rules; `delayMs` is how long after the server's
    // writer opened its transaction the server is killed (AfterReply: once it answered).
    const struct
    {
        const char *fiscalAndFlag;
        int delayMs;
    } trials[] = {{"1 B", 0},          {"2 B", 20},  {"3 B", 60},
                  {"1 A", AfterReply}, {nullptr, 0}, {nullptr, 20}};
    int rolledBack = 0;
    for (int t = 0; t < int(std::size(trials)); ++t) {
        const auto &trial = trials[t];
        SCOPED_TRACE(t);
        if (trial.fiscalAndFlag) {
            const QJsonArray args =
                QJsonArray::fromStringList(QStringLiteral("50 01 56 5101 5949 0 0 0 S N %1")
                                               .arg(trial.fiscalAndFlag)
                                               .split(' '));
            const qint64 before = ruleCount();
            const bool seen = killDuring(QStringLiteral("cadAutoInsere"), args, trial.delayMs);
            const qint64 after = ruleCount();
            // The same call again completes whatever is missing.
            const RpcResponse again = call(QStringLiteral("cadAutoInsere"), args);
            ASSERT_TRUE(again.ok) << again.fault.message.toStdString();
            const qint64 all = ruleCount() - before;
            ASSERT_GT(all, 2000);
            if (trial.delayMs == AfterReply)
                EXPECT_EQ(after, before + all) << "an acknowledged write was lost";
            else
                EXPECT_TRUE(after == before || after == before + all)
                    << "before " << before << ", after the kill " << after << ", all " << all;
            rolledBack += seen && after == before;
        } else {
            QJsonArray changes;
            const QString text = QStringLiteral("morto %1").arg(t);
            for (const QStringList &row : rules(QStringLiteral("50")).rows) {
                if (row.at(R::IDCONSPREDEFI) != QLatin1String("N") || changes.size() == 1000)
                    continue;
                changes.append(
                    updateChange(row, withField(row, QStringLiteral("DSCONSISTENCIA"), text)));
            }
            ASSERT_EQ(changes.size(), 1000);
            const bool seen =
                killDuring(QStringLiteral("setConsistencia"), {delta(changes)}, trial.delayMs);
            const qint64 edited = described(text);
            EXPECT_TRUE(edited == 0 || edited == changes.size()) << edited << " rules edited";
            rolledBack += seen && edited == 0;
            if (edited == 0) {
                // Undone, not refused: the same delta goes through whole.
                const RpcResponse again = call(QStringLiteral("setConsistencia"), {delta(changes)});
                ASSERT_TRUE(again.ok) << again.fault.message.toStdString();
                EXPECT_EQ(described(text), changes.size());
            }
        }
    }
    // At least one kill landed inside an open transaction, which was undone.
    EXPECT_GT(rolledBack, 0);
}

KVR_ON_BOTH_BACKENDS(Kill);
