#include "server/rpc/Params.h"

#include "protocol/PacketData.h"

#include "server/common/AppError.h"

namespace kvr::server {

Params::Params(const QString &method, const protocol::RequestParams &values, int expectedCount)
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
    QString value;
    if (!m_values.text(index, value))
        wrongType(index, QStringLiteral("um texto"));
    return value;
}

QList<bool> Params::flags(int index, int count) const
{
    QList<bool> value;
    if (!m_values.flags(index, count, value))
        wrongType(index, QStringLiteral("uma lista de %1 valores lógicos").arg(count));
    return value;
}

QStringList Params::texts(int index, int count) const
{
    QStringList value;
    if (!m_values.texts(index, count, value))
        wrongType(index, QStringLiteral("uma lista de %1 textos").arg(count));
    return value;
}

protocol::DeltaData Params::delta(int index) const
{
    protocol::DeltaData value;
    if (!m_values.delta(index, value))
        wrongType(index, QStringLiteral("um pacote de alterações (objeto)"));
    return value;
}

QJsonObject Params::packet(int index) const
{
    protocol::PacketData value;
    if (!m_values.packet(index, value))
        wrongType(index, QStringLiteral("um pacote de dados (objeto)"));
    return value.toJsonObject();
}

} // namespace kvr::server
