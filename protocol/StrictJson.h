#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <cstddef>

namespace kvr::protocol {

// Whether a text is one JSON value exactly as RFC 8259 writes it, which
// QJsonDocument does not check: it drops the backslash of an unknown escape,
// lets control characters through inside strings and takes numbers such as
// "1.". Also refused: invalid UTF-8, unpaired surrogate escapes and nesting
// deeper than MaxDepth. This is the verdict of the strict parser (simdjson)
// that reads every request and reply.
class StrictJson final
{
public:
    static constexpr std::size_t MaxDepth = 512;

    static bool validate(const QByteArray &text);
    // Whether brackets outside strings nest deeper than MaxDepth somewhere in
    // `text`: the reason to give when validate() refused it.
    static bool exceedsDepth(QByteArrayView text);
};

} // namespace kvr::protocol
