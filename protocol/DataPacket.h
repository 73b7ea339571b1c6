#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

namespace kvr::protocol {

// A record packet on the wire: {"fields":[{"name":..,"size":..}],"rows":[[..]]}.
// Every value is a text of at most `size` characters, "" for empty.
struct PacketField
{
    QString name;
    int size = 0;
    bool operator==(const PacketField &o) const { return name == o.name && size == o.size; }
};

struct DataPacket
{
    QList<PacketField> fields;
    std::vector<QStringList> rows;
};

// A change log: {"fields":[..],"changes":[{"op":"update","old":[..],"new":[..]},
// {"op":"delete","old":[..]}]}. `old` is the row as loaded, `new` as posted.
// A client's log may also hold {"op":"insert","new":[..]}: it is written, but
// the reader takes only the updates and deletes that a delta may apply.
struct DeltaChange
{
    enum class Op { Update, Delete, Insert };
    Op op = Op::Update;
    QStringList oldRow; // empty for an insert
    QStringList newRow; // empty for a delete
};

struct Delta
{
    QList<PacketField> fields;
    QList<DeltaChange> changes;
};

// Writes a packet straight to compact JSON without building a document, so
// that large result sets cost one pass.
class PacketWriter final
{
public:
    explicit PacketWriter(const QList<PacketField> &fields, qsizetype expectedRows = 0);
    void addRow(const QStringList &values);
    // Adds one row value by value without building a list.
    void beginRow();
    void addValue(QStringView value);
    // A value as UTF-8 (as a database hands it over): copied as it is, only
    // escaped; a text that is not valid UTF-8 is read as QString does.
    void addUtf8(const char *data, qsizetype size);
    void endRow();
    QByteArray finish();

private:
    // Room for `bytes` more bytes at m_used.
    char *room(qsizetype bytes);
    void separateValue();

    QByteArray m_out;
    qsizetype m_used = 0;
    bool m_firstRow = true;
    bool m_firstValue = true;
};

void appendJsonString(QByteArray &out, QStringView text);

// The width of a text as fields count it: in characters (code points), so an
// emoji, two UTF-16 units, is one.
qsizetype characterCount(QStringView text);

QJsonObject packetToJson(const DataPacket &packet);
bool packetFromJson(const QJsonObject &json, DataPacket &packet, QString &problem);
QJsonObject deltaToJson(const Delta &delta);
bool deltaFromJson(const QJsonObject &json, Delta &delta, QString &problem);

} // namespace kvr::protocol
