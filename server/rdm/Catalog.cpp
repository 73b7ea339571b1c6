#include "server/rdm/Catalog.h"

#include "protocol/Excerpt.h"
#include "server/common/AppError.h"
#include "server/storage/Storage.h"

namespace kvr::server {

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

const QList<protocol::PacketField> &Catalog::taxFields()
{
    static const QList<protocol::PacketField> fields = {{QStringLiteral("CDIMPOSTO"), 2},
                                                        {QStringLiteral("SGIMPOSTO"), 10},
                                                        {QStringLiteral("NMIMPOSTO"), 30},
                                                        {QStringLiteral("CDIMPOSTONFE"), 2}};
    return fields;
}

const QList<protocol::PacketField> &Catalog::cfopFields()
{
    static const QList<protocol::PacketField> fields = {{QStringLiteral("CDCFOPPADRAO"), 10},
                                                        {QStringLiteral("DSCFOPPADRAO"), 500}};
    return fields;
}

QList<QStringList> Catalog::taxRows(const std::optional<QString> &onlyCode)
{
    const QString columns = QStringLiteral("cdimposto, sgimposto, nmimposto, cdimpostonfe");
    QSqlQuery &query =
        onlyCode ? m_storage.prepared(
                       QStringLiteral("SELECT %1 FROM imposto WHERE cdimposto = ?").arg(columns))
                 : m_storage.prepared(
                       QStringLiteral("SELECT %1 FROM imposto ORDER BY cdimposto").arg(columns));
    if (onlyCode)
        query.addBindValue(Storage::text(*onlyCode));
    return readRows(query, 4);
}

QList<QStringList> Catalog::cfopRows(const std::optional<QString> &onlyCode)
{
    QSqlQuery &query =
        onlyCode ? m_storage.prepared(QStringLiteral(
                       "SELECT cdcfoppadrao, dscfoppadrao FROM cfop WHERE cdcfoppadrao = ?"))
                 : m_storage.prepared(QStringLiteral(
                       "SELECT cdcfoppadrao, dscfoppadrao FROM cfop ORDER BY cdcfoppadrao"));
    if (onlyCode)
        query.addBindValue(Storage::text(*onlyCode));
    return readRows(query, 2);
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
