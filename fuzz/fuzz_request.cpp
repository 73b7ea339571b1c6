// libFuzzer target: bytes off the socket through the framer and the JSON-RPC
// request reader (the strict parse), as the server takes them.
#include "protocol/JsonRpc.h"
#include "protocol/LineFramer.h"
#include "protocol/StrictJson.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdint>
#include <cstdlib>

using namespace kvr::protocol;

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));

    // Two reads of one stream, cut where the first byte says: the framer
    // must find the same lines whatever the cut.
    LineFramer whole(1024), framer(1024);
    whole.feed(bytes);
    const qsizetype cut = size > 0 ? data[0] % (bytes.size() + 1) : 0;
    framer.feed(bytes.left(cut));
    framer.feed(bytes.mid(cut));
    require(whole.oversized() == framer.oversized());
    if (!whole.oversized())
        require(whole.pendingBytes() == bytes.size() - (bytes.lastIndexOf('\n') + 1));
    while (framer.hasMessage()) {
        const QByteArray message = framer.takeMessage();
        require(message == whole.takeMessage());
        require(!message.contains('\n'));
        RpcRequest request;
        RpcFault fault;
        const bool ok = parseRequest(message, request, fault);
        // The id's text as written is a JSON value of its own.
        if (!request.rawId.isEmpty())
            require(StrictJson::validate(request.rawId));
        // Whatever came in, the reply is one line of strict JSON.
        const QByteArray reply = ok ? encodeResultFor(request, "null")
                                    : encodeErrorFor(request, fault.code, fault.message);
        require(!reply.contains('\n'));
        require(StrictJson::validate(reply));
        // The id comes back as it was sent.
        const QJsonValue echoed =
            QJsonDocument::fromJson(reply).object().value(QLatin1String("id"));
        require(echoed == (request.id.isUndefined() ? QJsonValue() : request.id));
        if (!ok)
            continue;
        // An accepted request survives being written again.
        RpcRequest again;
        const QJsonArray params = request.params.toJsonArray();
        require(params.size() == request.params.size());
        require(parseRequest(encodeRequest(request.id, request.method, params), again, fault));
        require(again.method == request.method && again.params.toJsonArray() == params);
    }
    require(!whole.hasMessage());
    return 0;
}
