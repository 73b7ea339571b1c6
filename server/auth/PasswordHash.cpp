#include "server/auth/PasswordHash.h"

#include <QSemaphore>

#include <sodium.h>

#include <stdexcept>

namespace kvr::server {

namespace {

void initialise()
{
    static const bool ready = sodium_init() >= 0;
    if (!ready)
        throw std::runtime_error("libsodium could not be initialised");
}

// Each check takes 64 MiB for a moment: at most two at once, whatever the
// number of call threads, so a burst of logins cannot exhaust the memory.
QSemaphore &hashSlots()
{
    static QSemaphore slots(2);
    return slots;
}

// A hash of a password nobody knows, checked for unknown users.
const QByteArray &decoyHash()
{
    static const QByteArray hash = PasswordHash::make(QStringLiteral("\x01usuario-inexistente"));
    return hash;
}

} // namespace

QByteArray PasswordHash::make(const QString &password)
{
    initialise();
    const QByteArray secret = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    hashSlots().acquire();
    const QSemaphoreReleaser slot(hashSlots());
    if (crypto_pwhash_str(out, secret.constData(), static_cast<unsigned long long>(secret.size()),
                          crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        throw std::runtime_error("not enough memory to hash a password");
    return QByteArray(out);
}

bool PasswordHash::matches(const QByteArray &hash, const QString &password)
{
    initialise();
    const QByteArray &checked = hash.isEmpty() ? decoyHash() : hash;
    const QByteArray secret = password.toUtf8();
    hashSlots().acquire();
    const QSemaphoreReleaser slot(hashSlots());
    const bool same = crypto_pwhash_str_verify(checked.constData(), secret.constData(),
                                               static_cast<unsigned long long>(secret.size())) == 0;
    return same && !hash.isEmpty();
}

} // namespace kvr::server
