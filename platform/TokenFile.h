#pragma once

#include <QString>

namespace kvr::platform {

// An access token kept in a file, as both programs read it: the file's first
// line, trimmed. Each program words its own message from the outcome.
enum class TokenFileStatus { Read, Unreadable, Empty };

TokenFileStatus readTokenFile(const QString &path, QString &token, QString *why = nullptr);

} // namespace kvr::platform
