#include "protocol/StrictJson.h"

#include <vector>

namespace kvr::protocol {

namespace {

using Byte = unsigned char;

bool isDigit(Byte c)
{
    return c >= '0' && c <= '9';
}

int hexValue(Byte c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// One pass over the bytes with an explicit stack, so hostile nesting costs no
// recursion.
class Scanner final
{
public:
    Scanner(const Byte *begin, const Byte *end) : m_p(begin), m_end(end) {}

    const Byte *position() const { return m_p; }
    bool atEnd() const { return m_p == m_end; }
    bool peekIs(char c) const { return m_p != m_end && *m_p == static_cast<Byte>(c); }
    void advance() { ++m_p; }

    void skipSpace()
    {
        while (m_p != m_end && (*m_p == ' ' || *m_p == '\n' || *m_p == '\r' || *m_p == '\t'))
            ++m_p;
    }

    bool string()
    {
        ++m_p; // the opening quote
        for (;;) {
            while (m_p != m_end && *m_p >= 0x20 && *m_p < 0x80 && *m_p != '"' && *m_p != '\\')
                ++m_p;
            if (m_p == m_end)
                return false;
            const Byte c = *m_p;
            if (c == '"') {
                ++m_p;
                return true;
            }
            if (c < 0x20)
                return false;
            if (c == '\\') {
                if (!escape())
                    return false;
            } else if (!utf8Sequence()) {
                return false;
            }
        }
    }

    bool number()
    {
        if (*m_p == '-')
            ++m_p;
        if (m_p == m_end || !isDigit(*m_p))
            return false;
        if (*m_p == '0')
            ++m_p;
        else
            skipDigits();
        if (peekIs('.')) {
            ++m_p;
            if (!requireDigits())
                return false;
        }
        if (peekIs('e') || peekIs('E')) {
            ++m_p;
            if (peekIs('+') || peekIs('-'))
                ++m_p;
            if (!requireDigits())
                return false;
        }
        return true;
    }

    bool literal(const char *word)
    {
        for (; *word; ++word, ++m_p)
            if (m_p == m_end || *m_p != static_cast<Byte>(*word))
                return false;
        return true;
    }

private:
    void skipDigits()
    {
        while (m_p != m_end && isDigit(*m_p))
            ++m_p;
    }
    bool requireDigits()
    {
        const Byte *start = m_p;
        skipDigits();
        return m_p != start;
    }

    bool hex4(int &value)
    {
        if (m_end - m_p < 4)
            return false;
        value = 0;
        for (int i = 0; i < 4; ++i) {
            const int h = hexValue(*m_p++);
            if (h < 0)
                return false;
            value = value * 16 + h;
        }
        return true;
    }

    bool escape()
    {
        ++m_p; // the backslash
        if (m_p == m_end)
            return false;
        switch (*m_p++) {
        case '"':
        case '\\':
        case '/':
        case 'b':
        case 'f':
        case 'n':
        case 'r':
        case 't':
            return true;
        case 'u':
            break;
        default:
            return false;
        }
        int unit = 0;
        if (!hex4(unit))
            return false;
        if (unit >= 0xDC00 && unit <= 0xDFFF)
            return false;
        if (unit < 0xD800 || unit > 0xDBFF)
            return true;
        int low = 0;
        return m_end - m_p >= 2 && m_p[0] == '\\' && m_p[1] == 'u' && (m_p += 2, hex4(low)) &&
               low >= 0xDC00 && low <= 0xDFFF;
    }

    // Well-formed UTF-8 as Unicode defines it: no overlong forms, no
    // surrogates, nothing above U+10FFFF.
    bool utf8Sequence()
    {
        const Byte lead = *m_p;
        int continuation = 0;
        Byte low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            continuation = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            continuation = 2;
            if (lead == 0xE0)
                low = 0xA0;
            else if (lead == 0xED)
                high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            continuation = 3;
            if (lead == 0xF0)
                low = 0x90;
            else if (lead == 0xF4)
                high = 0x8F;
        } else {
            return false;
        }
        ++m_p;
        if (m_end - m_p < continuation)
            return false;
        if (*m_p < low || *m_p > high)
            return false;
        for (int i = 0; i < continuation; ++i, ++m_p)
            if ((*m_p & 0xC0) != 0x80)
                return false;
        return true;
    }

    const Byte *m_p;
    const Byte *m_end;
};

} // namespace

bool StrictJson::validate(QByteArrayView text, QByteArrayView member, QByteArrayView *memberText)
{
    const auto *begin = reinterpret_cast<const Byte *>(text.data());
    Scanner s(begin, begin + text.size());
    std::vector<char> open; // '{' or '[' for each container not yet closed
    const Byte *captureStart = nullptr;
    bool capturing = false;
    if (memberText)
        *memberText = {};

    // Reads a member name and its colon; notes whether the value that follows
    // is the wanted top-level member.
    const auto key = [&]() {
        s.skipSpace();
        if (!s.peekIs('"'))
            return false;
        const Byte *start = s.position();
        if (!s.string())
            return false;
        if (memberText && open.size() == 1)
            capturing = QByteArrayView(start + 1, s.position() - start - 2) == member;
        s.skipSpace();
        if (!s.peekIs(':'))
            return false;
        s.advance();
        s.skipSpace();
        return true;
    };

    s.skipSpace();
    for (;;) {
        // A value is expected here.
        if (s.atEnd())
            return false;
        if (capturing && open.size() == 1)
            captureStart = s.position();
        switch (*s.position()) {
        case '{':
        case '[': {
            if (open.size() >= MaxDepth)
                return false;
            const char kind = static_cast<char>(*s.position());
            s.advance();
            s.skipSpace();
            if (s.peekIs(kind == '{' ? '}' : ']')) {
                s.advance();
                break;
            }
            open.push_back(kind);
            if (kind == '{' && !key())
                return false;
            continue;
        }
        case '"':
            if (!s.string())
                return false;
            break;
        case 't':
            if (!s.literal("true"))
                return false;
            break;
        case 'f':
            if (!s.literal("false"))
                return false;
            break;
        case 'n':
            if (!s.literal("null"))
                return false;
            break;
        default:
            if (!s.number())
                return false;
            break;
        }
        // A value is complete: close what it completes, up to the next value.
        for (;;) {
            const Byte *valueEnd = s.position();
            if (capturing && open.size() == 1) {
                *memberText = QByteArrayView(captureStart, valueEnd - captureStart);
                capturing = false;
            }
            s.skipSpace();
            if (open.empty())
                return s.atEnd();
            if (s.peekIs(',')) {
                s.advance();
                s.skipSpace();
                if (open.back() == '{' && !key())
                    return false;
                break;
            }
            if (s.peekIs(open.back() == '{' ? '}' : ']')) {
                s.advance();
                open.pop_back();
                continue;
            }
            return false;
        }
    }
}

bool StrictJson::exceedsDepth(QByteArrayView text)
{
    int depth = 0;
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
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return false;
}

} // namespace kvr::protocol
