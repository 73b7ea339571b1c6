#pragma once

#include <QObject>

class QSocketNotifier;

namespace kvr::platform {

// Turns SIGINT and SIGTERM into a normal quit of the event loop: received()
// is emitted on the object's thread, then QCoreApplication::quit(). One at a
// time per process; the default handlers come back when it is destroyed.
class QuitOnSignal final : public QObject
{
    Q_OBJECT
public:
    explicit QuitOnSignal(QObject *parent = nullptr);
    ~QuitOnSignal() override;

Q_SIGNALS:
    // Connect here what must happen before the loop ends.
    void received(int signal);

private:
    void readSignal();

    QSocketNotifier *m_notifier = nullptr;
};

} // namespace kvr::platform
