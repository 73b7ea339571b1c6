#include "protocol/JsonRpc.h"

#include "protocol/DataPacket.h"
#include "protocol/JsonAccess.h"
#include "protocol/ParsedJson.h"
#include "protocol/StrictJson.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace kvr::protocol {

namespace {

QByteArray idJson(const QJsonValue &id)
{
    if (id.isDouble()) {
        const double d = id.toDouble();
        if (d == static_cast<double>(static_cast<qint64>(d)))
            return QByteArray::number(static_cast<qint64>(d));
    }
    QJsonArray wrapper{id};
    QByteArray text = QJsonDocument(wrapper).toJson(QJsonDocument::Compact);
    return text.mid(1, text.size() - 2);
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

qsizetype skipSpace(QByteArrayView text, qsizetype i)
{
    while (i < text.size() && isSpace(text[i]))
        ++i;
    return i;
}

// Where the value that starts at `i` ends, in a text known to be strict JSON.
qsizetype valueEnd(QByteArrayView text, qsizetype i)
{
    int depth = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (depth == 0 && (c == ',' || c == '}' || c == ']' || isSpace(c)))
            return i; // after a number, true, false or null
        if (c == '"') {
            for (++i; text[i] != '"'; ++i)
                if (text[i] == '\\')
                    ++i;
            if (depth == 0)
                return i + 1;
        } else if (c == '{' || c == '[') {
            ++depth;
        } else if ((c == '}' || c == ']') && --depth == 0) {
            return i + 1;
        }
    }
    return i;
}

// The text of the value of the top-level object's member at `index`, as
// written: the parser gives values, not their text, and an id must be echoed
// exactly as it came.
QByteArrayView memberText(QByteArrayView text, qsizetype index)
{
    qsizetype i = skipSpace(text, 0) + 1; // past '{'
    for (qsizetype member = 0;; ++member) {
        i = valueEnd(text, skipSpace(text, i));      // the name
        i = skipSpace(text, skipSpace(text, i) + 1); // past ':'
        const qsizetype end = valueEnd(text, i);
        if (member == index)
            return text.sliced(i, end - i);
        i = skipSpace(text, end) + 1; // past ','
    }
}

QByteArray replyIdJson(const RpcRequest &request)
{
    if (!request.rawId.isEmpty())
        return request.rawId;
    return request.id.isUndefined() ? QByteArrayLiteral("null") : idJson(request.id);
}

} // namespace

bool parseRequest(const QByteArray &message, RpcRequest &request, RpcFault &fault)
{
    QString why;
    std::shared_ptr<detail::ParsedJson> parsed =
        detail::parseJson(message, why, StrictJson::MaxDepth);
    if (!parsed) {
        fault = {RpcError::ParseError,
                 StrictJson::exceedsDepth(message)
                     ? QStringLiteral("Mensagem inválida: o JSON tem mais de %1 níveis de "
                                      "colchetes e chaves encaixados.")
                           .arg(StrictJson::MaxDepth)
                     : QStringLiteral("Mensagem inválida: o texto recebido não é JSON.")};
        return false;
    }
    simdjson::dom::object root;
    if (parsed->root.get_object().get(root)) {
        fault = {RpcError::InvalidRequest,
                 QStringLiteral("Requisição inválida: esperado um objeto JSON-RPC.")};
        return false;
    }
    // Of a repeated member the last counts, as Qt's reading kept it.
    qsizetype idMember = -1;
    qsizetype member = 0;
    detail::DomValue id, version, method, params;
    for (const simdjson::dom::key_value_pair pair : root) {
        if (pair.key == "id") {
            idMember = member;
            id = pair.value;
        } else if (pair.key == "jsonrpc") {
            version = pair.value;
        } else if (pair.key == "method") {
            method = pair.value;
        } else if (pair.key == "params") {
            params = pair.value;
        }
        ++member;
    }
    const QByteArrayView rawId = idMember < 0 ? QByteArrayView() : memberText(message, idMember);
    if (rawId.size() > MaxIdLength) {
        fault = {RpcError::InvalidRequest,
                 QStringLiteral("Requisição inválida: identificador com mais de %1 bytes.")
                     .arg(MaxIdLength)};
        return false;
    }
    const bool validId = id.present && (id.element.is_string() || id.element.is_number());
    if (validId || (id.present && id.element.is_null())) {
        request.id = detail::toQJsonValue(id.element);
        request.rawId = rawId.toByteArray();
    }
    if (!detail::DomAccess::isText(version, "2.0")) {
        fault = {RpcError::InvalidRequest,
                 QStringLiteral("Requisição inválida: versão JSON-RPC deve ser \"2.0\".")};
        return false;
    }
    if (!validId) {
        fault = {RpcError::InvalidRequest,
                 QStringLiteral("Requisição inválida: identificador ausente ou inválido.")};
        return false;
    }
    QString name;
    QStringView shown;
    if (!detail::DomAccess::text(method, name, shown) || name.isEmpty()) {
        fault = {RpcError::InvalidRequest, QStringLiteral("Requisição inválida: método ausente.")};
        return false;
    }
    request.method = name;
    if (!params.present) {
        request.params = {};
    } else if (!params.element.is_array()) {
        fault = {RpcError::InvalidParams,
                 QStringLiteral("Parâmetros inválidos: esperada uma lista posicional.")};
        return false;
    } else {
        // The arguments are read from this parse; nothing parses the request again.
        request.params = RequestParams(std::make_shared<const detail::PacketPart>(
            detail::PacketPart{std::move(parsed), params.element}));
    }
    return true;
}

bool parseResponse(const QByteArray &message, RpcResponse &response, QString &problem,
                   PacketForm packets)
{
    using namespace simdjson;
    const QString invalid = QStringLiteral("Resposta inválida do servidor de aplicação.");
    QString why;
    const std::shared_ptr<detail::ParsedJson> parsed = detail::parseJson(message, why);
    dom::object reply;
    if (!parsed || parsed->root.get_object().get(reply)) {
        problem = invalid;
        return false;
    }
    dom::element id;
    response.id =
        reply["id"].get(id) ? QJsonValue(QJsonValue::Undefined) : detail::toQJsonValue(id);
    dom::element error;
    if (!reply["error"].get(error)) {
        const QJsonObject err = detail::toQJsonValue(error).toObject();
        response.ok = false;
        response.fault.code = static_cast<RpcError>(
            err.value(QLatin1String("code")).toInt(static_cast<int>(RpcError::InternalError)));
        response.fault.message = err.value(QLatin1String("message")).toString();
        return true;
    }
    dom::element result;
    if (reply["result"].get(result)) {
        problem = invalid;
        return false;
    }
    response.ok = true;
    if (packets == PacketForm::Parsed && result.is_object() && !result["fields"].error() &&
        !result["rows"].error()) {
        response.result = QJsonValue(QJsonValue::Undefined);
        response.packet = PacketData(
            std::make_shared<const detail::PacketPart>(detail::PacketPart{parsed, result}));
        return true;
    }
    response.result = detail::toQJsonValue(result);
    return true;
}

QByteArray encodeRequest(const QJsonValue &id, const QString &method, const QJsonArray &params)
{
    QJsonObject obj{{QStringLiteral("jsonrpc"), QStringLiteral("2.0")},
                    {QStringLiteral("id"), id},
                    {QStringLiteral("method"), method},
                    {QStringLiteral("params"), params}};
    return QJsonDocument(obj).toJson(QJsonDocument::Compact);
}

QByteArray encodeResult(const QJsonValue &id, const QJsonValue &result)
{
    QJsonObject obj{{QStringLiteral("jsonrpc"), QStringLiteral("2.0")},
                    {QStringLiteral("id"), id},
                    {QStringLiteral("result"), result}};
    return QJsonDocument(obj).toJson(QJsonDocument::Compact);
}

QByteArray encodeRawResult(const QJsonValue &id, const QByteArray &resultJson)
{
    QByteArray out;
    out.reserve(resultJson.size() + 48);
    out.append("{\"jsonrpc\":\"2.0\",\"id\":");
    out.append(idJson(id));
    out.append(",\"result\":");
    out.append(resultJson);
    out.append('}');
    return out;
}

QByteArray encodeError(const QJsonValue &id, RpcError code, const QString &message)
{
    QJsonObject err{{QStringLiteral("code"), static_cast<int>(code)},
                    {QStringLiteral("message"), message}};
    QJsonObject obj{{QStringLiteral("jsonrpc"), QStringLiteral("2.0")},
                    {QStringLiteral("id"), id.isUndefined() ? QJsonValue() : id},
                    {QStringLiteral("error"), err}};
    return QJsonDocument(obj).toJson(QJsonDocument::Compact);
}

QByteArray encodeResultFor(const RpcRequest &request, const QByteArray &resultJson)
{
    const QByteArray id = replyIdJson(request);
    QByteArray out;
    out.reserve(resultJson.size() + id.size() + 32);
    out.append("{\"jsonrpc\":\"2.0\",\"id\":");
    out.append(id);
    out.append(",\"result\":");
    out.append(resultJson);
    out.append('}');
    return out;
}

QByteArray encodeErrorFor(const RpcRequest &request, RpcError code, const QString &message)
{
    QByteArray out;
    out.append("{\"jsonrpc\":\"2.0\",\"id\":");
    out.append(replyIdJson(request));
    out.append(",\"error\":{\"code\":");
    out.append(QByteArray::number(static_cast<int>(code)));
    out.append(",\"message\":");
    appendJsonString(out, message);
    out.append("}}");
    return out;
}

} // namespace kvr::protocol
