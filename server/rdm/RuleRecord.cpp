#include "server/rdm/RuleRecord.h"

namespace kvr::server {

QString RuleRecord::column(int field)
{
    return name(field).toLower();
}

const QString &RuleRecord::storedColumns()
{
    static const QString text = [] {
        QStringList columns;
        for (int f = CDIMPOSTO; f < FieldCount; ++f)
            columns.append(column(f));
        return columns.join(QStringLiteral(", "));
    }();
    return text;
}

const QString &RuleRecord::storedPlaceholders()
{
    static const QString text = [] {
        QStringList marks;
        for (int f = CDIMPOSTO; f < FieldCount; ++f)
            marks.append(QStringLiteral("?"));
        return marks.join(QStringLiteral(", "));
    }();
    return text;
}

} // namespace kvr::server
