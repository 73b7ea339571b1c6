#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QMetaType>
#include <QString>
#include <QVariantMap>

#include <memory>

namespace kvr::protocol {

namespace detail {
struct PacketPart;
}

// A data packet as received: its JSON text, already checked by the strict
// parser, kept parsed until a reader takes its rows. A reply hands packets
// over this way so that a large one is parsed once and never becomes a
// QJsonObject. Copies share the parse.
class PacketData final
{
public:
    PacketData() = default;
    // Parses a packet's JSON text; a null packet and `problem` when the text
    // is not strict JSON or not an object.
    static PacketData fromJson(QByteArray text, QString *problem = nullptr);

    bool isNull() const { return !m_part; }
    // Rows in the packet's "rows" list; 0 when it has none.
    qsizetype rowCount() const;
    // The packet as Qt's JSON types, for callers that look inside a small one.
    QJsonObject toJsonObject() const;
    QVariantMap toVariantMap() const { return toJsonObject().toVariantMap(); }

    // Lets QVariant convert a packet to QJsonObject, QJsonValue and QVariantMap.
    static void registerConversions();

    const detail::PacketPart *part() const { return m_part.get(); }
    explicit PacketData(std::shared_ptr<const detail::PacketPart> part);

private:
    std::shared_ptr<const detail::PacketPart> m_part;
};

} // namespace kvr::protocol

Q_DECLARE_METATYPE(kvr::protocol::PacketData)
