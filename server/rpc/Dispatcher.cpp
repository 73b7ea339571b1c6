#include "server/rpc/Dispatcher.h"

#include "protocol/JsonRpc.h"
#include "server/common/AppError.h"
#include "server/common/ServerLog.h"

namespace kvr::server {

using protocol::RpcError;

void Dispatcher::add(const QString &object, const QString &method, Handler handler)
{
    m_handlers.insert(object + QLatin1Char('.') + method, std::move(handler));
}

QByteArray Dispatcher::handle(const QByteArray &message) const
{
    protocol::RpcRequest request;
    protocol::RpcFault fault;
    if (!protocol::parseRequest(message, request, fault)) {
        qCWarning(lcServer) << "refused request, error" << static_cast<int>(fault.code);
        return protocol::encodeErrorFor(request, fault.code, fault.message);
    }
    const auto it = m_handlers.constFind(request.method);
    if (it == m_handlers.constEnd()) {
        qCWarning(lcServer) << "unknown method" << request.method;
        return protocol::encodeErrorFor(
            request, RpcError::MethodNotFound,
            QStringLiteral("Método desconhecido: %1.").arg(request.method));
    }
    const QString shortName = request.method.section(QLatin1Char('.'), -1);
    try {
        return protocol::encodeResultFor(request, it.value()(shortName, request.params));
    } catch (const AppError &error) {
        qCWarning(lcServer) << request.method << "failed, error" << static_cast<int>(error.code());
        return protocol::encodeErrorFor(request, error.code(), error.message());
    } catch (const std::exception &error) {
        qCWarning(lcServer) << request.method << "failed unexpectedly:" << error.what();
        return protocol::encodeErrorFor(request, RpcError::InternalError,
                                        QStringLiteral("Erro interno no servidor de aplicação."));
    }
}

} // namespace kvr::server
