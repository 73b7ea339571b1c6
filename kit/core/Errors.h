#pragma once

#include "kit/KvrKitExport.h"

#include <QByteArray>
#include <QMetaType>
#include <QString>

#include <exception>
#include <utility>

// The kit's error types, on their own so that code which only raises or
// carries them needs no message boxes.

// The silent abort: ends the current action without a message. Raised in a
// dataset before-event it refuses the operation. Every entry from the event
// loop catches it (see kvrGuard).
class KVRKIT_EXPORT EAbort : public std::exception
{
public:
    const char *what() const noexcept override { return "silent abort"; }
};

// A failure that must be shown to the user (raised where no message box can
// be shown right away, e.g. bad use of a dataset).
class KVRKIT_EXPORT EKvrError : public std::exception
{
public:
    explicit EKvrError(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8())
    {
    }
    const QString &message() const { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// A failure reported by the application server, as carried in a call's result.
struct KVRKIT_EXPORT TServerError
{
    int code = 0;
    QString message;
};
Q_DECLARE_METATYPE(TServerError)
