#include "server/auth/AuthThrottle.h"

#include "server/common/ServerLog.h"

#include <algorithm>

namespace kvr::server {

namespace {
// Addresses remembered at most; a flood from many addresses forgets the
// quiet ones first.
constexpr qsizetype MaxEntries = 10000;
} // namespace

AuthThrottle::AuthThrottle()
{
    m_clock.start();
}

qint64 AuthThrottle::delayMs(const QString &address)
{
    const std::lock_guard lock(m_mutex);
    const auto it = m_entries.constFind(address);
    if (it == m_entries.constEnd() || it->failures < FreeFailures ||
        m_clock.elapsed() - it->lastMs > ForgetMs)
        return 0;
    const int doublings = std::min(it->failures - FreeFailures, 16);
    return std::min(MaxDelayMs, FirstDelayMs << doublings);
}

void AuthThrottle::failed(const QString &address, const char *what)
{
    const std::lock_guard lock(m_mutex);
    const qint64 now = m_clock.elapsed();
    if (m_entries.size() >= MaxEntries && !m_entries.contains(address))
        forgetOld(now);
    Entry &entry = m_entries[address];
    if (now - entry.lastMs > ForgetMs)
        entry.failures = 0;
    ++entry.failures;
    entry.lastMs = now;
    qint64 held = 0;
    if (m_log.allow(held)) {
        const QString more =
            held > 0 ? QStringLiteral("; %1 more failures not logged").arg(held) : QString();
        qCWarning(lcServer).noquote()
            << QStringLiteral("wrong %1 from %2 (failure %3 from this address%4)")
                   .arg(QLatin1String(what), address)
                   .arg(entry.failures)
                   .arg(more);
    }
}

void AuthThrottle::forgetOld(qint64 now)
{
    for (auto it = m_entries.begin(); it != m_entries.end();)
        it = now - it->lastMs > 60 * 1000 ? m_entries.erase(it) : std::next(it);
    if (m_entries.size() >= MaxEntries)
        m_entries.clear();
}

} // namespace kvr::server
