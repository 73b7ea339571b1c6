#pragma once

#include "protocol/DeltaData.h"
#include "protocol/PacketData.h"

#include <QJsonArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace kvr::protocol {

namespace detail {
struct PacketPart;
}

// A request's positional arguments, read in place from the request's one
// strict parse, which they keep alive; copies share it. Each reader takes the
// argument at `index` (below size()) and returns false when it is not of the
// reader's type, leaving `out` as it was.
class RequestParams final
{
public:
    RequestParams() = default; // none
    explicit RequestParams(std::shared_ptr<const detail::PacketPart> list);

    qsizetype size() const { return m_size; }

    // A string.
    bool text(qsizetype index, QString &out) const;
    // A list of exactly `count` booleans.
    bool flags(qsizetype index, qsizetype count, QList<bool> &out) const;
    // A list of exactly `count` strings.
    bool texts(qsizetype index, qsizetype count, QStringList &out) const;
    // An object, kept parsed for readDelta.
    bool delta(qsizetype index, DeltaData &out) const;
    // An object, kept parsed as a data packet.
    bool packet(qsizetype index, PacketData &out) const;

    // All of them as Qt's JSON types, for callers that look at a small request.
    QJsonArray toJsonArray() const;

private:
    // The object at `index`, sharing the parse; null when it is not one.
    std::shared_ptr<const detail::PacketPart> objectAt(qsizetype index) const;

    std::shared_ptr<const detail::PacketPart> m_list;
    qsizetype m_size = 0;
};

} // namespace kvr::protocol
