#include "server/rdm/Catalog.h"

#include "fiscal/CfopRecord.h"
#include "fiscal/TaxRecord.h"
#include "protocol/Excerpt.h"
#include "server/common/AppError.h"
#include "server/storage/Storage.h"

namespace kvr::server {

namespace {

// A record's fields are stored in the columns of the same names, lower case.
QString selectOf(const QList<protocol::PacketField> &fields, const char *table, const char *rest)
{
    QStringList columns;
    for (const protocol::PacketField &field : fields)
        columns.append(field.name.toLower());
    return QStringLiteral("SELECT %1 FROM %2 %3")
        .arg(columns.join(QStringLiteral(", ")), QLatin1String(table), QLatin1String(rest));
}

} // namespace

bool Catalog::isDigits(const QString &text, int width)
{
    if (text.size() != width)
        return false;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

void Catalog::checkTaxCode(const QString &code)
{
    if (code.isEmpty())
        throw AppError::validation(QStringLiteral("Imposto deve ser informado"));
    if (!isDigits(code, 2))
        throw AppError::validation(
            QStringLiteral("Código de imposto inválido: \"%1\". Informe os 2 dígitos do código.")
                .arg(protocol::excerpt(code)));
}

const TaxInfo &Catalog::tax(const QString &code)
{
    const auto cached = m_taxes.find(code);
    if (cached != m_taxes.end())
        return cached->second;
    checkTaxCode(code);
    QSqlQuery &query = m_storage.prepared(
        QStringLiteral("SELECT i.cdimposto, i.sgimposto, i.nmimposto, i.cdimpostonfe, f.familia "
                       "FROM imposto i LEFT JOIN cst_familia f ON f.cdimpostonfe = i.cdimpostonfe "
                       "WHERE i.cdimposto = ?"));
    query.addBindValue(Storage::text(code));
    m_storage.run(query);
    if (!query.next())
        throw AppError::validation(QStringLiteral("Imposto não cadastrado: %1.").arg(code));
    TaxInfo info;
    info.code = query.value(0).toString();
    info.abbreviation = query.value(1).toString();
    info.name = query.value(2).toString();
    info.nfeCode = query.value(3).toString();
    info.family = query.value(4).toString();
    query.finish();
    if (!info.family.isEmpty()) {
        QSqlQuery &csts = m_storage.prepared(
            QStringLiteral("SELECT cdsitutrib FROM cst WHERE familia = ? ORDER BY cdsitutrib"));
        csts.addBindValue(Storage::text(info.family));
        m_storage.run(csts);
        while (csts.next())
            info.csts.append(csts.value(0).toString());
        csts.finish();
    }
    return m_taxes.emplace(code, info).first->second;
}

bool Catalog::cfopExists(const QString &code)
{
    const auto cached = m_cfops.constFind(code);
    if (cached != m_cfops.constEnd())
        return cached.value();
    QSqlQuery &query =
        m_storage.prepared(QStringLiteral("SELECT 1 FROM cfop WHERE cdcfoppadrao = ?"));
    query.addBindValue(Storage::text(code));
    m_storage.run(query);
    const bool found = query.next();
    query.finish();
    m_cfops.insert(code, found);
    return found;
}

QList<QStringList> Catalog::taxRows(const std::optional<QString> &onlyCode)
{
    using T = fiscal::TaxRecord;
    static const QString one = selectOf(T::fields(), "imposto", "WHERE cdimposto = ?");
    static const QString all = selectOf(T::fields(), "imposto", "ORDER BY cdimposto");
    QSqlQuery &query = m_storage.prepared(onlyCode ? one : all);
    if (onlyCode)
        query.addBindValue(Storage::text(*onlyCode));
    return readRows(query, T::FieldCount);
}

QList<QStringList> Catalog::cfopRows(const std::optional<QString> &onlyCode)
{
    using C = fiscal::CfopRecord;
    static const QString one = selectOf(C::fields(), "cfop", "WHERE cdcfoppadrao = ?");
    static const QString all = selectOf(C::fields(), "cfop", "ORDER BY cdcfoppadrao");
    QSqlQuery &query = m_storage.prepared(onlyCode ? one : all);
    if (onlyCode)
        query.addBindValue(Storage::text(*onlyCode));
    return readRows(query, C::FieldCount);
}

QStringList Catalog::cfopCodesBetween(const QString &first, const QString &last)
{
    QSqlQuery &query = m_storage.prepared(
        QStringLiteral("SELECT cdcfoppadrao FROM cfop WHERE cdcfoppadrao BETWEEN ? AND ? "
                       "ORDER BY cdcfoppadrao"));
    query.addBindValue(Storage::text(first));
    query.addBindValue(Storage::text(last));
    m_storage.run(query);
    QStringList codes;
    while (query.next()) {
        const QString code = query.value(0).toString();
        if (isDigits(code, 4))
            codes.append(code);
    }
    query.finish();
    return codes;
}

QList<QStringList> Catalog::readRows(QSqlQuery &query, int columns)
{
    m_storage.run(query);
    QList<QStringList> rows;
    while (query.next()) {
        QStringList row;
        row.reserve(columns);
        for (int i = 0; i < columns; ++i)
            row.append(query.value(i).toString());
        rows.append(row);
    }
    query.finish();
    return rows;
}

} // namespace kvr::server
