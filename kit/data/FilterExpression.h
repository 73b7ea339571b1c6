#pragma once

#include <QString>
#include <QStringView>

#include <functional>
#include <vector>

// A compiled dataset filter: comparisons `FIELD = 'literal'` (or `<>`),
// joined by `and` / `or` (and binds tighter), with `not` and parentheses.
// Keywords are case-insensitive; a quote inside a literal is written twice.
class FilterExpression final
{
public:
    // Maps a field name to its index, or -1 when the dataset has no such field.
    using FieldResolver = std::function<int(const QString &name)>;
    // Gives the value of a field (by index) in the row being tested.
    using ValueReader = std::function<QStringView(int fieldIndex)>;

    FilterExpression() = default;

    // Raises EKvrError (with the position and what went wrong) when the text
    // cannot be parsed or names an unknown field. An empty text matches all.
    static FilterExpression parse(const QString &text, const FieldResolver &resolve);

    bool isEmpty() const { return m_nodes.empty(); }
    bool matches(const ValueReader &value) const;

private:
    struct Node
    {
        enum class Kind { Equal, NotEqual, And, Or, Not };
        Kind kind = Kind::Equal;
        int field = -1;  // comparisons
        QString literal; // comparisons
        int left = -1;   // operators: child nodes
        int right = -1;
    };
    class Parser;

    bool eval(int node, const ValueReader &value) const;

    std::vector<Node> m_nodes;
    int m_root = -1;
};
