#pragma once

#include <QElapsedTimer>

namespace kvr::server {

// Keeps one connection from flooding the log: a burst of warnings, then about
// one a second. The warning let through after a pause says how many were
// held back.
class WarningLimiter final
{
public:
    static constexpr int Burst = 10;
    static constexpr qint64 RefillMs = 1000;

    WarningLimiter();

    // True when a warning may be logged now; `held` then gets how many were
    // held back since the last one logged.
    bool allow(qint64 &held);

private:
    QElapsedTimer m_clock;
    qint64 m_refilledAt = 0;
    int m_tokens = Burst;
    qint64 m_held = 0;
};

} // namespace kvr::server
