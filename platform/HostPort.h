#pragma once

#include <QString>

#include <optional>

namespace kvr::platform {

struct HostPort
{
    QString host;
    quint16 port = 0;
};

// "HOST:PORT" into its parts; an IPv6 host comes in brackets ("[::1]:2140")
// and is returned without them. Empty when the host is blank or the port is
// not a number in [minPort, 65535].
std::optional<HostPort> ParseHostPort(const QString &text, quint16 minPort = 1);

} // namespace kvr::platform
