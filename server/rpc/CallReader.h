#pragma once

#include "fiscal/RemoteCall.h"
#include "server/rpc/Params.h"

#include <QJsonArray>
#include <QString>

#include <type_traits>

namespace kvr::server {

// Reads a declared call (fiscal/RemoteCall.h) from its positional arguments,
// in wire order: a wrong count or type is thrown as an invalid-params error
// (-32602) before any work starts.
template <typename Call> Call readCall(const QString &method, const QJsonArray &values)
{
    const Params params(method, values, fiscal::argCount<Call>());
    Call call;
    int index = 0;
    fiscal::forEachArg<Call>([&](const auto &arg) {
        auto &value = call.*arg.member;
        using T = std::decay_t<decltype(value)>;
        if constexpr (std::is_same_v<T, QString>)
            value = params.text(index);
        else if constexpr (std::is_same_v<T, QList<bool>>)
            value = params.flags(index, arg.length);
        else if constexpr (std::is_same_v<T, QStringList>)
            value = params.texts(index, arg.length);
        else if constexpr (std::is_same_v<T, fiscal::DataPacket>)
            value.packet = params.packet(index);
        else
            value = params.object(index);
        ++index;
    });
    return call;
}

} // namespace kvr::server
