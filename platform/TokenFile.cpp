#include "platform/TokenFile.h"

#include <QFile>

namespace kvr::platform {

TokenFileStatus readTokenFile(const QString &path, QString &token, QString *why)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (why)
            *why = file.errorString();
        return TokenFileStatus::Unreadable;
    }
    token = QString::fromUtf8(file.readLine()).trimmed();
    return token.isEmpty() ? TokenFileStatus::Empty : TokenFileStatus::Read;
}

} // namespace kvr::platform
