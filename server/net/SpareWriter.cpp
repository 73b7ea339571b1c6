#include "server/net/SpareWriter.h"

#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace kvr::server {

SpareWriter::SpareWriter(int descriptor, QObject *parent)
    : QObject(parent), m_descriptor(descriptor),
      m_notifier(new QSocketNotifier(descriptor, QSocketNotifier::Write, this))
{
    m_notifier->setEnabled(false);
    connect(m_notifier, &QSocketNotifier::activated, this, &SpareWriter::flush);
}

SpareWriter::~SpareWriter()
{
    finish();
}

void SpareWriter::write(const QByteArray &bytes)
{
    m_out += bytes;
    flush();
}

void SpareWriter::flush()
{
    while (!m_out.isEmpty() && m_descriptor >= 0) {
        const ssize_t sent = ::send(m_descriptor, m_out.constData(),
                                    static_cast<size_t>(m_out.size()), MSG_NOSIGNAL);
        if (sent > 0) {
            m_out.remove(0, sent);
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            m_notifier->setEnabled(true);
            return;
        }
        m_out.clear();
        m_notifier->setEnabled(false);
        Q_EMIT failed();
        return;
    }
    m_notifier->setEnabled(false);
    if (m_descriptor >= 0)
        Q_EMIT drained();
}

void SpareWriter::finish()
{
    if (m_descriptor < 0)
        return;
    m_notifier->setEnabled(false);
    ::shutdown(m_descriptor, SHUT_WR);
    ::close(m_descriptor);
    m_descriptor = -1;
}

} // namespace kvr::server
