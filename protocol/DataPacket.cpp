#include "protocol/DataPacket.h"

#include "protocol/PacketReader.h"

#include <QJsonArray>

#include <simdjson.h>

#include <cstring>

namespace kvr::protocol {

namespace {

const char Hex[] = "0123456789abcdef";

// Bytes that a JSON string cannot hold as they are.
constexpr bool needsEscape(unsigned char c)
{
    return c < 0x20 || c == '"' || c == '\\';
}

char *writeEscape(char *out, unsigned char c)
{
    *out++ = '\\';
    switch (c) {
    case '"':
        *out++ = '"';
        return out;
    case '\\':
        *out++ = '\\';
        return out;
    case '\n':
        *out++ = 'n';
        return out;
    case '\r':
        *out++ = 'r';
        return out;
    case '\t':
        *out++ = 't';
        return out;
    default:
        break;
    }
    *out++ = 'u';
    *out++ = '0';
    *out++ = '0';
    *out++ = Hex[c >> 4];
    *out++ = Hex[c & 0xf];
    return out;
}

// Most bytes a text of `units` UTF-16 units takes as a JSON string.
constexpr qsizetype jsonStringBound(qsizetype units)
{
    return units * 6 + 2;
}

// Encodes straight from UTF-16: no temporary UTF-8 copy per value, which
// matters for packets of many thousands of rows.
char *writeJsonString(char *out, QStringView text)
{
    *out++ = '"';
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80) {
            if (needsEscape(static_cast<unsigned char>(c)))
                out = writeEscape(out, static_cast<unsigned char>(c));
            else
                *out++ = static_cast<char>(c);
            continue;
        }
        char32_t code = c;
        if (QChar::isHighSurrogate(c) && i + 1 < n &&
            QChar::isLowSurrogate(text[i + 1].unicode())) {
            code = QChar::surrogateToUcs4(c, text[i + 1].unicode());
            ++i;
        } else if (QChar::isSurrogate(c)) {
            code = 0xFFFD; // a lone surrogate cannot be written as UTF-8
        }
        if (code < 0x800) {
            *out++ = static_cast<char>(0xC0 | (code >> 6));
            *out++ = static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            *out++ = static_cast<char>(0xE0 | (code >> 12));
            *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            *out++ = static_cast<char>(0x80 | (code & 0x3F));
        } else {
            *out++ = static_cast<char>(0xF0 | (code >> 18));
            *out++ = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            *out++ = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            *out++ = static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    *out++ = '"';
    return out;
}

// Valid UTF-8 as a JSON string: only the bytes JSON reserves are escaped.
char *writeJsonUtf8(char *out, const char *data, qsizetype size)
{
    *out++ = '"';
    const auto *s = reinterpret_cast<const unsigned char *>(data);
    const auto *end = s + size;
    while (s < end) {
        const auto *run = s;
        while (s < end && !needsEscape(*s))
            ++s;
        std::memcpy(out, run, size_t(s - run));
        out += s - run;
        if (s < end)
            out = writeEscape(out, *s++);
    }
    *out++ = '"';
    return out;
}

QJsonArray fieldsToJson(const QList<PacketField> &fields)
{
    QJsonArray out;
    for (const PacketField &f : fields)
        out.append(QJsonObject{{QStringLiteral("name"), f.name}, {QStringLiteral("size"), f.size}});
    return out;
}

// Collects a packet's rows as lists.
class PacketCollector final : public PacketSink
{
public:
    explicit PacketCollector(DataPacket &packet) : m_packet(packet) {}
    void fields(const QList<PacketField> &fields, qsizetype rowCount) override
    {
        m_packet.fields = fields;
        m_packet.rows.clear();
        m_packet.rows.reserve(size_t(rowCount));
    }
    void row(const QStringView *values) override
    {
        QStringList row;
        row.reserve(m_packet.fields.size());
        for (qsizetype i = 0; i < m_packet.fields.size(); ++i)
            row.append(values[i].toString());
        m_packet.rows.push_back(std::move(row));
    }

private:
    DataPacket &m_packet;
};

} // namespace

qsizetype characterCount(QStringView text)
{
    qsizetype count = text.size();
    for (qsizetype i = 1; i < text.size(); ++i)
        if (text[i].isLowSurrogate() && text[i - 1].isHighSurrogate())
            --count;
    return count;
}

void appendJsonString(QByteArray &out, QStringView text)
{
    const qsizetype used = out.size();
    out.resize(used + jsonStringBound(text.size()));
    char *end = writeJsonString(out.data() + used, text);
    out.resize(end - out.constData());
}

PacketWriter::PacketWriter(const QList<PacketField> &fields, qsizetype expectedRows)
{
    m_out.resize(256 + expectedRows * fields.size() * 8);
    QByteArray head("{\"fields\":[");
    bool first = true;
    for (const PacketField &f : fields) {
        if (!first)
            head.append(',');
        first = false;
        head.append("{\"name\":");
        appendJsonString(head, f.name);
        head.append(",\"size\":");
        head.append(QByteArray::number(f.size));
        head.append('}');
    }
    head.append("],\"rows\":[");
    std::memcpy(room(head.size()), head.constData(), size_t(head.size()));
    m_used += head.size();
}

char *PacketWriter::room(qsizetype bytes)
{
    if (m_out.size() - m_used < bytes)
        m_out.resize(std::max(m_out.size() * 2, m_used + bytes + 4096));
    return m_out.data() + m_used;
}

void PacketWriter::addRow(const QStringList &values)
{
    beginRow();
    for (const QString &v : values)
        addValue(v);
    endRow();
}

void PacketWriter::beginRow()
{
    char *out = room(2);
    if (!m_firstRow)
        *out++ = ',';
    *out++ = '[';
    m_used = out - m_out.constData();
    m_firstRow = false;
    m_firstValue = true;
}

void PacketWriter::separateValue()
{
    if (!m_firstValue) {
        *room(1) = ',';
        ++m_used;
    }
    m_firstValue = false;
}

void PacketWriter::addValue(QStringView value)
{
    separateValue();
    char *end = writeJsonString(room(jsonStringBound(value.size())), value);
    m_used = end - m_out.constData();
}

void PacketWriter::addUtf8(const char *data, qsizetype size)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(data);
    bool ascii = true;
    for (qsizetype i = 0; i < size && ascii; ++i)
        ascii = bytes[i] < 0x80;
    if (!ascii && !simdjson::validate_utf8(data, size_t(size))) {
        addValue(QString::fromUtf8(data, size));
        return;
    }
    separateValue();
    char *end = writeJsonUtf8(room(size * 6 + 2), data, size);
    m_used = end - m_out.constData();
}

void PacketWriter::endRow()
{
    *room(1) = ']';
    ++m_used;
}

QByteArray PacketWriter::finish()
{
    std::memcpy(room(2), "]}", 2);
    m_used += 2;
    m_out.resize(m_used);
    return std::move(m_out);
}

QJsonObject packetToJson(const DataPacket &packet)
{
    QJsonArray rows;
    for (const QStringList &row : packet.rows)
        rows.append(QJsonArray::fromStringList(row));
    return {{QStringLiteral("fields"), fieldsToJson(packet.fields)},
            {QStringLiteral("rows"), rows}};
}

bool packetFromJson(const QJsonObject &json, DataPacket &packet, QString &problem)
{
    PacketCollector collector(packet);
    return readPacket(json, collector, problem);
}

QJsonObject deltaToJson(const Delta &delta)
{
    QJsonArray changes;
    for (const DeltaChange &c : delta.changes) {
        QJsonObject change;
        switch (c.op) {
        case DeltaChange::Op::Update:
            change.insert(QStringLiteral("op"), QStringLiteral("update"));
            change.insert(QStringLiteral("old"), QJsonArray::fromStringList(c.oldRow));
            change.insert(QStringLiteral("new"), QJsonArray::fromStringList(c.newRow));
            break;
        case DeltaChange::Op::Delete:
            change.insert(QStringLiteral("op"), QStringLiteral("delete"));
            change.insert(QStringLiteral("old"), QJsonArray::fromStringList(c.oldRow));
            break;
        case DeltaChange::Op::Insert:
            change.insert(QStringLiteral("op"), QStringLiteral("insert"));
            change.insert(QStringLiteral("new"), QJsonArray::fromStringList(c.newRow));
            break;
        }
        changes.append(change);
    }
    return {{QStringLiteral("fields"), fieldsToJson(delta.fields)},
            {QStringLiteral("changes"), changes}};
}

} // namespace kvr::protocol
