#include "server/operate/DatabaseInUse.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace kvr::server {

DatabaseInUse::~DatabaseInUse()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QString DatabaseInUse::lockFile(const QString &database)
{
    return database + QStringLiteral(".lock");
}

bool DatabaseInUse::take(const QString &database, Mode mode, QString &problem)
{
    const QByteArray path = QFile::encodeName(lockFile(database));
    // Read-only suffices for flock: a lock file created by another user still serves.
    int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        problem = QStringLiteral("Não foi possível abrir o arquivo de trava %1: %2.")
                      .arg(QFile::decodeName(path), QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    if (::flock(fd, (mode == Mode::Serving ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0) {
        ::close(fd);
        problem = mode == Mode::Serving
                      ? QStringLiteral("O banco %1 está sendo restaurado; inicie o servidor de "
                                       "aplicação quando a restauração terminar.")
                            .arg(database)
                      : QStringLiteral("Há um servidor de aplicação usando o banco %1; pare todos "
                                       "os servidores desse banco antes de restaurá-lo.")
                            .arg(database);
        return false;
    }
    m_fd = fd;
    return true;
}

} // namespace kvr::server
