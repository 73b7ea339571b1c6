#pragma once

#include "protocol/RequestParams.h"
#include "server/common/WarningLimiter.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <functional>

namespace kvr::server {

// Routes "object.method" requests to handlers and turns every outcome into one
// encoded reply. A handler returns its result as encoded JSON or throws AppError;
// anything else it throws is answered as an internal error (-32603) and logged.
// A dispatcher serves connections in turn; each brings its own warning limiter.
class Dispatcher final
{
public:
    // `params` are read from the request's one parse (protocol::RequestParams).
    using Handler =
        std::function<QByteArray(const QString &method, const protocol::RequestParams &params)>;

    void add(const QString &object, const QString &method, Handler handler);
    // Answers one request message; never throws.
    QByteArray handle(const QByteArray &message, WarningLimiter &warnings);

private:
    // True when a warning may be logged; `note` then tells of any held back.
    static bool mayWarn(WarningLimiter &warnings, QString &note);

    QHash<QString, Handler> m_handlers;
};

} // namespace kvr::server
