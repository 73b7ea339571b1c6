#pragma once

#include <QByteArray>
#include <QList>

namespace kvr::protocol {

// Splits a byte stream into messages, one JSON text per line ending in '\n'.
// A message that grows past the limit before its newline is refused: the
// peer is then out of step and the connection must be closed.
class LineFramer final
{
public:
    static constexpr qsizetype DefaultLimit = 64 * 1024 * 1024;

    explicit LineFramer(qsizetype limit = DefaultLimit) : m_limit(limit) {}

    // Appends received bytes; returns false once a message exceeds the limit.
    bool feed(const QByteArray &bytes);
    bool hasMessage() const { return !m_ready.isEmpty(); }
    QByteArray takeMessage();
    bool oversized() const { return m_oversized; }
    qsizetype pendingBytes() const { return m_buffer.size(); }

    static QByteArray frame(const QByteArray &json);

private:
    qsizetype m_limit;
    QByteArray m_buffer;
    qsizetype m_scanned = 0;
    QList<QByteArray> m_ready;
    bool m_oversized = false;
};

} // namespace kvr::protocol
