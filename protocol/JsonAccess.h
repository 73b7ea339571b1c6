#pragma once

// Internal to protocol/: reading JSON values alike from Qt's JSON types and
// from the strict parser's document, so that a packet's fields or a delta
// mean the same however they arrive. Includes the parser's header, so only
// protocol's own sources include it.
#include "protocol/DataPacket.h"
#include "protocol/PacketRows.h"
#include "protocol/ParsedJson.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>

#include <climits>
#include <cmath>
#include <string_view>

namespace kvr::protocol::detail {

// Qt's JSON types.
struct JsonAccess
{
    static QJsonValue member(const QJsonObject &object, const char *key)
    {
        return object.value(QLatin1String(key));
    }
    // Undefined when `object` is not an object.
    static QJsonValue member(const QJsonValue &object, const char *key)
    {
        return object.toObject().value(QLatin1String(key));
    }
    static bool present(const QJsonValue &value) { return !value.isUndefined(); }
    static bool isList(const QJsonValue &value) { return value.isArray(); }
    static QJsonArray list(const QJsonValue &value) { return value.toArray(); }
    static bool isObject(const QJsonValue &value) { return value.isObject(); }
    static QJsonObject object(const QJsonValue &value) { return value.toObject(); }
    // A text: `owned` holds it and `view` shows it.
    static bool text(const QJsonValue &value, QString &owned, QStringView &view)
    {
        if (!value.isString())
            return false;
        owned = value.toString();
        view = owned;
        return true;
    }
    static bool isText(const QJsonValue &value, const char *text)
    {
        return value.isString() && value.toString() == QLatin1String(text);
    }
    static bool integer(const QJsonValue &value, qint64 &out)
    {
        return integral(value.isDouble(), value.toDouble(), out);
    }
    // A number counts as an integer when its double is one, within 1e15.
    static bool integral(bool isNumber, double d, qint64 &out)
    {
        if (!isNumber || d != std::floor(d) || std::abs(d) > 1e15)
            return false;
        out = qint64(d);
        return true;
    }
};

// A value of the parser's document, or none (a member that is missing).
struct DomValue
{
    DomValue() = default;
    DomValue(simdjson::dom::element value) : element(value), present(true) {}
    simdjson::dom::element element;
    bool present = false;
};

// The parser's document, read as Qt reads the same text: of a repeated
// member the last counts, and every number is a double to Qt.
struct DomAccess
{
    static DomValue member(const DomValue &object, const char *key)
    {
        DomValue found;
        simdjson::dom::object members;
        if (!object.present || object.element.get_object().get(members))
            return found;
        const std::string_view name(key);
        for (const simdjson::dom::key_value_pair member : members)
            if (member.key == name)
                found = member.value;
        return found;
    }
    static bool present(const DomValue &value) { return value.present; }
    static bool isList(const DomValue &value) { return value.present && value.element.is_array(); }
    static simdjson::dom::array list(const DomValue &value)
    {
        return simdjson::dom::array(value.element);
    }
    static bool isObject(const DomValue &value)
    {
        return value.present && value.element.is_object();
    }
    static DomValue object(const DomValue &value) { return value; }
    static bool text(const DomValue &value, QString &owned, QStringView &view)
    {
        std::string_view utf8;
        if (!value.present || value.element.get_string().get(utf8))
            return false;
        owned = toQString(utf8);
        view = owned;
        return true;
    }
    static bool isText(const DomValue &value, const char *text)
    {
        std::string_view utf8;
        return value.present && !value.element.get_string().get(utf8) && utf8 == text;
    }
    static bool integer(const DomValue &value, qint64 &out)
    {
        using simdjson::dom::element_type;
        if (!value.present)
            return false;
        switch (value.element.type()) {
        case element_type::INT64:
            return JsonAccess::integral(true, double(int64_t(value.element)), out);
        case element_type::UINT64:
            return JsonAccess::integral(true, double(uint64_t(value.element)), out);
        case element_type::DOUBLE:
            return JsonAccess::integral(true, double(value.element), out);
        default:
            return false;
        }
    }
};

// Reads a packet's "fields": non-empty names, sizes of 0 to INT_MAX. On a
// fault returns false with `what` saying why.
template <typename Access, typename Object>
bool readFields(const Object &packet, QList<PacketField> &fields, QString &what)
{
    const auto list = Access::member(packet, "fields");
    if (!Access::isList(list)) {
        what = QStringLiteral("falta a lista de campos.");
        return false;
    }
    for (const auto &item : Access::list(list)) {
        if (!Access::isObject(item)) {
            what = QStringLiteral("campo sem nome.");
            return false;
        }
        const auto field = Access::object(item);
        QString owned;
        QStringView name;
        qint64 size = -1;
        if (!Access::text(Access::member(field, "name"), owned, name) || name.isEmpty()) {
            what = QStringLiteral("campo sem nome.");
            return false;
        }
        if (!Access::integer(Access::member(field, "size"), size) || size < 0 || size > INT_MAX) {
            what = rows::badSize(name);
            return false;
        }
        fields.append({name.toString(), int(size)});
    }
    return true;
}

} // namespace kvr::protocol::detail
