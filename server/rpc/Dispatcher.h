#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonArray>
#include <QString>

#include <functional>

namespace kvr::server {

// Routes "object.method" requests to handlers and turns every outcome into one
// encoded reply. A handler returns its result as encoded JSON or throws AppError.
class Dispatcher final
{
public:
    using Handler = std::function<QByteArray(const QString &method, const QJsonArray &params)>;

    void add(const QString &object, const QString &method, Handler handler);
    // Answers one request message; never throws.
    QByteArray handle(const QByteArray &message) const;

private:
    QHash<QString, Handler> m_handlers;
};

} // namespace kvr::server
