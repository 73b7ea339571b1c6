#pragma once

#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

// A real kvr-appserver on a fresh, seeded SQLite database in a temporary
// folder, listening on a free port of 127.0.0.1; stopped on destruction.
class AppServerProcess final
{
public:
    AppServerProcess() = default;
    AppServerProcess(const AppServerProcess &) = delete;
    AppServerProcess &operator=(const AppServerProcess &) = delete;
    ~AppServerProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000))
                m_process.kill();
            m_process.waitForFinished(2000);
        }
    }

    // Starts the server and waits for "listening on HOST:PORT". On failure
    // Error() says why.
    bool Start()
    {
        const QString program =
            QString::fromLocal8Bit(qgetenv("KVR_BIN_DIR")) + QStringLiteral("/kvr-appserver");
        m_process.setProgram(program);
        m_process.setArguments(
            {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--db"),
             QStringLiteral("sqlite:") + m_dir.filePath(QStringLiteral("kvr.db")),
             QStringLiteral("--seed")});
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start();
        if (!m_process.waitForStarted(10000)) {
            m_error = QStringLiteral("cannot start ") + program;
            return false;
        }
        static const QRegularExpression listening(QStringLiteral("listening on ([^\\s:]+):(\\d+)"));
        QByteArray output;
        QDeadlineTimer deadline(30000);
        while (!deadline.hasExpired()) {
            if (!m_process.waitForReadyRead(int(deadline.remainingTime())))
                break;
            output += m_process.readAllStandardOutput();
            const QRegularExpressionMatch match = listening.match(QString::fromUtf8(output));
            if (match.hasMatch()) {
                m_host = match.captured(1);
                m_port = match.captured(2).toInt();
                return true;
            }
        }
        m_error = QStringLiteral("no \"listening on\" line; output: ") + QString::fromUtf8(output) +
                  QString::fromUtf8(m_process.readAllStandardError());
        return false;
    }

    QString Host() const { return m_host; }
    int Port() const { return m_port; }
    QString Address() const { return m_host + QLatin1Char(':') + QString::number(m_port); }
    QString Error() const { return m_error; }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_host;
    int m_port = 0;
    QString m_error;
};
