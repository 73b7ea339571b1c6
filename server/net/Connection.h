#pragma once

#include "server/common/WarningLimiter.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class QTcpSocket;
class QTimer;

namespace kvr::protocol {
struct RpcRequest;
}

namespace kvr::server {

class AppServer;
class SpareWriter;

// One client connection, served by signals on an I/O thread. One request at
// a time, answered in order: while its call runs or its reply is unsent,
// nothing more is read, and the bounded socket buffer lets the kernel close
// the TCP window on a client that writes without reading.
class Connection final : public QObject
{
    Q_OBJECT
public:
    // `refuse`: over the connection limit, answered with one refusal line.
    Connection(qintptr socketDescriptor, AppServer &server, bool refuse);
    ~Connection() override;

    // On the connection's thread, once it is there.
    void start();
    // The server is shutting down: close once the call in progress is answered.
    void stop();

private:
    void serve();
    void readInput();
    void takeLine(qsizetype newline);
    void handle(const QByteArray &line);
    void authenticate(const protocol::RpcRequest &request);
    void login(const QByteArray &line);
    void loginDone(const QByteArray &reply);
    void answerAttempt(const QByteArray &json, bool thenClose);
    void authTimedOut();
    void callDone(const QByteArray &reply);
    void send(const QByteArray &json, bool thenClose = false);
    void refuseAndClose(const QString &message);
    void written();
    void updateTimers();
    void closeGently();
    void ended();
    void peerHalfClosed();
    void charge(qint64 bytes) { m_charged += bytes; }
    void release(qint64 bytes);
    bool flushed() const;

    AppServer &m_server;
    qintptr m_descriptor;
    const bool m_refused;
    QTcpSocket *m_socket = nullptr;
    QByteArray m_buffer;
    qsizetype m_scanned = 0;
    qint64 m_charged = 0;
    qint64 m_inCall = 0;
    QTimer *m_idleTimer = nullptr;
    QTimer *m_lineTimer = nullptr;
    QTimer *m_drainTimer = nullptr;
    QTimer *m_authTimer = nullptr;
    WarningLimiter m_warnings;
    bool m_ready = false;
    bool m_callRunning = false;
    bool m_replying = false;
    bool m_closeAfterReply = false;
    bool m_closing = false;
    bool m_stopping = false;
    bool m_gone = false;
    bool m_authenticated = false;
    bool m_loggingIn = false;
    QString m_user; // who logged in, for the history
    QString m_peer; // the client's address
    // A duplicate of a plain socket's descriptor, so that replies can still
    // be sent after the client half-closed (Qt then closes its own).
    int m_spare = -1;
    SpareWriter *m_spareWriter = nullptr;
    bool m_peerDone = false;
    QByteArray m_replyOut; // the reply being sent, and how much of it left
    qint64 m_replySent = 0;
};

} // namespace kvr::server
