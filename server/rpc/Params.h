#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

namespace kvr::server {

// Typed access to a call's positional arguments; a wrong count or type is
// thrown as an invalid-params error naming the method and the argument.
class Params final
{
public:
    Params(const QString &method, const QJsonArray &values, int expectedCount);

    QString text(int index) const;
    QList<bool> flags(int index, int count) const;
    QStringList texts(int index, int count) const;
    QJsonObject object(int index) const; // a change packet
    QJsonObject packet(int index) const; // a data packet

private:
    [[noreturn]] void wrongType(int index, const QString &expected) const;

    QString m_method;
    QJsonArray m_values;
};

} // namespace kvr::server
