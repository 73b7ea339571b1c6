#include "kit/data/FilterExpression.h"

#include "kit/core/Consiste.h"

class FilterExpression::Parser
{
public:
    Parser(const QString &text, const FieldResolver &resolve, std::vector<Node> &nodes)
        : m_text(text), m_resolve(resolve), m_nodes(nodes)
    {
    }

    int parseAll()
    {
        const int root = parseOr();
        skipBlanks();
        if (m_pos < m_text.size())
            fail(QStringLiteral("texto inesperado"));
        return root;
    }

private:
    [[noreturn]] void fail(const QString &what) const
    {
        throw EKvrError(QStringLiteral("Filtro inválido (%1, posição %2): %3")
                            .arg(what)
                            .arg(m_pos + 1)
                            .arg(m_text));
    }

    void skipBlanks()
    {
        while (m_pos < m_text.size() && m_text.at(m_pos).isSpace())
            ++m_pos;
    }

    static bool isNameChar(QChar c) { return c.isLetterOrNumber() || c == u'_'; }

    // Reads a keyword only when it is a whole word.
    bool acceptKeyword(QStringView word)
    {
        skipBlanks();
        const qsizetype end = m_pos + word.size();
        if (end > m_text.size())
            return false;
        if (QStringView(m_text).mid(m_pos, word.size()).compare(word, Qt::CaseInsensitive) != 0)
            return false;
        if (end < m_text.size() && isNameChar(m_text.at(end)))
            return false;
        m_pos = end;
        return true;
    }

    bool acceptChar(QChar c)
    {
        skipBlanks();
        if (m_pos < m_text.size() && m_text.at(m_pos) == c) {
            ++m_pos;
            return true;
        }
        return false;
    }

    int add(Node node)
    {
        m_nodes.push_back(std::move(node));
        return int(m_nodes.size()) - 1;
    }

    int binary(Node::Kind kind, int left, int right)
    {
        Node n;
        n.kind = kind;
        n.left = left;
        n.right = right;
        return add(std::move(n));
    }

    int parseOr()
    {
        int left = parseAnd();
        while (acceptKeyword(u"or"))
            left = binary(Node::Kind::Or, left, parseAnd());
        return left;
    }

    int parseAnd()
    {
        int left = parseUnary();
        while (acceptKeyword(u"and"))
            left = binary(Node::Kind::And, left, parseUnary());
        return left;
    }

    int parseUnary()
    {
        if (acceptKeyword(u"not"))
            return binary(Node::Kind::Not, parseUnary(), -1);
        if (acceptChar(u'(')) {
            const int inner = parseOr();
            if (!acceptChar(u')'))
                fail(QStringLiteral("falta \")\""));
            return inner;
        }
        return parseComparison();
    }

    QString parseName()
    {
        skipBlanks();
        const qsizetype start = m_pos;
        while (m_pos < m_text.size() && isNameChar(m_text.at(m_pos)))
            ++m_pos;
        if (m_pos == start)
            fail(QStringLiteral("esperado nome de campo"));
        return m_text.mid(start, m_pos - start);
    }

    QString parseLiteral()
    {
        skipBlanks();
        if (m_pos >= m_text.size() || m_text.at(m_pos) != u'\'')
            fail(QStringLiteral("esperado texto entre apóstrofos"));
        ++m_pos;
        QString value;
        for (;;) {
            if (m_pos >= m_text.size())
                fail(QStringLiteral("texto sem apóstrofo final"));
            const QChar c = m_text.at(m_pos++);
            if (c == u'\'') {
                if (m_pos < m_text.size() && m_text.at(m_pos) == u'\'') {
                    ++m_pos;
                    value += c;
                    continue;
                }
                return value;
            }
            value += c;
        }
    }

    int parseComparison()
    {
        const qsizetype namePos = m_pos;
        const QString name = parseName();
        const int field = m_resolve(name);
        if (field < 0) {
            m_pos = namePos;
            fail(QStringLiteral("campo desconhecido \"%1\"").arg(name));
        }
        Node n;
        n.field = field;
        if (acceptChar(u'=')) {
            n.kind = Node::Kind::Equal;
        } else if (acceptChar(u'<') && m_pos < m_text.size() && m_text.at(m_pos) == u'>') {
            ++m_pos;
            n.kind = Node::Kind::NotEqual;
        } else {
            fail(QStringLiteral("esperado \"=\" ou \"<>\""));
        }
        n.literal = parseLiteral();
        return add(std::move(n));
    }

    const QString &m_text;
    const FieldResolver &m_resolve;
    std::vector<Node> &m_nodes;
    qsizetype m_pos = 0;
};

FilterExpression FilterExpression::parse(const QString &text, const FieldResolver &resolve)
{
    FilterExpression expr;
    if (text.trimmed().isEmpty())
        return expr;
    Parser parser(text, resolve, expr.m_nodes);
    expr.m_root = parser.parseAll();
    return expr;
}

bool FilterExpression::matches(const ValueReader &value) const
{
    return m_root < 0 || eval(m_root, value);
}

bool FilterExpression::eval(int index, const ValueReader &value) const
{
    const Node &n = m_nodes[size_t(index)];
    switch (n.kind) {
    case Node::Kind::Equal:
        return value(n.field) == QStringView(n.literal);
    case Node::Kind::NotEqual:
        return value(n.field) != QStringView(n.literal);
    case Node::Kind::And:
        return eval(n.left, value) && eval(n.right, value);
    case Node::Kind::Or:
        return eval(n.left, value) || eval(n.right, value);
    case Node::Kind::Not:
        return !eval(n.left, value);
    }
    return false;
}
