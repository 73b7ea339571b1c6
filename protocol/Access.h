#pragma once

#include <QString>

namespace kvr::protocol {

// The calls that open a connection and the refusals both sides must agree
// on: the client tells a server that wants a login by its refusal text.
namespace access {

inline QString authMethod()
{
    return QStringLiteral("kvr.auth");
}
inline QString loginMethod()
{
    return QStringLiteral("kvr.login");
}
inline QString tokenRequired()
{
    return QStringLiteral("Autenticação necessária: a primeira chamada deve ser kvr.auth; a "
                          "conexão será encerrada.");
}
inline QString loginRequired()
{
    return QStringLiteral("Autenticação necessária: a primeira chamada deve ser kvr.login; a "
                          "conexão será encerrada.");
}
inline QString wrongToken()
{
    return QStringLiteral("Token de acesso inválido; a conexão será encerrada.");
}
inline QString wrongLogin()
{
    return QStringLiteral("Usuário ou senha inválidos; a conexão será encerrada.");
}

} // namespace access
} // namespace kvr::protocol
