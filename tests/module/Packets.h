#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>
#include <QVariant>

#include <utility>
#include <vector>

// Builds a data packet as the server sends it, for loading test rows.
inline QVariant MakePacket(const std::vector<std::pair<QString, int>> &fields,
                           const std::vector<QStringList> &rows)
{
    QJsonArray fieldList;
    for (const auto &[name, size] : fields)
        fieldList.append(
            QJsonObject{{QStringLiteral("name"), name}, {QStringLiteral("size"), size}});
    QJsonArray rowList;
    for (const QStringList &row : rows)
        rowList.append(QJsonArray::fromStringList(row));
    return QVariant::fromValue(
        QJsonObject{{QStringLiteral("fields"), fieldList}, {QStringLiteral("rows"), rowList}});
}

// One tax row with the given NF-e code ("" for no row at all).
inline QVariant TaxPacket(const QString &nfeCode, bool withAbbreviation = true)
{
    std::vector<std::pair<QString, int>> fields{{QStringLiteral("CDIMPOSTO"), 2}};
    if (withAbbreviation)
        fields.emplace_back(QStringLiteral("SGIMPOSTO"), 10);
    fields.emplace_back(QStringLiteral("NMIMPOSTO"), 30);
    fields.emplace_back(QStringLiteral("CDIMPOSTONFE"), 2);
    QStringList row{QStringLiteral("01")};
    if (withAbbreviation)
        row.append(QStringLiteral("TAX"));
    row << QStringLiteral("Imposto de teste") << nfeCode;
    return MakePacket(fields, {row});
}
