#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QVariant>
#include <QVariantList>

namespace kvr::fiscal {

// The replies a call can have. `encode` turns what the server's handler
// returns into the reply's JSON text; `decode` turns the reply the connection
// received into what the screen uses.

// A data packet (protocol/DataPacket.h), written by the handler itself; the
// screen loads it into a dataset as it came.
struct PacketReply
{
    using Result = QByteArray;
    using Value = QVariant;
    static QString describe() { return QStringLiteral("data packet"); }
    static QByteArray encode(const QByteArray &packet) { return packet; }
    static QVariant decode(const QVariant &reply) { return reply; }
};

// ["ER"] when another rule already has the combination, ["OK"] otherwise.
struct VerdictReply
{
    using Result = bool; // true: already registered
    using Value = bool;
    static QString describe() { return QStringLiteral("[\"OK\"] or [\"ER\"]"); }
    static QByteArray encode(bool registered)
    {
        return registered ? QByteArrayLiteral("[\"ER\"]") : QByteArrayLiteral("[\"OK\"]");
    }
    static bool decode(const QVariant &reply)
    {
        const QVariantList list = reply.toList();
        return !list.isEmpty() && list.first().toString() == QLatin1String("ER");
    }
};

// {"affected":N}: the rules changed or created.
struct AffectedReply
{
    using Result = qint64;
    using Value = qint64;
    static QString describe() { return QStringLiteral("{\"affected\":N}"); }
    static QByteArray encode(qint64 count)
    {
        return QByteArrayLiteral("{\"affected\":") + QByteArray::number(count) + '}';
    }
    static qint64 decode(const QVariant &reply)
    {
        return reply.value<QJsonObject>().value(QLatin1String("affected")).toInteger();
    }
};

} // namespace kvr::fiscal
