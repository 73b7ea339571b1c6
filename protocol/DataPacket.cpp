#include "protocol/DataPacket.h"

#include "protocol/Excerpt.h"

#include <QJsonArray>

namespace kvr::protocol {

namespace {

QJsonArray fieldsToJson(const QList<PacketField> &fields)
{
    QJsonArray out;
    for (const PacketField &f : fields)
        out.append(QJsonObject{{QStringLiteral("name"), f.name}, {QStringLiteral("size"), f.size}});
    return out;
}

bool fieldsFromJson(const QJsonValue &value, QList<PacketField> &fields, QString &problem)
{
    if (!value.isArray()) {
        problem = QStringLiteral("Pacote inválido: lista de campos ausente.");
        return false;
    }
    fields.clear();
    for (const QJsonValue &v : value.toArray()) {
        const QJsonObject f = v.toObject();
        const QJsonValue name = f.value(QLatin1String("name"));
        const QJsonValue size = f.value(QLatin1String("size"));
        if (!name.isString() || name.toString().isEmpty() || !size.isDouble() ||
            size.toInt(-1) < 0) {
            problem = QStringLiteral("Pacote inválido: definição de campo incorreta.");
            return false;
        }
        fields.append({name.toString(), size.toInt()});
    }
    return true;
}

bool rowFromJson(const QJsonValue &value, const QList<PacketField> &fields, QStringList &row,
                 QString &problem)
{
    if (!value.isArray() || value.toArray().size() != fields.size()) {
        problem = QStringLiteral("Pacote inválido: linha com número de valores diferente do "
                                 "número de campos.");
        return false;
    }
    const QJsonArray values = value.toArray();
    row.clear();
    row.reserve(values.size());
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (!values.at(i).isString()) {
            problem = QStringLiteral("Pacote inválido: o valor do campo %1 não é texto.")
                          .arg(excerpt(fields.at(i).name));
            return false;
        }
        const QString text = values.at(i).toString();
        if (characterCount(text) > fields.at(i).size) {
            problem = QStringLiteral("Pacote inválido: o valor do campo %1 excede %2 caracteres.")
                          .arg(excerpt(fields.at(i).name))
                          .arg(fields.at(i).size);
            return false;
        }
        row.append(text);
    }
    return true;
}

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
    // Encodes straight from UTF-16: no temporary UTF-8 copy per value, which
    // matters for packets of many thousands of rows.
    static const char hex[] = "0123456789abcdef";
    out.append('"');
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0x20 && c < 0x80 && c != u'"' && c != u'\\') {
            out.append(static_cast<char>(c));
            continue;
        }
        switch (c) {
        case u'"':
            out.append("\\\"");
            continue;
        case u'\\':
            out.append("\\\\");
            continue;
        case u'\n':
            out.append("\\n");
            continue;
        case u'\r':
            out.append("\\r");
            continue;
        case u'\t':
            out.append("\\t");
            continue;
        default:
            break;
        }
        if (c < 0x20) {
            out.append("\\u00");
            out.append(hex[c >> 4]);
            out.append(hex[c & 0xf]);
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
            out.append(static_cast<char>(0xC0 | (code >> 6)));
            out.append(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            out.append(static_cast<char>(0xE0 | (code >> 12)));
            out.append(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.append(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            out.append(static_cast<char>(0xF0 | (code >> 18)));
            out.append(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            out.append(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.append(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }
    out.append('"');
}

PacketWriter::PacketWriter(const QList<PacketField> &fields, qsizetype expectedRows)
{
    m_out.reserve(64 + expectedRows * fields.size() * 8);
    m_out.append("{\"fields\":[");
    bool first = true;
    for (const PacketField &f : fields) {
        if (!first)
            m_out.append(',');
        first = false;
        m_out.append("{\"name\":");
        appendJsonString(m_out, f.name);
        m_out.append(",\"size\":");
        m_out.append(QByteArray::number(f.size));
        m_out.append('}');
    }
    m_out.append("],\"rows\":[");
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
    if (!m_firstRow)
        m_out.append(',');
    m_firstRow = false;
    m_firstValue = true;
    m_out.append('[');
}

void PacketWriter::addValue(QStringView value)
{
    if (!m_firstValue)
        m_out.append(',');
    m_firstValue = false;
    appendJsonString(m_out, value);
}

void PacketWriter::endRow()
{
    m_out.append(']');
}

QByteArray PacketWriter::finish()
{
    m_out.append("]}");
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
    if (!fieldsFromJson(json.value(QLatin1String("fields")), packet.fields, problem))
        return false;
    const QJsonValue rows = json.value(QLatin1String("rows"));
    if (!rows.isArray()) {
        problem = QStringLiteral("Pacote inválido: lista de linhas ausente.");
        return false;
    }
    const QJsonArray array = rows.toArray();
    packet.rows.clear();
    packet.rows.reserve(array.size());
    for (const QJsonValue &r : array) {
        QStringList row;
        if (!rowFromJson(r, packet.fields, row, problem))
            return false;
        packet.rows.push_back(std::move(row));
    }
    return true;
}

QJsonObject deltaToJson(const Delta &delta)
{
    QJsonArray changes;
    for (const DeltaChange &c : delta.changes) {
        QJsonObject change;
        if (c.op == DeltaChange::Op::Update) {
            change.insert(QStringLiteral("op"), QStringLiteral("update"));
            change.insert(QStringLiteral("old"), QJsonArray::fromStringList(c.oldRow));
            change.insert(QStringLiteral("new"), QJsonArray::fromStringList(c.newRow));
        } else {
            change.insert(QStringLiteral("op"), QStringLiteral("delete"));
            change.insert(QStringLiteral("old"), QJsonArray::fromStringList(c.oldRow));
        }
        changes.append(change);
    }
    return {{QStringLiteral("fields"), fieldsToJson(delta.fields)},
            {QStringLiteral("changes"), changes}};
}

bool deltaFromJson(const QJsonObject &json, Delta &delta, QString &problem)
{
    if (!fieldsFromJson(json.value(QLatin1String("fields")), delta.fields, problem))
        return false;
    const QJsonValue changes = json.value(QLatin1String("changes"));
    if (!changes.isArray()) {
        problem = QStringLiteral("Pacote de alterações inválido: lista de alterações ausente.");
        return false;
    }
    delta.changes.clear();
    for (const QJsonValue &v : changes.toArray()) {
        const QJsonObject obj = v.toObject();
        const QString op = obj.value(QLatin1String("op")).toString();
        DeltaChange change;
        if (op == QLatin1String("update")) {
            change.op = DeltaChange::Op::Update;
            if (!rowFromJson(obj.value(QLatin1String("old")), delta.fields, change.oldRow,
                             problem) ||
                !rowFromJson(obj.value(QLatin1String("new")), delta.fields, change.newRow, problem))
                return false;
        } else if (op == QLatin1String("delete")) {
            change.op = DeltaChange::Op::Delete;
            if (!rowFromJson(obj.value(QLatin1String("old")), delta.fields, change.oldRow, problem))
                return false;
        } else {
            // Which operations a server accepts is its own to say; the wire
            // knows only these two.
            problem = QStringLiteral("Pacote de alterações inválido: operação \"%1\" "
                                     "desconhecida.")
                          .arg(excerpt(op));
            return false;
        }
        delta.changes.append(change);
    }
    return true;
}

} // namespace kvr::protocol
