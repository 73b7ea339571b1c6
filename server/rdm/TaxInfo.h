#pragma once

#include <QString>
#include <QStringList>

namespace kvr::server {

// A registered tax with its CST family ("ICMS", "IPI", "PIS", "COF" or empty)
// and the family's CSTs in ascending order.
struct TaxInfo
{
    QString code;
    QString abbreviation;
    QString name;
    QString nfeCode;
    QString family;
    QStringList csts;

    bool hasCst(const QString &cst) const { return csts.contains(cst); }
};

} // namespace kvr::server
