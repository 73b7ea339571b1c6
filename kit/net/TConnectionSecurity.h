#pragma once

#include "kit/KvrKitExport.h"

#include <QList>
#include <QSslCertificate>
#include <QString>

// How a connection to the application server proves who it is and checks who
// the server is: an access token sent first on every connection (kvr.auth),
// and TLS trusting the given CAs and, when asked, the system's. The host sets
// the default once at start-up; every TNetConnection uses it unless given its
// own, so a module's connection inherits it without knowing of it.
struct KVRKIT_EXPORT TConnectionSecurity final
{
    QString token;                     // empty: no kvr.auth is sent
    bool tls = false;                  // speak TLS from the first byte
    QList<QSslCertificate> trustedCas; // CAs trusted for the server's certificate
    bool trustSystemCas = false;       // the system's CAs as well

    static TConnectionSecurity Default();
    static void SetDefault(const TConnectionSecurity &security);
};
