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

    // A database failure: the client gets `message`; `detail` (the URL, the
    // driver's own text) is for the log and the console only.
    static AppError database(const QString &message, const QString &detail)
    {
        AppError error(protocol::RpcError::Database, message);
        error.m_detail = detail;
        return error;
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
    // What an operator needs to know; the message when there is nothing more.
    const QString &detail() const { return m_detail.isEmpty() ? m_message : m_detail; }

private:
    protocol::RpcError m_code;
    QString m_message;
    QString m_detail;
};

} // namespace kvr::server
