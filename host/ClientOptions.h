#pragma once

#include "kit/net/TConnectionSecurity.h"

#include <QString>
#include <QStringList>

class QSettings;

// Command line of kvr-client:
//   kvr-client [--server HOST:PORT] [--modules DIR] [--open CODE]...
//              [--token-file FILE] [--tls] [--tls-ca FILE] [--help]
class ClientOptions final
{
public:
    // Parses the arguments (the program name first). On a bad command line
    // Error() tells why, in Portuguese.
    static ClientOptions Parse(const QStringList &arguments);

    bool HasServer() const { return !m_serverHost.isEmpty(); }
    QString ServerHost() const { return m_serverHost; }
    int ServerPort() const { return m_serverPort; }
    QString ModulesDir() const { return m_modulesDir; }
    QStringList Opens() const { return m_opens; }
    bool HelpRequested() const { return m_help; }
    QString Error() const { return m_error; }
    static QString Usage();
    // The modules folder without --modules: PREFIX/lib/kvr/modules of an
    // installed PREFIX/bin/kvr-client, else ../modules beside the program
    // (the build tree).
    static QString DefaultModulesDir(const QString &programDir);

    // The server to use: the command line's, which is then remembered as the
    // last one used, else the last one used, else 127.0.0.1:2140.
    void ChooseServer(QSettings &settings, QString *host, int *port) const;

    // The connection security. The token comes from --token-file, else the
    // file in the setting connection/tokenFile, else the setting
    // connection/token; TLS from --tls/--tls-ca, else the settings
    // connection/tlsCaFile and connection/tls. Settings are only read. The
    // files are read here, once the application exists (Qt's TLS needs it):
    // on an unreadable or invalid one returns false and tells why in *error.
    bool ChooseSecurity(const QSettings &settings, TConnectionSecurity *security,
                        QString *error) const;

private:
    QString m_serverHost;
    int m_serverPort = 0;
    QString m_modulesDir;
    QStringList m_opens;
    QString m_tokenFile;
    bool m_tls = false;
    QString m_tlsCaFile;
    bool m_help = false;
    QString m_error;
};
