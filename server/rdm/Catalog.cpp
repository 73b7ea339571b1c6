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

} // namespace kvr::server
