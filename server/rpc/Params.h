#pragma once

#include "protocol/DeltaData.h"
#include "protocol/RequestParams.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace kvr::server {

// Typed access to a call's positional arguments, read from the request's
// parse; a wrong count or type is thrown as an invalid-params error naming
// the method and the argument.
class Params final
{
public:
    Params(const QString &method, const protocol::RequestParams &values, int expectedCount);

    QString text(int index) const;
    QList<bool> flags(int index, int count) const;
    QStringList texts(int index, int count) const;
    protocol::DeltaData delta(int index) const;
    QJsonObject packet(int index) const; // a data packet

private:
    [[noreturn]] void wrongType(int index, const QString &expected) const;

    QString m_method;
    protocol::RequestParams m_values;
};

} // namespace kvr::server
