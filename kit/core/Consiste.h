#pragma once

#include "kit/KvrKitExport.h"

#include "kit/core/Errors.h"

#include <QString>
#include <QVariant>

#include <functional>

[[noreturn]] KVRKIT_EXPORT void Abort();

// Left-fills `text` with '0' up to `width`. An empty text gives all zeros;
// a text already as long or longer is returned unchanged.
KVRKIT_EXPORT QString Ajusta(const QString &text, int width);
// True for an empty text or one of blanks only.
KVRKIT_EXPORT bool EmptyString(const QString &text);
// Shows `message` as a modal error; with `abort` it then raises EAbort.
KVRKIT_EXPORT void MensErro(const QString &message, bool abort = true);
// Returns the usable value of a server result. A result carrying a server
// failure is shown to the user and, with `abort`, ends the action (EAbort).
KVRKIT_EXPORT QVariant CheckResultServ(const QVariant &result, bool abort = true, int kind = 0);

// Runs an event handler at the event-loop boundary: the silent abort is
// dropped, any other exception is reported; nothing escapes into Qt.
// Returns false when the handler did not complete.
KVRKIT_EXPORT bool kvrGuard(const std::function<void()> &handler);
