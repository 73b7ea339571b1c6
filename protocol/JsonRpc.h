#pragma once

#include "protocol/PacketData.h"
#include "protocol/RequestParams.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonValue>
#include <QString>

namespace kvr::protocol {

// Error codes on the wire: JSON-RPC's own for protocol faults, 1000 and up
// for faults of the application.
enum class RpcError : int {
    ParseError = -32700,
    InvalidRequest = -32600,
    MethodNotFound = -32601,
    InvalidParams = -32602,
    InternalError = -32603,
    Validation = 1000,
    Conflict = 1001,
    Database = 1002,
    AccessDenied = 1003, // wrong or missing access token; the server then closes
    Transport = 1099,    // client side only, never on the wire: no answer could be had
};

struct RpcRequest
{
    QJsonValue id; // null for a request whose id could not be read
    QString method;
    RequestParams params;
    // The id's JSON text as received, echoed byte for byte: a number above
    // 2^53 would not survive the trip through a double.
    QByteArray rawId;
};

struct RpcFault
{
    RpcError code = RpcError::InternalError;
    QString message;
};

struct RpcResponse
{
    QJsonValue id;
    bool ok = false;
    QJsonValue result; // undefined when the result stays a parsed packet
    PacketData packet; // a data packet result, with PacketForm::Parsed
    RpcFault fault;
};

// How a reply hands over a data packet result ({"fields":..,"rows":..}):
// as Qt JSON in `result`, or still parsed in `packet`, for the dataset to
// read without building a QJsonObject of a large packet.
enum class PacketForm { Json, Parsed };

// Longest id text a request may carry; replies echo it whole.
constexpr qsizetype MaxIdLength = 256;

// Parses one request message, which must be strict JSON. On failure returns
// false and fills `fault`, and `request.id` holds the id when it could still
// be read.
bool parseRequest(const QByteArray &message, RpcRequest &request, RpcFault &fault);
// Parses one reply with the strict parser: a reply that is not strict JSON
// is refused.
bool parseResponse(const QByteArray &message, RpcResponse &response, QString &problem,
                   PacketForm packets = PacketForm::Json);

QByteArray encodeRequest(const QJsonValue &id, const QString &method, const QJsonArray &params);
QByteArray encodeResult(const QJsonValue &id, const QJsonValue &result);
// `resultJson` is already-encoded JSON (large packets are written directly).
QByteArray encodeRawResult(const QJsonValue &id, const QByteArray &resultJson);
QByteArray encodeError(const QJsonValue &id, RpcError code, const QString &message);
// Replies to `request`, echoing its id exactly as it came.
QByteArray encodeResultFor(const RpcRequest &request, const QByteArray &resultJson);
QByteArray encodeErrorFor(const RpcRequest &request, RpcError code, const QString &message);

} // namespace kvr::protocol
