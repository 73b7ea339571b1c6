#include "server/storage/SqliteStorage.h"

namespace kvr::server {

void SqliteStorage::configure(QSqlDatabase &db, const DatabaseUrl &url)
{
    db.setDatabaseName(url.path);
    // A writer waits up to a minute for another instead of failing at once.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=60000"));
}

void SqliteStorage::afterOpen()
{
    execute(QStringLiteral("PRAGMA journal_mode=WAL"));
    execute(QStringLiteral("PRAGMA synchronous=NORMAL"));
}

void SqliteStorage::beginWrite()
{
    // IMMEDIATE takes the write lock now (waiting for it), so a transaction never
    // has to upgrade a read lock, which SQLite would refuse without waiting.
    execute(QStringLiteral("BEGIN IMMEDIATE"));
}

} // namespace kvr::server
