#pragma once

#include <QString>
#include <QStringView>

namespace kvr::protocol {

// What a message or a log line may quote of a peer's input: the text itself
// when short, else its first `limit` characters and an ellipsis, so a huge
// value cannot make a huge reply or log line.
constexpr qsizetype ExcerptLimit = 64;
QString excerpt(QStringView text, qsizetype limit = ExcerptLimit);

} // namespace kvr::protocol
