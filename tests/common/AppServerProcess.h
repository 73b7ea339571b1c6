#pragma once

#include "tests/common/ServerProcess.h"

#include <QTemporaryDir>

// A real kvr-appserver on a fresh, seeded SQLite database in a temporary
// folder, listening on a free port of 127.0.0.1; stopped on destruction.
class AppServerProcess final
{
public:
    // Starts the server with `extra` arguments and waits for "listening on
    // HOST:PORT". On failure Error() says why.
    bool Start(const QStringList &extra = {})
    {
        if (!m_dir.isValid()) {
            m_error = QStringLiteral("no temporary folder: ") + m_dir.errorString();
            return false;
        }
        const QString db = QStringLiteral("sqlite:") + DatabasePath();
        if (!m_server.start(db, QStringList{QStringLiteral("--seed")} + extra)) {
            m_error = m_server.errorText();
            return false;
        }
        return true;
    }

    QString Host() const { return QStringLiteral("127.0.0.1"); }
    int Port() const { return m_server.port(); }
    QString Address() const { return Host() + QLatin1Char(':') + QString::number(Port()); }
    QString Error() const { return m_error; }
    // The SQLite file, for checks and set-ups the wire cannot make.
    QString DatabasePath() const { return m_dir.filePath(QStringLiteral("kvr.db")); }

private:
    QTemporaryDir m_dir; // outlives the server that writes into it
    kvr::test::ServerProcess m_server;
    QString m_error;
};
