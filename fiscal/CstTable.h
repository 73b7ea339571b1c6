#pragma once

#include <QList>
#include <QString>

namespace kvr::fiscal {

// The CST reference table, shared by the server (which seeds it) and the
// screens (their CST message table): the four families, selected by a tax's
// NF-e code, and the CSTs of each family with the text the screens show.
class CstTable final
{
public:
    struct Family
    {
        QString nfeCode;
        QString prefix;
    };
    struct Entry
    {
        QString family;
        QString code;
        QString text;
    };

    static const QList<Family> &families();
    static const QList<Entry> &entries();
};

} // namespace kvr::fiscal
