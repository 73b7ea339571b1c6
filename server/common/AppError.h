#pragma once

#include "protocol/JsonRpc.h"

#include <QString>

#include <stdexcept>

namespace kvr::server {

// A failure that travels back to the caller as a JSON-RPC error value.
class AppError final : public std::runtime_error
{
public:
    AppError(protocol::RpcError code, const QString &message)
        : std::runtime_error(message.toStdString()), m_code(code), m_message(message)
    {
    }

    static AppError validation(const QString &message)
    {
        return AppError(protocol::RpcError::Validation, message);
    }
    static AppError params(const QString &message)
    {
        return AppError(protocol::RpcError::InvalidParams, message);
    }

    protocol::RpcError code() const { return m_code; }
    const QString &message() const { return m_message; }

private:
    protocol::RpcError m_code;
    QString m_message;
};

} // namespace kvr::server
