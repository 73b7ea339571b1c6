#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

namespace kvr::test {

// The real kvr-appserver binary, started with --listen 127.0.0.1:0 so that it
// picks a free port and tells it on its first line.
class ServerProcess final
{
public:
    ~ServerProcess();

    // Starts the server on `dbUrl` with extra arguments; returns false (with
    // the server's own output in errorText()) when it does not come up.
    bool start(const QString &dbUrl, const QStringList &extra = {});
    // Sends `signal` (SIGTERM by default) and waits; returns the exit code
    // (-1 on a crash or hang).
    int stop(int signal = 15);

    quint16 port() const { return m_port; }
    qint64 pid() const { return m_process ? m_process->processId() : 0; }
    // Resident memory in KiB, from /proc; -1 when it cannot be read.
    qint64 residentKib() const;
    // Waits for the server to end by itself; its exit code, or -1 on a crash or timeout.
    int waitExit(int timeoutMs);
    // Everything the server wrote to stderr; with `waitFor`, waits up to
    // `timeoutMs` for that text to appear.
    QString log(const QString &waitFor = {}, int timeoutMs = 0);
    QString errorText() const { return m_errors; }
    // Everything the server wrote to stderr so far, waiting up to `waitMs` for more.
    QString standardError(int waitMs = 0);

    static QString binary();

    // kvr-appserver run for one job (an account command, a backup): `input`
    // on its standard input, its exit code (-1 on a crash or after a minute)
    // and its standard output and error together.
    struct Run
    {
        int exitCode = -1;
        QString output;
    };
    static Run runOnce(const QStringList &arguments, const QByteArray &input = {});

private:
    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
    QString m_errors;
    QString m_stderr;
};

} // namespace kvr::test
