#pragma once

#include "server/storage/DatabaseUrl.h"

#include <QByteArray>
#include <QSslConfiguration>

#include <optional>

namespace kvr::server {

// How the app server serves its clients; fixed once it listens.
struct ServeSettings
{
    DatabaseUrl database;
    qsizetype maxMessage = 64 * 1024 * 1024;
    int dbPool = 2;
    int maxConnections = 1000;
    qint64 maxPending = 256 * 1024 * 1024;
    int idleTimeoutMs = 600 * 1000;
    int lineTimeoutMs = 60 * 1000;
    // When not empty, every connection starts with kvr.auth and this token.
    QByteArray token;
    // Every connection starts with kvr.login (or kvr.auth with the token).
    bool login = false;
    // Changes are recorded in the history (off only to measure its cost).
    bool history = true;
    // A connection that must authenticate and has not within this is closed.
    int authTimeoutMs = 10 * 1000;
    // When set, connections are served over TLS with this identity.
    std::optional<QSslConfiguration> tls;
};

} // namespace kvr::server
