#include "server/rpc/Dispatcher.h"

#include "protocol/Excerpt.h"
#include "protocol/JsonRpc.h"
#include "server/common/AppError.h"
#include "server/common/ServerLog.h"

namespace kvr::server {

using protocol::RpcError;

namespace {
// A last guard should a message ever quote input whole.
constexpr qsizetype MaxErrorText = 1000;

QByteArray internalError(const protocol::RpcRequest &request)
{
    return protocol::encodeErrorFor(request, RpcError::InternalError,
                                    QStringLiteral("Erro interno no servidor de aplicação."));
}
} // namespace

void Dispatcher::add(const QString &object, const QString &method, Handler handler)
{
    m_handlers.insert(object + QLatin1Char('.') + method, std::move(handler));
}

bool Dispatcher::mayWarn(WarningLimiter &warnings, QString &note)
{
    qint64 held = 0;
    if (!warnings.allow(held))
        return false;
    note = held > 0
               ? QStringLiteral("(%1 earlier warnings of this connection not logged)").arg(held)
               : QString();
    return true;
}

QByteArray Dispatcher::handle(const QByteArray &message, WarningLimiter &warnings)
{
    protocol::RpcRequest request;
    protocol::RpcFault fault;
    QString note;
    if (!protocol::parseRequest(message, request, fault)) {
        if (mayWarn(warnings, note))
            qCWarning(lcServer) << "refused request, error" << static_cast<int>(fault.code)
                                << qUtf8Printable(note);
        return protocol::encodeErrorFor(request, fault.code, fault.message);
    }
    const auto it = m_handlers.constFind(request.method);
    if (it == m_handlers.constEnd()) {
        const QString shown = protocol::excerpt(request.method);
        if (mayWarn(warnings, note))
            qCWarning(lcServer) << "unknown method" << shown << qUtf8Printable(note);
        return protocol::encodeErrorFor(request, RpcError::MethodNotFound,
                                        QStringLiteral("Método desconhecido: %1.").arg(shown));
    }
    const QString shortName = request.method.section(QLatin1Char('.'), -1);
    try {
        return protocol::encodeResultFor(request, it.value()(shortName, request.params));
    } catch (const AppError &error) {
        // Refused logins are logged by the connection, with the peer's address.
        if (error.code() != RpcError::AccessDenied && mayWarn(warnings, note))
            qCWarning(lcServer) << request.method << "failed, error"
                                << static_cast<int>(error.code()) << qUtf8Printable(note);
        return protocol::encodeErrorFor(request, error.code(),
                                        protocol::excerpt(error.message(), MaxErrorText));
    } catch (const std::exception &error) {
        if (mayWarn(warnings, note))
            qCWarning(lcServer) << request.method << "failed unexpectedly:" << error.what()
                                << qUtf8Printable(note);
        return internalError(request);
    } catch (...) {
        // Whatever a handler throws, the connection's thread must go on.
        if (mayWarn(warnings, note))
            qCWarning(lcServer) << request.method << "failed with an unknown exception"
                                << qUtf8Printable(note);
        return internalError(request);
    }
}

} // namespace kvr::server
