#pragma once

#include "protocol/DataPacket.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <memory>

namespace kvr::protocol {

namespace detail {
struct PacketPart;
}

// A change packet (delta) as a call's argument: built as Qt JSON by the
// client that sends it, or as the server received it, still parsed, so that a
// large delta is parsed once and never becomes a QJsonObject. Both forms read
// alike. Copies share the parse.
class DeltaData final
{
public:
    DeltaData() = default;
    DeltaData(QJsonObject json); // NOLINT: a delta is written as Qt JSON
    explicit DeltaData(std::shared_ptr<const detail::PacketPart> part);
    // Parses a delta's JSON text; a null delta and `problem` when the text is
    // not strict JSON or not an object.
    static DeltaData fromJson(const QByteArray &text, QString *problem = nullptr);

    // What the limits look at before the delta is read: the entries of its
    // "changes" list (0 when it has none) and whether one is an object whose
    // "op" is `op`.
    qsizetype changeCount() const;
    bool hasChange(const char *op) const;
    QJsonObject toJsonObject() const;

    const detail::PacketPart *part() const { return m_part.get(); }
    const QJsonObject &json() const { return m_json; }

private:
    QJsonObject m_json;
    std::shared_ptr<const detail::PacketPart> m_part;
};

// Reads a delta as the wire defines it (DataPacket.h): its fields as a
// packet's, then each change, updates and deletes only, every row one text of
// at most its field's size per field. On a fault returns false with a
// Portuguese `problem` that names the change and field.
bool readDelta(const DeltaData &data, Delta &delta, QString &problem);

} // namespace kvr::protocol
