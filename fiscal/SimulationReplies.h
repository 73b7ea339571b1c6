#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QVariant>

namespace kvr::fiscal {

// {"verdict":"B"|"A"|"C"|"","rules":<RuleRecord packet>}: what the rules say
// of an invoice line and the rules that apply to it.
struct SimulationReply
{
    struct Result
    {
        QString verdict;
        QByteArray rules; // a data packet
    };
    using Value = QJsonObject;
    static QString describe() { return QStringLiteral("{\"verdict\":V,\"rules\":data packet}"); }
    static QByteArray encode(const Result &result)
    {
        return QByteArrayLiteral("{\"verdict\":\"") + result.verdict.toLatin1() +
               QByteArrayLiteral("\",\"rules\":") + result.rules + '}';
    }
    static QJsonObject decode(const QVariant &reply) { return reply.value<QJsonObject>(); }
};

// {"total":N,"findings":<FindingRecord packet>}: the first findings and how
// many there are in all.
struct FindingsReply
{
    struct Result
    {
        qint64 total = 0;
        QByteArray findings; // a data packet
    };
    using Value = QJsonObject;
    static QString describe() { return QStringLiteral("{\"total\":N,\"findings\":data packet}"); }
    static QByteArray encode(const Result &result)
    {
        return QByteArrayLiteral("{\"total\":") + QByteArray::number(result.total) +
               QByteArrayLiteral(",\"findings\":") + result.findings + '}';
    }
    static QJsonObject decode(const QVariant &reply) { return reply.value<QJsonObject>(); }
};

} // namespace kvr::fiscal
