#include "protocol/LineFramer.h"

namespace kvr::protocol {

bool LineFramer::feed(const QByteArray &bytes)
{
    if (m_oversized)
        return false;
    m_buffer.append(bytes);
    qsizetype start = 0;
    for (;;) {
        const qsizetype nl = m_buffer.indexOf('\n', std::max(start, m_scanned));
        if (nl < 0)
            break;
        if (nl - start > m_limit) {
            m_oversized = true;
            return false;
        }
        QByteArray message = m_buffer.mid(start, nl - start);
        if (message.endsWith('\r'))
            message.chop(1);
        if (!message.trimmed().isEmpty())
            m_ready.append(message);
        start = nl + 1;
        m_scanned = start;
    }
    if (start > 0) {
        m_buffer.remove(0, start);
        m_scanned = 0;
    }
    m_scanned = m_buffer.size();
    if (m_buffer.size() > m_limit) {
        m_oversized = true;
        return false;
    }
    return true;
}

QByteArray LineFramer::takeMessage()
{
    return m_ready.isEmpty() ? QByteArray() : m_ready.takeFirst();
}

QByteArray LineFramer::frame(const QByteArray &json)
{
    QByteArray line;
    line.reserve(json.size() + 1);
    line.append(json);
    line.append('\n');
    return line;
}

} // namespace kvr::protocol
