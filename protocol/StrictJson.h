#pragma once

#include <QByteArrayView>

namespace kvr::protocol {

// Checks that a text is one JSON value exactly as RFC 8259 writes it, which
// QJsonDocument does not: it drops the backslash of an unknown escape, lets
// control characters through inside strings and takes numbers such as "1.".
// Also refused: invalid UTF-8, unpaired surrogate escapes (no text can hold
// them) and nesting deeper than MaxDepth.
class StrictJson final
{
public:
    static constexpr int MaxDepth = 512;

    // True when `text` is strict JSON. When `member` is given and the value is
    // an object, `memberText` gets the raw text of that top-level member's value
    // (the last one when repeated, as QJsonDocument keeps), or stays empty.
    static bool validate(QByteArrayView text, QByteArrayView member = {},
                         QByteArrayView *memberText = nullptr);
    // Whether brackets outside strings nest deeper than MaxDepth somewhere in
    // `text`: the reason to give when validate() refused it.
    static bool exceedsDepth(QByteArrayView text);
};

} // namespace kvr::protocol
