#pragma once

#include <QByteArray>
#include <QObject>

class QSocketNotifier;

namespace kvr::server {

// Sends the replies of a connection whose client half-closed it (shut down
// its sending side, as `nc -N` does). Qt takes the end of the input for the
// end of the connection and closes its socket; this writes on a duplicate of
// the descriptor kept for that, so every request the client sent is still
// answered.
class SpareWriter final : public QObject
{
    Q_OBJECT
public:
    // Takes ownership of `descriptor` (non-blocking, as Qt left it).
    SpareWriter(int descriptor, QObject *parent);
    ~SpareWriter() override;

    void write(const QByteArray &bytes);
    bool idle() const { return m_out.isEmpty(); }
    // Ends the connection: shuts the sending side down and closes.
    void finish();

Q_SIGNALS:
    // Everything written has reached the kernel.
    void drained();
    // The peer is gone altogether; nothing more can be sent.
    void failed();

private:
    void flush();

    int m_descriptor;
    QByteArray m_out;
    QSocketNotifier *m_notifier;
};

} // namespace kvr::server
