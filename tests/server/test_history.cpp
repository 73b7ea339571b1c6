#include "tests/server/ServerTest.h"

#include <QDateTime>

#include <functional>

using namespace kvr::test;
using kvr::protocol::DataPacket;
using kvr::protocol::RpcResponse;

namespace {

const QString Tax = QStringLiteral("01");

// A --login server on the test's database and a client logged in as `user`.
struct LoggedIn
{
    ServerProcess server;
    RpcClient client;

    bool start(const QString &dbUrl, const QString &user)
    {
        if (!ServerTest::addUser(dbUrl, user, "senha-de-teste") ||
            !server.start(dbUrl, {QStringLiteral("--login")}) || !client.connectTo(server.port()))
            return false;
        return client
            .callFull(QStringLiteral("kvr.login"), {user, QStringLiteral("senha-de-teste")})
            .ok;
    }
};

class History : public ServerTest
{
protected:
    DataPacket history(RpcClient &client, const QString &number)
    {
        const RpcResponse response = client.call(QStringLiteral("getHistorico"), {Tax, number});
        EXPECT_TRUE(response.ok) << response.fault.message.toStdString();
        return packetOf(response);
    }
    static QString value(const DataPacket &packet, int row, const char *name)
    {
        if (row >= static_cast<int>(packet.rows.size()))
            return QStringLiteral("(no row %1)").arg(row);
        return field(packet, packet.rows.at(static_cast<size_t>(row)), QString::fromLatin1(name));
    }
};

} // namespace

TEST_P(History, EveryChangeLeavesOneRowPerRuleInItsTransaction)
{
    const QDateTime started = QDateTime::currentDateTimeUtc().addSecs(-1);
    LoggedIn maria;
    ASSERT_TRUE(maria.start(m_db->url(), QStringLiteral("maria")));
    ASSERT_TRUE(maria.client
                    .call(QStringLiteral("cadAutoInsere"),
                          {Tax, "00", "00", "1102", "1102", "0", "0", "0", "S", "N", "1", "B"})
                    .ok);
    QStringList created;
    for (const QStringList &row : rules(Tax).rows)
        if (field(row, QStringLiteral("CDFISCOPER")) == QLatin1String("1102") &&
            field(row, QStringLiteral("CDFISCAL")) == QLatin1String("1"))
            created = row;
    ASSERT_FALSE(created.isEmpty());
    const QString number = field(created, QStringLiteral("NRSEQCONSISTE"));
    const QStringList described =
        withField(created, QStringLiteral("DSCONSISTENCIA"), QStringLiteral("Venda — revista"));
    QStringList ghost =
        withField(created, QStringLiteral("NRSEQCONSISTE"), QStringLiteral("9999999999"));
    const QJsonArray noEntryChecks = {false, false, false, false, false, false, true};
    const QJsonArray entryValues = {"", "", "", "", "", "", "N", "N"};

    const struct
    {
        const char *name;
        std::function<RpcResponse()> change;
        bool ok;
        const char *operation; // of the newest row afterwards; nullptr: no new row
        const char *fields;
        const char *method;
    } steps[] = {
        {"created",
         [] {
             RpcResponse done;
             done.ok = true;
             return done;
         },
         true, "I", nullptr, "cadAutoInsere"},
        {"described",
         [&] {
             return maria.client.call(QStringLiteral("setConsistencia"),
                                      {delta({updateChange(created, described)})});
         },
         true, "A", "DSCONSISTENCIA", "setConsistencia"},
        {"stale change refused",
         [&] {
             return maria.client.call(QStringLiteral("setConsistencia"),
                                      {delta({updateChange(created, created)})});
         },
         false, nullptr, nullptr, nullptr},
        {"rolled back with a later conflict",
         [&] {
             return maria.client.call(
                 QStringLiteral("setConsistencia"),
                 {delta({updateChange(described, withField(described, QStringLiteral("IDCONSATIVA"),
                                                           QStringLiteral("N"))),
                         deleteChange(ghost)})});
         },
         false, nullptr, nullptr, nullptr},
        {"entry checks off",
         [&] {
             return maria.client.call(QStringLiteral("cadAutoAtualiza"),
                                      {Tax, "", "", number, noEntryChecks, entryValues});
         },
         true, "A", "IDCONSISTELANC", "cadAutoAtualiza"},
        {"unchanged again: no row",
         [&] {
             return maria.client.call(QStringLiteral("cadAutoAtualiza"),
                                      {Tax, "", "", number, noEntryChecks, entryValues});
         },
         true, nullptr, nullptr, nullptr},
        {"deleted",
         [&] {
             return maria.client.call(
                 QStringLiteral("setConsistencia"),
                 {delta({deleteChange(withField(described, QStringLiteral("IDCONSISTELANC"),
                                                QStringLiteral("N")))})});
         },
         true, "E", nullptr, "setConsistencia"},
    };
    qsizetype rows = 0;
    for (const auto &step : steps) {
        SCOPED_TRACE(step.name);
        const RpcResponse response = step.change();
        EXPECT_EQ(response.ok, step.ok) << response.fault.message.toStdString();
        const DataPacket packet = history(maria.client, number);
        ASSERT_EQ(qsizetype(packet.rows.size()), rows + (step.operation ? 1 : 0));
        rows = packet.rows.size();
        if (!step.operation)
            continue;
        EXPECT_EQ(value(packet, 0, "IDOPERACAO"), QString::fromLatin1(step.operation));
        EXPECT_EQ(value(packet, 0, "NMMETODO"), QString::fromLatin1(step.method));
        EXPECT_EQ(value(packet, 0, "NMUSUARIO"), QStringLiteral("maria"));
        EXPECT_EQ(value(packet, 0, "DSORIGEM"), QStringLiteral("127.0.0.1"));
        EXPECT_EQ(value(packet, 0, "NRSEQCONSISTE"), number);
        const QDateTime when =
            QDateTime::fromString(value(packet, 0, "DTALTERACAO"), Qt::ISODateWithMs);
        EXPECT_EQ(when.timeSpec(), Qt::UTC);
        EXPECT_TRUE(when >= started && when <= QDateTime::currentDateTimeUtc());
        if (step.fields) {
            EXPECT_EQ(value(packet, 0, "DSCAMPOS"), QString::fromLatin1(step.fields));
        }
    }
    // From what to what, for each kind of row (newest first: E, A, A, I).
    const DataPacket packet = history(maria.client, number);
    EXPECT_EQ(value(packet, 3, "IDCONSATIVA_ANTES"), QString());
    EXPECT_EQ(value(packet, 3, "IDCONSATIVA_DEPOIS"), QStringLiteral("S"));
    EXPECT_EQ(value(packet, 2, "DSCONSISTENCIA_ANTES"),
              field(created, QStringLiteral("DSCONSISTENCIA")));
    EXPECT_EQ(value(packet, 2, "DSCONSISTENCIA_DEPOIS"), QStringLiteral("Venda — revista"));
    EXPECT_EQ(value(packet, 1, "IDCONSISTELANC_ANTES"), QStringLiteral("S"));
    EXPECT_EQ(value(packet, 1, "IDCONSISTELANC_DEPOIS"), QStringLiteral("N"));
    EXPECT_EQ(value(packet, 0, "CDFISCOPER_ANTES"), QStringLiteral("1102"));
    EXPECT_EQ(value(packet, 0, "CDFISCOPER_DEPOIS"), QString());

    // Without a login the change is recorded without a user; a second app
    // server on the database adds to the same history.
    EXPECT_EQ(call(QStringLiteral("cadAutoInsere"),
                   {Tax, "00", "00", "1102", "1102", "0", "0", "0", "S", "N", "3", "B"})
                  .result.toObject()
                  .value(QStringLiteral("affected")),
              1);
    LoggedIn jose;
    ASSERT_TRUE(jose.start(m_db->url(), QStringLiteral("jose")));
    EXPECT_EQ(jose.client
                  .call(QStringLiteral("cadAutoInsere"),
                        {Tax, "00", "00", "1102", "1102", "0", "0", "0", "S", "N", "1", "A"})
                  .result.toObject()
                  .value(QStringLiteral("affected")),
              1);
    const DataPacket all = history(maria.client, QString());
    ASSERT_EQ(all.rows.size(), 6U);
    EXPECT_EQ(value(all, 0, "NMUSUARIO"), QStringLiteral("jose"));
    EXPECT_EQ(value(all, 1, "NMUSUARIO"), QString());
    EXPECT_EQ(value(all, 2, "NMUSUARIO"), QStringLiteral("maria"));
    EXPECT_GT(value(all, 0, "NRSEQHISTORICO").toLongLong(),
              value(all, 1, "NRSEQHISTORICO").toLongLong());

    const RpcResponse wrongTax = call(QStringLiteral("getHistorico"), {"7", ""});
    EXPECT_FALSE(wrongTax.ok);
    EXPECT_EQ(static_cast<int>(wrongTax.fault.code), 1000);
}

KVR_ON_BOTH_BACKENDS(History);
