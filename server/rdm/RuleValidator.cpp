#include "server/rdm/RuleValidator.h"

#include "protocol/DataPacket.h"
#include "protocol/Excerpt.h"
#include "server/common/AppError.h"
#include "server/rdm/Catalog.h"
#include "server/rdm/RuleRecord.h"

namespace kvr::server {

namespace {

bool isAny(const QString &value)
{
    return value.isEmpty() || value == QLatin1String("0");
}

bool inRange(const QString &value, char first, char last)
{
    return value.size() == 1 && value.at(0) >= QLatin1Char(first) &&
           value.at(0) <= QLatin1Char(last);
}

} // namespace

QString RuleValidator::anyAsZero(const QString &value)
{
    return value.isEmpty() ? QStringLiteral("0") : value;
}

bool RuleValidator::isEmptyRule(const QStringList &row)
{
    using R = RuleRecord;
    return row.at(R::CDFISCOPER).isEmpty() && row.at(R::CDCST1DIGT).isEmpty() &&
           row.at(R::CDSITUTRIB).isEmpty() && isAny(row.at(R::CDFISCAL)) &&
           isAny(row.at(R::IDTPALIQUOTA)) && isAny(row.at(R::IDTPVRIMPOSTO)) &&
           isAny(row.at(R::IDTPBASECALC));
}

QString RuleValidator::emptyRuleMessage()
{
    return QStringLiteral("A consistência deve ter no mínimo um campo preenchido");
}

QString RuleValidator::problemCfop(const QString &cfop)
{
    if (cfop.isEmpty())
        return {};
    if (!Catalog::isDigits(cfop, 4))
        return QStringLiteral("CFOP inválido: \"%1\". Informe os 4 dígitos do CFOP.")
            .arg(protocol::excerpt(cfop));
    if (!m_catalog.cfopExists(cfop))
        return QStringLiteral("CFOP não cadastrado: %1.").arg(cfop);
    return {};
}

QString RuleValidator::problemCst(const TaxInfo &tax, const QString &cst)
{
    if (cst.isEmpty() || tax.hasCst(cst))
        return {};
    if (tax.family.isEmpty())
        return QStringLiteral("CST inválido: o imposto %1 não usa CST; deixe o CST vazio.")
            .arg(tax.code);
    return QStringLiteral("CST inválido: \"%1\" não é um CST do imposto %2.")
        .arg(protocol::excerpt(cst), tax.code);
}

QString RuleValidator::problemFiscal(const QString &value)
{
    if (value.isEmpty() || inRange(value, '0', '3'))
        return {};
    return QStringLiteral("Código Fiscal inválido: \"%1\". Use 1, 2, 3 ou vazio para todos.")
        .arg(protocol::excerpt(value));
}

QString RuleValidator::problemSign(const QString &label, const QString &value)
{
    if (value.isEmpty() || inRange(value, '0', '4'))
        return {};
    return QStringLiteral("%1 inválido: \"%2\". Use 1, 2, 3, 4 ou vazio para todos.")
        .arg(label, protocol::excerpt(value));
}

QString RuleValidator::problemYesNo(const QString &label, const QString &value)
{
    if (value == QLatin1String("S") || value == QLatin1String("N"))
        return {};
    return QStringLiteral("%1 inválido: \"%2\". Use S ou N.").arg(label, protocol::excerpt(value));
}

QString RuleValidator::problemBlocked(const QString &value)
{
    if (value == QLatin1String("B") || value == QLatin1String("A"))
        return {};
    return QStringLiteral("Indicador bloqueado/admitido inválido: \"%1\". Use B (bloqueado) ou "
                          "A (admitido).")
        .arg(protocol::excerpt(value));
}

QString RuleValidator::problemDirection(const QString &value)
{
    if (value == QLatin1String("E") || value == QLatin1String("S") || value == QLatin1String("T"))
        return {};
    if (value == QLatin1String("A"))
        return QStringLiteral("Operação inválida: \"A\". Para entrada e saída (Ambos) use T.");
    return QStringLiteral("Operação inválida: \"%1\". Use E (Entrada), S (Saída) ou T (Ambos).")
        .arg(protocol::excerpt(value));
}

QString RuleValidator::problemFirstDigit(const QString &value)
{
    if (value.isEmpty() || inRange(value, '0', '8'))
        return {};
    return QStringLiteral("1° dígito do CST inválido: \"%1\". Use de 0 a 8 ou vazio para todos.")
        .arg(protocol::excerpt(value));
}

void RuleValidator::check(QStringList &row, bool userRule)
{
    using R = RuleRecord;
    const QString number = row.at(R::NRSEQCONSISTE);
    const auto refuse = [&number](const QString &problem) {
        throw AppError::validation(
            number.isEmpty()
                ? problem
                : QStringLiteral("Consistência %1: %2").arg(protocol::excerpt(number), problem));
    };
    for (int f = 0; f < R::FieldCount; ++f) {
        if (protocol::characterCount(row.at(f)) > R::width(f))
            refuse(QStringLiteral("o campo %1 aceita no máximo %2 caracteres.")
                       .arg(R::name(f))
                       .arg(R::width(f)));
        // Both databases must store the same texts; PostgreSQL refuses NUL.
        for (const QChar c : row.at(f))
            if (c.unicode() < 0x20)
                refuse(QStringLiteral("o campo %1 contém caracteres de controle.").arg(R::name(f)));
    }
    if (!Catalog::isDigits(number, 10))
        refuse(QStringLiteral("número de consistência inválido: \"%1\".")
                   .arg(protocol::excerpt(number)));
    const TaxInfo &tax = m_catalog.tax(row.at(R::CDIMPOSTO));
    row[R::CDFISCAL] = anyAsZero(row.at(R::CDFISCAL));
    row[R::IDTPBASECALC] = anyAsZero(row.at(R::IDTPBASECALC));
    row[R::IDTPALIQUOTA] = anyAsZero(row.at(R::IDTPALIQUOTA));
    row[R::IDTPVRIMPOSTO] = anyAsZero(row.at(R::IDTPVRIMPOSTO));
    const QString problems[] = {
        problemYesNo(QStringLiteral("Indicador Ativo"), row.at(R::IDCONSATIVA)),
        problemDirection(row.at(R::IDENTRSAIDOP)),
        problemCfop(row.at(R::CDFISCOPER)),
        problemFirstDigit(row.at(R::CDCST1DIGT)),
        problemCst(tax, row.at(R::CDSITUTRIB)),
        problemFiscal(row.at(R::CDFISCAL)),
        problemSign(QStringLiteral("TP. Vr. BC"), row.at(R::IDTPBASECALC)),
        problemSign(QStringLiteral("Tipo Aliquota"), row.at(R::IDTPALIQUOTA)),
        problemSign(QStringLiteral("TP. Vr. Imposto"), row.at(R::IDTPVRIMPOSTO)),
        problemYesNo(QStringLiteral("Indicador de verificação no lançamento"),
                     row.at(R::IDCONSISTELANC)),
        problemYesNo(QStringLiteral("Indicador de verificação na aprovação"),
                     row.at(R::IDCONSISTEAPRO)),
        problemBlocked(row.at(R::IDBLOQADMI)),
        problemYesNo(QStringLiteral("Indicador de consistência predefinida"),
                     row.at(R::IDCONSPREDEFI)),
    };
    for (const QString &problem : problems)
        if (!problem.isEmpty())
            refuse(problem);
    if (userRule && row.at(R::IDCONSPREDEFI) != QLatin1String("N"))
        refuse(QStringLiteral("uma consistência predefinida não pode ser gravada por esta "
                              "operação (indicador predefinida deve ser N)."));
    if (isEmptyRule(row))
        refuse(emptyRuleMessage());
}

} // namespace kvr::server
