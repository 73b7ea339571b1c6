#include "protocol/Excerpt.h"

namespace kvr::protocol {

QString excerpt(QStringView text, qsizetype limit)
{
    // Walks `limit` characters (a surrogate pair is one) and cuts after them.
    qsizetype end = 0;
    for (qsizetype characters = 0; end < text.size() && characters < limit; ++characters)
        end +=
            text[end].isHighSurrogate() && end + 1 < text.size() && text[end + 1].isLowSurrogate()
                ? 2
                : 1;
    if (end == text.size())
        return text.toString();
    return text.first(end).toString() + QChar(0x2026);
}

} // namespace kvr::protocol
