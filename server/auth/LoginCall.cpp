#include "server/auth/LoginCall.h"

#include "protocol/Access.h"
#include "protocol/DataPacket.h"
#include "protocol/RequestParams.h"
#include "server/auth/AccountStore.h"
#include "server/common/AppError.h"
#include "server/rpc/Dispatcher.h"

namespace kvr::server {

void LoginCall::bind(Dispatcher &dispatcher, Storage &storage)
{
    const QString method = protocol::access::loginMethod();
    dispatcher.add(
        method.section(QLatin1Char('.'), 0, 0), method.section(QLatin1Char('.'), 1),
        [&storage](const QString &, const protocol::RequestParams &params) -> QByteArray {
            QString user;
            QString password;
            const bool pair =
                params.size() == 2 && params.text(0, user) && params.text(1, password);
            if (!pair || !AccountStore(storage).verify(user, password))
                throw AppError(protocol::RpcError::AccessDenied, protocol::access::wrongLogin());
            QByteArray json = QByteArrayLiteral("{\"user\":");
            protocol::appendJsonString(json, user);
            json += '}';
            return json;
        });
}

} // namespace kvr::server
