#include "tests/server/ServedProcess.h"

#include "tests/common/ServerProcess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>

namespace kvr::test {

ServedProcess::~ServedProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool ServedProcess::start(const QString &dbUrl, const QStringList &extra)
{
    m_process.start(ServerProcess::binary(),
                    QStringList{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                                QStringLiteral("--db"), dbUrl} +
                        extra);
    static const QRegularExpression line(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
    const QDeadlineTimer deadline(30000);
    QByteArray out;
    while (!deadline.hasExpired() && !out.contains('\n') && m_process.waitForReadyRead(30000))
        out += m_process.readAllStandardOutput();
    const auto match = line.match(QString::fromUtf8(out));
    if (match.hasMatch())
        m_port = static_cast<quint16>(match.captured(1).toUInt());
    else
        m_process.waitForFinished(10000);
    m_process.setReadChannel(QProcess::StandardError);
    log();
    return match.hasMatch();
}

qint64 ServedProcess::residentKib() const
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid()));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    static const QRegularExpression rss(QStringLiteral("VmRSS:\\s+(\\d+)"));
    return rss.match(QString::fromLatin1(status.readAll())).captured(1).toLongLong();
}

int ServedProcess::waitExit(int timeoutMs)
{
    if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(timeoutMs))
        return -1;
    log();
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

QString ServedProcess::log(const QString &waitFor, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        m_log += QString::fromUtf8(m_process.readAllStandardError());
        if (waitFor.isEmpty() || m_log.contains(waitFor) || deadline.hasExpired() ||
            m_process.state() == QProcess::NotRunning)
            return m_log;
        m_process.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
    }
}

} // namespace kvr::test
