#include "tests/server/TestDatabase.h"

#include <QCoreApplication>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

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
} // namespace

TestDatabase::TestDatabase(Backend backend) : m_backend(backend) {}

TestDatabase::~TestDatabase()
{
    if (!m_directName.isEmpty()) {
        QSqlDatabase::database(m_directName, false).close();
        QSqlDatabase::removeDatabase(m_directName);
    }
    if (m_backend == Backend::Postgres && !m_name.isEmpty()) {
        const QString admin = QStringLiteral("kvr-test-admin-drop");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), admin);
            const QUrl url(qEnvironmentVariable("KVR_TEST_PG_URL"));
            configureFromUrl(db, url, url.path().mid(1));
            if (db.open())
                QSqlQuery(db).exec(
                    QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_name));
            db.close();
        }
        QSqlDatabase::removeDatabase(admin);
    }
}

QString TestDatabase::unavailableReason(Backend backend)
{
    if (backend == Backend::Postgres && qEnvironmentVariableIsEmpty("KVR_TEST_PG_URL"))
        return QStringLiteral("KVR_TEST_PG_URL is not set: no PostgreSQL cluster to test on");
    return {};
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
    m_name =
        QStringLiteral("kvr_test_%1_%2").arg(QCoreApplication::applicationPid()).arg(++g_counter);
    const QUrl admin(qEnvironmentVariable("KVR_TEST_PG_URL"));
    const QString connection = QStringLiteral("kvr-test-admin-create");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
        configureFromUrl(db, admin, admin.path().mid(1));
        if (!db.open()) {
            m_error = db.lastError().text();
        } else {
            QSqlQuery query(db);
            ok = query.exec(QStringLiteral("CREATE DATABASE %1").arg(m_name));
            if (!ok)
                m_error = query.lastError().text();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(connection);
    if (!ok) {
        m_name.clear();
        return false;
    }
    QUrl url = admin;
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
