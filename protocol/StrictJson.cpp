#include "protocol/StrictJson.h"

#include "protocol/ParsedJson.h"

namespace kvr::protocol {

bool StrictJson::validate(const QByteArray &text)
{
    QString problem;
    return detail::parseJson(text, problem, MaxDepth) != nullptr;
}

bool StrictJson::exceedsDepth(QByteArrayView text)
{
    std::size_t depth = 0;
    bool inString = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > MaxDepth)
                return true;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return false;
}

} // namespace kvr::protocol
