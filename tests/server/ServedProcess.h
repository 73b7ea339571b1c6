#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace kvr::test {

// A kvr-appserver this test starts and ends itself: its pid, its log and
// its exit, for tests of signals, memory and startup refusals.
class ServedProcess final
{
public:
    ~ServedProcess();
    // Starts on `dbUrl` (listening on a free port); false with log() when it does not come up.
    bool start(const QString &dbUrl, const QStringList &extra = {});
    quint16 port() const { return m_port; }
    qint64 pid() const { return m_process.processId(); }
    // Resident memory in KiB, from /proc.
    qint64 residentKib() const;
    // Waits for the exit; its code, or -1 on a crash or timeout.
    int waitExit(int timeoutMs);
    // The log so far; with `waitFor`, waits up to `timeoutMs` for that text.
    QString log(const QString &waitFor = {}, int timeoutMs = 0);

private:
    QProcess m_process;
    quint16 m_port = 0;
    QString m_log;
};

} // namespace kvr::test
