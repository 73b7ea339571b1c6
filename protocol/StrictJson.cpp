#include "protocol/StrictJson.h"

#include "protocol/ParsedJson.h"

namespace kvr::protocol {

bool StrictJson::validate(const QByteArray &text)
{
    QString problem;
    return detail::parseJson(text, problem, MaxDepth) != nullptr;
}

} // namespace kvr::protocol
