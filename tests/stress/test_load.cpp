#include "tests/server/ServerTest.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>

using namespace kvr::test;

namespace {

class Load : public ServerTest
{
};

} // namespace

// A short kvr-load run: on SQLite through one app server, on PostgreSQL
// through two sharing the database. kvr-load fails on any lost or doubled
// change and on any answer other than success or a conflict.
TEST_P(Load, FewClientsLoseNoAcknowledgedChange)
{
    QStringList args = {
        QStringLiteral("--clients"),  QStringLiteral("4"),
        QStringLiteral("--duration"), QStringLiteral("3"),
        QStringLiteral("--server"),   QStringLiteral("127.0.0.1:%1").arg(m_server.port())};
    std::unique_ptr<ServerProcess> second;
    if (GetParam() == Backend::Postgres) {
        second = startAnotherServer();
        ASSERT_TRUE(second);
        args << QStringLiteral("--server") << QStringLiteral("127.0.0.1:%1").arg(second->port());
    }
    QProcess load;
    load.setProcessChannelMode(QProcess::MergedChannels);
    const QString bin = qEnvironmentVariable("KVR_BIN_DIR", QCoreApplication::applicationDirPath());
    load.start(QDir(bin).filePath(QStringLiteral("kvr-load")), args);
    ASSERT_TRUE(load.waitForFinished(180000));
    const QString output = QString::fromUtf8(load.readAll());
    EXPECT_EQ(load.exitStatus(), QProcess::NormalExit) << output.toStdString();
    EXPECT_EQ(load.exitCode(), 0) << output.toStdString();

    // Each kind of write was acknowledged, so the check had something to find.
    static const QRegularExpression counts(
        QStringLiteral("acknowledged: inserted=(\\d+) updated=(\\d+) edited=(\\d+)"));
    const QRegularExpressionMatch match = counts.match(output);
    ASSERT_TRUE(match.hasMatch()) << output.toStdString();
    for (int kind = 1; kind <= 3; ++kind)
        EXPECT_GT(match.captured(kind).toInt(), 0) << output.toStdString();
}

KVR_ON_BOTH_BACKENDS(Load);
