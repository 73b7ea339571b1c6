#pragma once

#include "server/storage/DatabaseUrl.h"

#include <QHostAddress>
#include <QString>
#include <QStringList>

namespace kvr::server {

// The command line: [--listen HOST:PORT] [--db URL] [--seed] [--max-message BYTES]
// [--help].
struct ServerOptions
{
    QHostAddress host = QHostAddress::LocalHost;
    quint16 port = 2140;
    DatabaseUrl database;
    bool seed = false;
    qsizetype maxMessage = 64 * 1024 * 1024;
    bool help = false;

    // Returns false with a message for the user when the arguments are wrong;
    // `help` is set either way.
    static bool parse(const QStringList &arguments, ServerOptions &options, QString &problem);
    static QString usage();
};

} // namespace kvr::server
