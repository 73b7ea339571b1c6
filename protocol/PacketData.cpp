#include "protocol/PacketData.h"

#include "protocol/ParsedJson.h"

#include <QJsonArray>

namespace kvr::protocol {

namespace detail {

std::shared_ptr<ParsedJson> parseJson(const QByteArray &text, QString &problem,
                                      std::size_t maxDepth)
{
    auto parsed = std::make_shared<ParsedJson>();
    simdjson::dom::parser parser;
    if (maxDepth != simdjson::DEFAULT_MAX_DEPTH &&
        parser.allocate(std::size_t(text.size()), maxDepth)) {
        problem = QStringLiteral("memória insuficiente para ler o texto.");
        return nullptr;
    }
    // The parser reads a few bytes past the end: it copies the text only when
    // the buffer has no room for them.
    const bool padded = text.capacity() - text.size() >= qsizetype(simdjson::SIMDJSON_PADDING);
    const auto error = parser
                           .parse_into_document(parsed->document,
                                                reinterpret_cast<const uint8_t *>(text.constData()),
                                                size_t(text.size()), !padded)
                           .get(parsed->root);
    if (error) {
        problem = QStringLiteral("o texto não é JSON válido (%1).")
                      .arg(QString::fromLatin1(simdjson::error_message(error)));
        return nullptr;
    }
    return parsed;
}

std::shared_ptr<const PacketPart> parseObject(const QByteArray &text, QString &problem,
                                              const QString &notObject)
{
    std::shared_ptr<ParsedJson> parsed = parseJson(text, problem);
    if (!parsed)
        return nullptr;
    if (!parsed->root.is_object()) {
        problem = notObject;
        return nullptr;
    }
    return std::make_shared<const PacketPart>(PacketPart{parsed, parsed->root});
}

QString toQString(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

qsizetype utf8Characters(std::string_view utf8)
{
    qsizetype count = 0;
    for (const char c : utf8)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

char16_t *utf8ToUtf16(std::string_view utf8, char16_t *out)
{
    // The parser has checked the UTF-8, so every sequence is complete.
    const auto *s = reinterpret_cast<const unsigned char *>(utf8.data());
    const auto *end = s + utf8.size();
    while (s < end) {
        const unsigned char c = *s;
        if (c < 0x80) {
            *out++ = c;
            ++s;
        } else if (c < 0xE0) {
            *out++ = char16_t(((c & 0x1F) << 6) | (s[1] & 0x3F));
            s += 2;
        } else if (c < 0xF0) {
            *out++ = char16_t(((c & 0x0F) << 12) | ((s[1] & 0x3F) << 6) | (s[2] & 0x3F));
            s += 3;
        } else {
            const char32_t code =
                ((c & 0x07) << 18) | ((s[1] & 0x3F) << 12) | ((s[2] & 0x3F) << 6) | (s[3] & 0x3F);
            *out++ = QChar::highSurrogate(code);
            *out++ = QChar::lowSurrogate(code);
            s += 4;
        }
    }
    return out;
}

QJsonValue toQJsonValue(simdjson::dom::element element)
{
    using simdjson::dom::element_type;
    switch (element.type()) {
    case element_type::ARRAY: {
        QJsonArray array;
        for (simdjson::dom::element item : simdjson::dom::array(element))
            array.append(toQJsonValue(item));
        return array;
    }
    case element_type::OBJECT: {
        QJsonObject object;
        for (simdjson::dom::key_value_pair member : simdjson::dom::object(element))
            object.insert(toQString(member.key), toQJsonValue(member.value));
        return object;
    }
    case element_type::INT64:
        return QJsonValue(qint64(int64_t(element)));
    case element_type::UINT64:
        return QJsonValue(double(uint64_t(element)));
    case element_type::DOUBLE:
        return QJsonValue(double(element));
    case element_type::STRING:
        return toQString(std::string_view(element));
    case element_type::BOOL:
        return QJsonValue(bool(element));
    case element_type::NULL_VALUE:
        break;
    }
    return QJsonValue(QJsonValue::Null);
}

} // namespace detail

PacketData::PacketData(std::shared_ptr<const detail::PacketPart> part) : m_part(std::move(part))
{
    registerConversions();
}

PacketData PacketData::fromJson(QByteArray text, QString *problem)
{
    QString why;
    if (auto part = detail::parseObject(text, why, QStringLiteral("não é um pacote de registros.")))
        return PacketData(std::move(part));
    if (problem)
        *problem = QStringLiteral("Pacote de dados inválido: ") + why;
    return PacketData();
}

qsizetype PacketData::rowCount() const
{
    simdjson::dom::array rows;
    if (!m_part || m_part->element["rows"].get_array().get(rows))
        return 0;
    return qsizetype(rows.size());
}

QJsonObject PacketData::toJsonObject() const
{
    return m_part ? detail::toQJsonValue(m_part->element).toObject() : QJsonObject();
}

void PacketData::registerConversions()
{
    static const bool registered = [] {
        QMetaType::registerConverter<PacketData, QJsonObject>(&PacketData::toJsonObject);
        QMetaType::registerConverter<PacketData, QVariantMap>(&PacketData::toVariantMap);
        QMetaType::registerConverter<PacketData, QJsonValue>(
            [](const PacketData &packet) { return QJsonValue(packet.toJsonObject()); });
        return true;
    }();
    Q_UNUSED(registered)
}

} // namespace kvr::protocol
