#include "server/rpc/Params.h"

#include "server/common/AppError.h"

namespace kvr::server {

Params::Params(const QString &method, const QJsonArray &values, int expectedCount)
    : m_method(method), m_values(values)
{
    if (values.size() != expectedCount)
        throw AppError::params(
            QStringLiteral("Parâmetros inválidos em %1: esperados %2 argumentos, recebidos %3.")
                .arg(method)
                .arg(expectedCount)
                .arg(values.size()));
}

void Params::wrongType(int index, const QString &expected) const
{
    throw AppError::params(QStringLiteral("Parâmetros inválidos em %1: o argumento %2 deve ser %3.")
                               .arg(m_method)
                               .arg(index + 1)
                               .arg(expected));
}

QString Params::text(int index) const
{
    const QJsonValue value = m_values.at(index);
    if (!value.isString())
        wrongType(index, QStringLiteral("um texto"));
    return value.toString();
}

QList<bool> Params::flags(int index, int count) const
{
    const QJsonValue value = m_values.at(index);
    const QString expected = QStringLiteral("uma lista de %1 valores lógicos").arg(count);
    if (!value.isArray() || value.toArray().size() != count)
        wrongType(index, expected);
    QList<bool> out;
    for (const QJsonValue &v : value.toArray()) {
        if (!v.isBool())
            wrongType(index, expected);
        out.append(v.toBool());
    }
    return out;
}

QStringList Params::texts(int index, int count) const
{
    const QJsonValue value = m_values.at(index);
    const QString expected = QStringLiteral("uma lista de %1 textos").arg(count);
    if (!value.isArray() || value.toArray().size() != count)
        wrongType(index, expected);
    QStringList out;
    for (const QJsonValue &v : value.toArray()) {
        if (!v.isString())
            wrongType(index, expected);
        out.append(v.toString());
    }
    return out;
}

QJsonObject Params::object(int index) const
{
    const QJsonValue value = m_values.at(index);
    if (!value.isObject())
        wrongType(index, QStringLiteral("um pacote de alterações (objeto)"));
    return value.toObject();
}

QJsonObject Params::packet(int index) const
{
    const QJsonValue value = m_values.at(index);
    if (!value.isObject())
        wrongType(index, QStringLiteral("um pacote de dados (objeto)"));
    return value.toObject();
}

} // namespace kvr::server
