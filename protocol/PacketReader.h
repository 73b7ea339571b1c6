#pragma once

#include "protocol/DataPacket.h"

#include <QJsonObject>
#include <QStringView>
#include <QVariantMap>

namespace kvr::protocol {

class PacketData;

// Takes a packet's rows while a reader checks them: the fields once, then
// each row. A sink may throw to stop the reading.
class PacketSink
{
public:
    virtual ~PacketSink() = default;
    virtual void fields(const QList<PacketField> &fields, qsizetype rowCount) = 0;
    // One value per field, in the packet's order; valid during the call only.
    virtual void row(const QStringView *values) = 0;
};

// Reads a packet as the wire defines it: "fields" of non-empty names and
// non-negative sizes, "rows" of exactly one text per field, each at most
// its field's size in characters. On a fault returns false with a
// Portuguese `problem` that names the row and field; the sink has then seen
// the rows before it. The three forms read alike, so a packet means the same
// however it arrives.
bool readPacket(const PacketData &packet, PacketSink &sink, QString &problem);
bool readPacket(const QJsonObject &packet, PacketSink &sink, QString &problem);
bool readPacket(const QVariantMap &packet, PacketSink &sink, QString &problem);

} // namespace kvr::protocol
