#pragma once

#include "server/storage/DatabaseUrl.h"

#include <QHostAddress>
#include <QString>
#include <QStringList>

namespace kvr::server {

// The command line: [--listen HOST:PORT] [--db URL] [--seed] [--max-message BYTES],
// the limits of serving (pool, connections, memory, timeouts, shutdown), the
// access token and TLS files, [--config FILE] (any of them as "name = value"
// lines; the command line wins), [--backup FILE | --restore FILE], [--help].
struct ServerOptions
{
    QHostAddress host = QHostAddress::LocalHost;
    quint16 port = 2140;
    DatabaseUrl database;
    bool seed = false;
    QString cfopTable; // for --seed; "" for the built-in table
    qsizetype maxMessage = 64 * 1024 * 1024;
    int dbPool = defaultDbPool();
    int maxConnections = 1000;
    qint64 maxPending = 256 * 1024 * 1024;
    int idleTimeoutS = 600;
    int lineTimeoutS = 60;
    int shutdownGraceS = 10;
    QString tokenFile;
    QString tlsCert;
    QString tlsKey;
    QString backupFile;  // copy the SQLite database there and exit
    QString restoreFile; // put this copy back into the SQLite database and exit
    bool help = false;

    // Accounts and the history of changes.
    bool login = false;
    int authTimeoutS = 10;
    bool history = true;
    QString addUser;
    QString removeUser;
    bool listUsers = false;
    // An account command was given: do it and exit.

    // Returns false with a message for the user when the arguments are wrong;
    // `help` is set either way.
    static bool parse(const QStringList &arguments, ServerOptions &options, QString &problem);
    static QString usage();
    // Two call threads (database connections) a core, at least two.
    static int defaultDbPool();
};

} // namespace kvr::server
