#include "server/common/WarningLimiter.h"

#include <algorithm>

namespace kvr::server {

WarningLimiter::WarningLimiter()
{
    m_clock.start();
}

bool WarningLimiter::allow(qint64 &held)
{
    const qint64 now = m_clock.elapsed();
    const qint64 earned = (now - m_refilledAt) / RefillMs;
    if (earned > 0) {
        m_tokens = static_cast<int>(std::min<qint64>(Burst, m_tokens + earned));
        m_refilledAt += earned * RefillMs;
    }
    if (m_tokens == 0) {
        ++m_held;
        return false;
    }
    --m_tokens;
    held = m_held;
    m_held = 0;
    return true;
}

} // namespace kvr::server
