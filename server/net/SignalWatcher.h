#pragma once

#include <QObject>

class QSocketNotifier;

namespace kvr::server {

// Turns SIGINT and SIGTERM into a Qt signal on the main thread (the handler
// only writes a byte to a socket pair, the one thing it may safely do).
class SignalWatcher final : public QObject
{
    Q_OBJECT
public:
    explicit SignalWatcher(QObject *parent = nullptr);
    ~SignalWatcher() override;

Q_SIGNALS:
    void stopRequested(int signal);

private:
    static void handle(int signal);
    void readSignal();

    QSocketNotifier *m_notifier = nullptr;
};

} // namespace kvr::server
