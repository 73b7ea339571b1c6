#include "server/storage/PostgresStorage.h"

namespace kvr::server {

namespace {
// Key of the lock that serialises writers of this module across app servers.
constexpr int WriterLockKey = 51400;
} // namespace

void PostgresStorage::configure(QSqlDatabase &db, const DatabaseUrl &url)
{
    db.setHostName(url.host);
    db.setPort(url.port);
    db.setUserName(url.user);
    db.setPassword(url.password);
    db.setDatabaseName(url.database);
    db.setConnectOptions(QStringLiteral("connect_timeout=10"));
}

void PostgresStorage::afterOpen()
{
    execute(QStringLiteral("SET client_min_messages TO warning"));
}

void PostgresStorage::beginWrite()
{
    execute(QStringLiteral("BEGIN"));
    QSqlQuery &lock = prepared(QStringLiteral("SELECT pg_advisory_xact_lock(?)"));
    lock.addBindValue(WriterLockKey);
    run(lock);
    lock.finish();
}

} // namespace kvr::server
