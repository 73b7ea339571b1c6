#include "platform/HostPort.h"

namespace kvr::platform {

std::optional<HostPort> ParseHostPort(const QString &text, quint16 minPort)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return std::nullopt;
    bool ok = false;
    const uint port = text.mid(colon + 1).toUInt(&ok);
    if (!ok || port < minPort || port > 65535)
        return std::nullopt;
    QString host = text.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    if (host.trimmed().isEmpty())
        return std::nullopt;
    return HostPort{host, static_cast<quint16>(port)};
}

} // namespace kvr::platform
