#include "kit/net/TConnectionSecurity.h"

#include <QMutex>
#include <QMutexLocker>

namespace {

QMutex defaultLock;

TConnectionSecurity &defaultSecurity()
{
    static TConnectionSecurity security;
    return security;
}

} // namespace

TConnectionSecurity TConnectionSecurity::Default()
{
    const QMutexLocker lock(&defaultLock);
    return defaultSecurity();
}

void TConnectionSecurity::SetDefault(const TConnectionSecurity &security)
{
    const QMutexLocker lock(&defaultLock);
    defaultSecurity() = security;
}
