#include "tests/server/TestDatabase.h"

#include <QCoreApplication>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <gtest/gtest.h>

#include <atomic>

namespace kvr::test {

namespace {
std::atomic<int> g_counter{0};

void configureFromUrl(QSqlDatabase &db, const QUrl &url, const QString &database)
{
    db.setHostName(url.host());
    db.setPort(url.port(5432));
    db.setUserName(url.userName());
    db.setPassword(url.password());
    db.setDatabaseName(database);
}

// Runs statements on the cluster through the admin URL, or on `database`.
bool runOnCluster(const QStringList &statements, QString &error,
                  const QString &database = QString())
{
    const QString connection = QStringLiteral("kvr-test-admin-%1").arg(++g_counter);
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
        const QUrl admin(qEnvironmentVariable("KVR_TEST_PG_URL"));
        configureFromUrl(db, admin, database.isEmpty() ? admin.path().mid(1) : database);
        if (!db.open()) {
            error = db.lastError().text();
            ok = false;
        } else {
            QSqlQuery query(db);
            query.exec(QStringLiteral("SET client_min_messages TO warning"));
            for (const QString &sql : statements) {
                if (!query.exec(sql)) {
                    error = query.lastError().text();
                    ok = false;
                    break;
                }
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return ok;
}

QString g_sharedName;
bool g_sharedInUse = false;

// Drops the program's shared database once every test has run.
class SharedDatabaseCleanup final : public ::testing::Environment
{
public:
    void TearDown() override
    {
        if (g_sharedName.isEmpty())
            return;
        QString error;
        runOnCluster({QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(g_sharedName)},
                     error);
        g_sharedName.clear();
    }
};

[[maybe_unused]] ::testing::Environment *const g_cleanup =
    ::testing::AddGlobalTestEnvironment(new SharedDatabaseCleanup);

} // namespace

TestDatabase::TestDatabase(Backend backend) : m_backend(backend) {}

TestDatabase::~TestDatabase()
{
    if (!m_directName.isEmpty()) {
        QSqlDatabase::database(m_directName, false).close();
        QSqlDatabase::removeDatabase(m_directName);
    }
    if (m_holdsShared) {
        g_sharedInUse = false;
    } else if (m_backend == Backend::Postgres && !m_name.isEmpty()) {
        QString error;
        runOnCluster({QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_name)},
                     error);
    }
}

QString TestDatabase::unavailableReason(Backend backend)
{
    if (backend == Backend::Postgres && qEnvironmentVariableIsEmpty("KVR_TEST_PG_URL"))
        return QStringLiteral("KVR_TEST_PG_URL is not set: no PostgreSQL cluster to test on");
    return {};
}

bool TestDatabase::createPostgres(const QString &name)
{
    return runOnCluster({QStringLiteral("CREATE DATABASE %1").arg(name)}, m_error);
}

bool TestDatabase::emptyPostgres(const QString &name)
{
    // Everything the migrations made (tables, triggers, functions) goes.
    return runOnCluster(
        {QStringLiteral("DROP SCHEMA public CASCADE"), QStringLiteral("CREATE SCHEMA public")},
        m_error, name);
}

bool TestDatabase::create()
{
    if (m_backend == Backend::Sqlite) {
        if (!m_dir.isValid()) {
            m_error = QStringLiteral("no temporary folder");
            return false;
        }
        m_url = QStringLiteral("sqlite:") + m_dir.filePath(QStringLiteral("kvr.sqlite"));
        return true;
    }
    if (!g_sharedInUse) {
        if (g_sharedName.isEmpty()) {
            const QString name =
                QStringLiteral("kvr_test_%1").arg(QCoreApplication::applicationPid());
            QString ignored;
            runOnCluster({QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name)},
                         ignored);
            if (!createPostgres(name))
                return false;
            g_sharedName = name;
        } else if (!emptyPostgres(g_sharedName)) {
            return false;
        }
        g_sharedInUse = true;
        m_holdsShared = true;
        m_name = g_sharedName;
    } else {
        m_name = QStringLiteral("kvr_test_%1_%2")
                     .arg(QCoreApplication::applicationPid())
                     .arg(++g_counter);
        if (!createPostgres(m_name)) {
            m_name.clear();
            return false;
        }
    }
    QUrl url(qEnvironmentVariable("KVR_TEST_PG_URL"));
    url.setPath(QLatin1Char('/') + m_name);
    m_url = url.toString();
    return true;
}

QSqlDatabase TestDatabase::direct()
{
    if (m_directName.isEmpty()) {
        m_directName = QStringLiteral("kvr-test-direct-%1").arg(++g_counter);
        if (m_backend == Backend::Sqlite) {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_directName);
            db.setDatabaseName(m_url.mid(7));
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=30000"));
            db.open();
        } else {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_directName);
            configureFromUrl(db, QUrl(m_url), m_name);
            db.open();
        }
    }
    return QSqlDatabase::database(m_directName);
}

} // namespace kvr::test
