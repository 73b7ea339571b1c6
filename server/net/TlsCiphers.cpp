#include "server/net/TlsCiphers.h"

#include <QSslCipher>
#include <QSslConfiguration>

namespace kvr::server {

void offerModernTlsOnly(QSslConfiguration &tls)
{
    QList<QSslCipher> offered;
    for (const QSslCipher &cipher : QSslConfiguration::supportedCiphers()) {
        const QString name = cipher.name();
        const bool aead =
            name.contains(QLatin1String("GCM")) || name.contains(QLatin1String("CHACHA20"));
        if (cipher.protocol() == QSsl::TlsV1_3 ||
            (cipher.protocol() == QSsl::TlsV1_2 && name.startsWith(QLatin1String("ECDHE-")) &&
             aead))
            offered.append(cipher);
    }
    tls.setProtocol(QSsl::TlsV1_2OrLater);
    tls.setCiphers(offered);
}

} // namespace kvr::server
