#pragma once

#include "fiscal/RemoteCall.h"
#include "protocol/RequestParams.h"
#include "server/rpc/Params.h"

#include <QString>

namespace kvr::server {

// How an argument of each type of fiscal/RemoteCall.h is read: one overload
// a type, which takes it from Params (a wrong type throws -32602). `length`
// is the declared length of a list.
inline void readArg(const Params &params, int index, int, QString &out)
{
    out = params.text(index);
}
inline void readArg(const Params &params, int index, int length, QList<bool> &out)
{
    out = params.flags(index, length);
}
inline void readArg(const Params &params, int index, int length, QStringList &out)
{
    out = params.texts(index, length);
}
inline void readArg(const Params &params, int index, int, protocol::DeltaData &out)
{
    out = params.delta(index);
}
inline void readArg(const Params &params, int index, int, fiscal::DataPacket &out)
{
    out.packet = params.packet(index);
}

// Reads a declared call (fiscal/RemoteCall.h) from its positional arguments,
// in wire order, straight from the request's parse: a wrong count or type is
// thrown as an invalid-params error (-32602) before any work starts.
template <typename Call> Call readCall(const QString &method, const protocol::RequestParams &values)
{
    const Params params(method, values, fiscal::argCount<Call>());
    Call call;
    int index = 0;
    fiscal::forEachArg<Call>(
        [&](const auto &arg) { readArg(params, index++, arg.length, call.*arg.member); });
    return call;
}

} // namespace kvr::server
