#pragma once

#include "server/common/WarningLimiter.h"

#include <QElapsedTimer>
#include <QHash>
#include <QString>

#include <mutex>

namespace kvr::server {

// Makes guessing tokens and passwords slow: after a few failed attempts from
// one address, every answer to an attempt from it waits, longer with each
// failure up to a cap, until it succeeds or stays quiet for a while. Failures
// are logged with the address, at most a burst and then one a second for all
// addresses together. A success does not clear the count: with one account
// of its own, a guesser could otherwise go on at full speed against another.
// Shared by every connection, thread-safe.
class AuthThrottle final
{
public:
    static constexpr int FreeFailures = 3;
    static constexpr qint64 FirstDelayMs = 250;
    static constexpr qint64 MaxDelayMs = 8000;
    // A quiet address is forgotten after this long.
    static constexpr qint64 ForgetMs = 15 * 60 * 1000;

    AuthThrottle();

    // How long to hold the answer to an attempt from `address`.
    qint64 delayMs(const QString &address);
    // `what`: the kind of attempt, for the log ("access token", "login").
    void failed(const QString &address, const char *what);

private:
    struct Entry
    {
        int failures = 0;
        qint64 lastMs = 0;
    };
    void forgetOld(qint64 now);

    std::mutex m_mutex;
    QElapsedTimer m_clock;
    QHash<QString, Entry> m_entries;
    WarningLimiter m_log;
};

} // namespace kvr::server
