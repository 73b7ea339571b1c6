#include "tests/common/ServerProcess.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

#include <algorithm>
#include <csignal>

namespace kvr::test {

ServerProcess::~ServerProcess()
{
    stop();
}

QString ServerProcess::binary()
{
    // Tests and the server are built into one folder; KVR_BIN_DIR names it under CTest.
    const QString dir = qEnvironmentVariable("KVR_BIN_DIR", QCoreApplication::applicationDirPath());
    return QDir(dir).filePath(QStringLiteral("kvr-appserver"));
}

ServerProcess::Run ServerProcess::runOnce(const QStringList &arguments, const QByteArray &input)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(binary(), arguments);
    process.waitForStarted();
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAll())};
}

bool ServerProcess::start(const QString &dbUrl, const QStringList &extra)
{
    m_process = std::make_unique<QProcess>();
    QStringList args{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                     QStringLiteral("--db"), dbUrl};
    args += extra;
    m_process->start(binary(), args);
    if (!m_process->waitForStarted(10000)) {
        m_errors = QStringLiteral("cannot start %1: %2").arg(binary(), m_process->errorString());
        return false;
    }
    static const QRegularExpression line(QStringLiteral("^listening on 127\\.0\\.0\\.1:(\\d+)$"));
    QByteArray out;
    const QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired()) {
        if (!out.contains('\n') && !m_process->waitForReadyRead(100)) {
            if (m_process->state() == QProcess::NotRunning)
                break;
            continue;
        }
        out += m_process->readAllStandardOutput();
        if (out.contains('\n')) {
            const auto match = line.match(QString::fromUtf8(out.left(out.indexOf('\n'))));
            if (match.hasMatch()) {
                m_port = static_cast<quint16>(match.captured(1).toUInt());
                return true;
            }
            break;
        }
    }
    const QByteArray errors = m_process->readAllStandardError();
    m_stderr += QString::fromUtf8(errors);
    m_errors = QString::fromUtf8(out + errors);
    m_process->kill();
    m_process->waitForFinished(5000);
    return false;
}

QString ServerProcess::standardError(int waitMs)
{
    if (m_process)
        m_stderr += QString::fromUtf8(m_process->readAllStandardError());
    const QDeadlineTimer deadline(waitMs);
    while (m_process && m_process->state() == QProcess::Running && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        const QByteArray more = m_process->readAllStandardError();
        if (!more.isEmpty()) {
            m_stderr += QString::fromUtf8(more);
            break;
        }
        QThread::msleep(10);
    }
    return m_stderr;
}

int ServerProcess::stop(int signal)
{
    if (!m_process || m_process->state() == QProcess::NotRunning)
        return m_process ? m_process->exitCode() : 0;
    ::kill(static_cast<pid_t>(m_process->processId()), signal);
    if (!m_process->waitForFinished(10000)) {
        m_process->kill();
        m_process->waitForFinished(5000);
        return -1;
    }
    standardError();
    return m_process->exitStatus() == QProcess::NormalExit ? m_process->exitCode() : -1;
}

qint64 ServerProcess::residentKib() const
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid()));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    static const QRegularExpression rss(QStringLiteral("VmRSS:\\s+(\\d+)"));
    return rss.match(QString::fromLatin1(status.readAll())).captured(1).toLongLong();
}

int ServerProcess::waitExit(int timeoutMs)
{
    if (!m_process)
        return -1;
    if (m_process->state() != QProcess::NotRunning && !m_process->waitForFinished(timeoutMs))
        return -1;
    m_stderr += QString::fromUtf8(m_process->readAllStandardError());
    return m_process->exitStatus() == QProcess::NormalExit ? m_process->exitCode() : -1;
}

QString ServerProcess::log(const QString &waitFor, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (m_process) {
        m_stderr += QString::fromUtf8(m_process->readAllStandardError());
        if (m_stderr.contains(waitFor) || deadline.hasExpired() ||
            m_process->state() == QProcess::NotRunning)
            break;
        m_process->setReadChannel(QProcess::StandardError);
        m_process->waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
    }
    return m_stderr;
}

} // namespace kvr::test
