#pragma once

#include <QtGlobal>

#include <atomic>

namespace kvr::server {

// The memory all connections together may hold for requests still arriving
// or being served. Each connection is already capped by the message limit,
// but many connections each holding a large partial line would add up past
// the machine; a connection that would pass this total is refused instead.
class InputBudget final
{
public:
    explicit InputBudget(qint64 limit) : m_limit(limit) {}

    // Takes `bytes` from the budget; false (and nothing taken) when they do not fit.
    bool take(qint64 bytes)
    {
        qint64 used = m_used.load(std::memory_order_relaxed);
        do {
            if (used + bytes > m_limit)
                return false;
        } while (!m_used.compare_exchange_weak(used, used + bytes, std::memory_order_relaxed));
        return true;
    }
    void give(qint64 bytes) { m_used.fetch_sub(bytes, std::memory_order_relaxed); }
    qint64 limit() const { return m_limit; }

private:
    const qint64 m_limit;
    std::atomic<qint64> m_used{0};
};

} // namespace kvr::server
