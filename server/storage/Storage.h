#pragma once

#include "server/storage/DatabaseUrl.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <map>
#include <memory>

struct sqlite3;

namespace kvr::server {

// One database connection, owned by one thread. Queries are prepared once and
// reused; every failure is thrown as an AppError for the caller's reply.
class Storage
{
public:
    virtual ~Storage();
    Storage(const Storage &) = delete;
    Storage &operator=(const Storage &) = delete;

    // Opens a new connection of the URL's kind; throws AppError when it cannot.
    static std::unique_ptr<Storage> open(const DatabaseUrl &url);

    DatabaseUrl::Kind kind() const { return m_url.kind; }
    // The driver's own connection (sqlite3* or PGconn*), for reads that
    // bypass Qt's per-value conversions.
    QVariant nativeHandle() const;
    // The SQLite connection under the QSQLITE driver; nullptr on PostgreSQL.
    sqlite3 *sqliteHandle() const;

    // A prepared statement for `sql`, cached per connection, with its bindings reset.
    QSqlQuery &prepared(const QString &sql);
    // An empty text as a value to bind: a null QString would be bound as NULL.
    static QString text(const QString &value)
    {
        return value.isNull() ? QStringLiteral("") : value;
    }
    // Runs a prepared statement; throws on failure.
    void run(QSqlQuery &query);
    // Runs a statement without parameters (schema, settings).
    void execute(const QString &sql);

    // Starts a transaction that writes. Writers of all connections and all
    // servers on one database are serialised here, so checks made inside the
    // transaction stay true until it ends.
    virtual void beginWrite() = 0;
    void commit();
    void rollback();

    // After a failure: whether the connection still answers. A lost
    // connection (database restarted, network cut) is then opened anew.
    bool failedSinceLastCheck() const { return m_failed; }
    bool stillConnected();

protected:
    explicit Storage(const DatabaseUrl &url);
    virtual void configure(QSqlDatabase &db, const DatabaseUrl &url) = 0;
    virtual void afterOpen() = 0;
    QSqlDatabase &database() { return m_db; }
    // Throws a database AppError: `forClient` on the wire, `what` and the
    // driver's text in the log.
    [[noreturn]] void fail(const QString &what, const QSqlError &error,
                           const QString &forClient = Failed) const;

    static const QString Failed;
    static const QString Unavailable;

private:
    void openConnection();

    DatabaseUrl m_url;
    QString m_connectionName;
    QSqlDatabase m_db;
    std::map<QString, std::unique_ptr<QSqlQuery>> m_statements;
    mutable bool m_failed = false;
};

} // namespace kvr::server
