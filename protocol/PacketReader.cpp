#include "protocol/PacketReader.h"

#include "protocol/Excerpt.h"
#include "protocol/JsonAccess.h"
#include "protocol/PacketData.h"
#include "protocol/PacketRows.h"
#include "protocol/ParsedJson.h"

#include <QJsonArray>

#include <climits>
#include <cmath>
#include <vector>

namespace kvr::protocol {

namespace {

const QString Invalid = QStringLiteral("Pacote de dados inválido: ");

bool fail(QString &problem, const QString &what)
{
    problem = Invalid + what;
    return false;
}

using detail::JsonAccess;

// Variants, read as Qt's JSON types are by the templates below.
struct VariantAccess
{
    static QVariant member(const QVariantMap &object, const char *key)
    {
        return object.value(QLatin1String(key));
    }
    static bool present(const QVariant &value) { return value.isValid(); }
    static bool isList(const QVariant &value)
    {
        return value.metaType() == QMetaType::fromType<QVariantList>();
    }
    // The list as it is held: large packets are read without a copy.
    static const QVariantList &list(const QVariant &value)
    {
        return *static_cast<const QVariantList *>(value.constData());
    }
    static bool isObject(const QVariant &value)
    {
        return value.metaType() == QMetaType::fromType<QVariantMap>();
    }
    static QVariantMap object(const QVariant &value) { return value.toMap(); }
    static bool text(const QVariant &value, QString &, QStringView &view)
    {
        if (value.metaType() != QMetaType::fromType<QString>())
            return false;
        view = *static_cast<const QString *>(value.constData());
        return true;
    }
    static bool integer(const QVariant &value, qint64 &out)
    {
        switch (value.metaType().id()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::ULongLong:
            out = value.toLongLong();
            return true;
        case QMetaType::Double:
            return JsonAccess::integer(QJsonValue(value.toDouble()), out);
        default:
            return false;
        }
    }
};

template <typename Access, typename Object>
bool readQtPacket(const Object &packet, PacketSink &sink, QString &problem)
{
    QList<PacketField> fields;
    QString what;
    if (!detail::readFields<Access>(packet, fields, what))
        return fail(problem, what);
    const auto list = Access::member(packet, "rows");
    if (!Access::present(list))
        return fail(problem, QStringLiteral("falta a lista de linhas."));
    if (!Access::isList(list))
        return fail(problem, QStringLiteral("a lista de linhas não é uma lista."));
    decltype(auto) rowList = Access::list(list);
    sink.fields(fields, rowList.size());

    const qsizetype n = fields.size();
    std::vector<QStringView> views(static_cast<size_t>(n));
    std::vector<QString> owned(static_cast<size_t>(n));
    qsizetype number = 0;
    for (const auto &item : rowList) {
        ++number;
        if (!Access::isList(item))
            return fail(problem, rows::notAList(rows::Row, number));
        decltype(auto) values = Access::list(item);
        if (values.size() != n)
            return fail(problem, rows::wrongCount(rows::Row, number, values.size(), n));
        for (qsizetype i = 0; i < n; ++i) {
            QStringView &view = views[size_t(i)];
            if (!Access::text(values.at(i), owned[size_t(i)], view))
                return fail(problem, rows::notText(rows::Row, number, fields.at(i).name));
            if (!rows::fits(view, fields.at(i).size))
                return fail(problem, rows::tooLong(rows::Row, number, view, fields.at(i)));
        }
        sink.row(views.data());
    }
    return true;
}

} // namespace

bool readPacket(const QJsonObject &packet, PacketSink &sink, QString &problem)
{
    return readQtPacket<JsonAccess>(packet, sink, problem);
}

bool readPacket(const QVariantMap &packet, PacketSink &sink, QString &problem)
{
    return readQtPacket<VariantAccess>(packet, sink, problem);
}

bool readPacket(const PacketData &packet, PacketSink &sink, QString &problem)
{
    using namespace simdjson;
    if (packet.isNull())
        return fail(problem, QStringLiteral("não é um pacote de registros."));
    dom::object object;
    if (packet.part()->element.get_object().get(object))
        return fail(problem, QStringLiteral("não é um pacote de registros."));

    dom::array fieldList;
    if (object["fields"].get_array().get(fieldList))
        return fail(problem, QStringLiteral("falta a lista de campos."));
    QList<PacketField> fields;
    std::vector<qsizetype> limits;
    for (dom::element item : fieldList) {
        std::string_view name;
        int64_t size = -1;
        if (item["name"].get_string().get(name) || name.empty())
            return fail(problem, QStringLiteral("campo sem nome."));
        const QString fieldName = detail::toQString(name);
        if (item["size"].get_int64().get(size) || size < 0 || size > INT_MAX)
            return fail(problem, rows::badSize(fieldName));
        fields.append({fieldName, int(size)});
        limits.push_back(qsizetype(size));
    }
    dom::element list;
    if (object["rows"].get(list))
        return fail(problem, QStringLiteral("falta a lista de linhas."));
    dom::array rowList;
    if (list.get_array().get(rowList))
        return fail(problem, QStringLiteral("a lista de linhas não é uma lista."));
    sink.fields(fields, qsizetype(rowList.size()));

    const size_t n = size_t(fields.size());
    std::vector<std::string_view> texts(n);
    std::vector<QStringView> views(n);
    std::vector<char16_t> buffer(256);
    qsizetype number = 0;
    for (dom::element item : rowList) {
        ++number;
        dom::array values;
        if (item.get_array().get(values))
            return fail(problem, rows::notAList(rows::Row, number));
        if (values.size() != n)
            return fail(problem, rows::wrongCount(rows::Row, number, qsizetype(values.size()),
                                                  qsizetype(n)));
        size_t bytes = 0;
        size_t i = 0;
        for (dom::element value : values) {
            std::string_view &text = texts[i];
            if (value.get_string().get(text))
                return fail(problem,
                            rows::notText(rows::Row, number, fields.at(qsizetype(i)).name));
            // A text of no more bytes than its size fits whatever it holds.
            if (qsizetype(text.size()) > limits[i] && detail::utf8Characters(text) > limits[i])
                return fail(problem, rows::tooLong(rows::Row, number, detail::toQString(text),
                                                   fields.at(qsizetype(i))));
            bytes += text.size();
            ++i;
        }
        // UTF-16 never takes more units than UTF-8 takes bytes.
        if (buffer.size() < bytes)
            buffer.resize(bytes * 2);
        char16_t *out = buffer.data();
        for (size_t f = 0; f < n; ++f) {
            char16_t *end = detail::utf8ToUtf16(texts[f], out);
            views[f] = QStringView(out, end - out);
            out = end;
        }
        sink.row(views.data());
    }
    return true;
}

} // namespace kvr::protocol
