#include "server/rdm/RuleValidator.h"

#include "protocol/DataPacket.h"
#include "protocol/Excerpt.h"
#include "server/common/AppError.h"
#include "server/rdm/Catalog.h"
#include "server/rdm/RuleRecord.h"

#include <QSet>

namespace kvr::server {

using R = RuleRecord;

namespace {

void refuseIf(const QString &problem)
{
    if (!problem.isEmpty())
        throw AppError::validation(problem);
}

void checkWidth(const QString &label, const QString &value, int width)
{
    if (protocol::characterCount(value) > width)
        throw AppError::validation(QStringLiteral("%1 inválido: \"%2\" tem mais de %3 caracteres.")
                                       .arg(label, protocol::excerpt(value))
                                       .arg(width));
}

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
    return row.at(R::CDFISCOPER).isEmpty() && row.at(R::CDCST1DIGT).isEmpty() &&
           row.at(R::CDSITUTRIB).isEmpty() && isAny(row.at(R::CDFISCAL)) &&
           isAny(row.at(R::IDTPALIQUOTA)) && isAny(row.at(R::IDTPVRIMPOSTO)) &&
           isAny(row.at(R::IDTPBASECALC));
}

QString RuleValidator::emptyRuleMessage()
{
    return QStringLiteral("A consistência deve ter no mínimo um campo preenchido");
}

QString RuleValidator::problemCfopCode(const QString &cfop)
{
    if (Catalog::isDigits(cfop, 4))
        return {};
    return QStringLiteral("CFOP inválido: \"%1\". Informe os 4 dígitos do CFOP.")
        .arg(protocol::excerpt(cfop));
}

QString RuleValidator::problemCfop(const QString &cfop)
{
    if (cfop.isEmpty())
        return {};
    if (const QString problem = problemCfopCode(cfop); !problem.isEmpty())
        return problem;
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

QString RuleValidator::problemRuleNumber(const QString &number)
{
    if (number.isEmpty())
        return QStringLiteral("Consistência deve ser informada");
    if (!Catalog::isDigits(number, 10))
        return QStringLiteral("Número de consistência inválido: \"%1\". Informe os 10 dígitos.")
            .arg(protocol::excerpt(number));
    return {};
}

void RuleValidator::check(QStringList &row, bool userRule)
{
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

void RuleValidator::checkRuleNumber(const QString &number)
{
    refuseIf(problemRuleNumber(number));
}

void RuleValidator::checkCfopCode(const QString &cfop)
{
    refuseIf(problemCfopCode(cfop));
}

void RuleValidator::checkTaxFilter(const QString &tax, const QString &filter)
{
    if (filter == QLatin1String("T"))
        return;
    if (!filter.isEmpty())
        throw AppError::validation(
            QStringLiteral("Filtro de impostos inválido: \"%1\". Use \"T\" para todos ou vazio "
                           "para o imposto informado.")
                .arg(protocol::excerpt(filter)));
    Catalog::checkTaxCode(tax);
}

void RuleValidator::checkDuplicateQuery(const fiscal::VdConsistencias &args)
{
    Catalog::checkTaxCode(args.tax);
    checkWidth(QStringLiteral("CFOP"), args.cfop, R::width(R::CDFISCOPER));
    checkWidth(QStringLiteral("CST"), args.cst, R::width(R::CDSITUTRIB));
    refuseIf(problemFiscal(args.fiscal));
    refuseIf(problemBlocked(args.blocked));
    if (!args.number.isEmpty())
        checkRuleNumber(args.number);
}

void RuleValidator::checkNoDuplicate(const QString &number, const QString &other)
{
    if (other.isEmpty())
        return;
    const QString base = QStringLiteral("Consistência Fiscal já cadastrada");
    const QString detail =
        QStringLiteral("a consistência %1 tem o mesmo CFOP, CST, código fiscal e indicador "
                       "bloqueado/admitido.")
            .arg(other);
    throw AppError::validation(
        number.isEmpty() ? base + QStringLiteral(": ") + detail
                         : QStringLiteral("Consistência %1: %2: %3").arg(number, base, detail));
}

void RuleValidator::checkDelta(const protocol::DeltaData &delta)
{
    const qsizetype changes = delta.changeCount();
    if (changes > MaxDeltaChanges)
        throw AppError::validation(
            QStringLiteral("O pacote tem %1 alterações; o limite é de %2 alterações por "
                           "gravação. Grave as alterações em partes menores.")
                .arg(changes)
                .arg(MaxDeltaChanges));
    if (delta.hasChange("insert"))
        throw AppError::validation(
            QStringLiteral("Inclusão de consistências não é permitida nesta operação; novas "
                           "consistências são criadas pelo cadastro automático."));
}

void RuleValidator::checkUnchanged(const QStringList &old,
                                   const std::optional<QStringList> &current)
{
    const QString &number = old.at(R::NRSEQCONSISTE);
    bool same = current.has_value();
    for (int f = R::CDIMPOSTO; same && f < R::FieldCount; ++f)
        same = current->at(f) == old.at(f);
    if (!same)
        throw AppError(protocol::RpcError::Conflict,
                       QStringLiteral("A consistência %1 foi alterada ou excluída por outro "
                                      "usuário. Recarregue as consistências e refaça a "
                                      "alteração.")
                           .arg(protocol::excerpt(number)));
    if (current->at(R::IDCONSPREDEFI) != QLatin1String("N"))
        throw AppError::validation(
            QStringLiteral("A consistência %1 é predefinida e não pode ser alterada nem "
                           "excluída.")
                .arg(number));
}

void RuleValidator::checkUpdate(const QStringList &old, QStringList &row)
{
    const QString &number = old.at(R::NRSEQCONSISTE);
    if (row.at(R::NRSEQCONSISTE) != number)
        throw AppError::validation(
            QStringLiteral("Consistência %1: o número da consistência não pode ser alterado.")
                .arg(number));
    if (row.at(R::CDIMPOSTO) != old.at(R::CDIMPOSTO))
        throw AppError::validation(
            QStringLiteral("Consistência %1: a consistência não pode ser passada para outro "
                           "imposto.")
                .arg(number));
    check(row);
}

QStringList RuleValidator::checkPicked(const fiscal::CadAutoAtualiza &args)
{
    if (args.byRange() && args.byList())
        throw AppError::validation(QStringLiteral("Informe um intervalo de consistências ou uma "
                                                  "lista, não os dois."));
    if (!args.byRange() && !args.byList())
        throw AppError::validation(QStringLiteral("Consistência deve ser informada"));
    if (args.byRange()) {
        checkRuleNumber(args.first);
        checkRuleNumber(args.last);
        if (args.first > args.last)
            throw AppError::validation(QStringLiteral(
                "Consistência final deve ser maior ou igual que a consistência inicial"));
        return {};
    }
    // Counted before splitting, so an oversized list costs no copies.
    const qsizetype entries = args.list.count(QLatin1Char(',')) + 1;
    if (entries > MaxListRules)
        throw AppError::validation(
            QStringLiteral("A lista tem %1 consistências; o limite é de %2 por operação. "
                           "Informe um intervalo de consistências ou divida a lista.")
                .arg(entries)
                .arg(MaxListRules));
    QStringList numbers;
    QSet<QString> seen;
    seen.reserve(entries);
    for (const QStringView piece : QStringView(args.list).split(QLatin1Char(','))) {
        const QString number = piece.toString();
        checkRuleNumber(number);
        if (!seen.contains(number)) {
            seen.insert(number);
            numbers.append(number);
        }
    }
    return numbers;
}

void RuleValidator::checkChanges(const TaxInfo &tax, const fiscal::CadAutoAtualiza &args)
{
    using C = fiscal::CadAutoAtualiza;
    if (const auto cst = args.change(C::Cst))
        refuseIf(problemCst(tax, *cst));
    if (const auto cfop = args.change(C::Cfop))
        refuseIf(problemCfop(*cfop));
    if (const auto code = args.change(C::Fiscal))
        refuseIf(problemFiscal(*code));
    if (const auto sign = args.change(C::TaxValueSign))
        refuseIf(problemSign(QStringLiteral("TP. Vr. Imposto"), *sign));
    if (const auto sign = args.change(C::BaseSign))
        refuseIf(problemSign(QStringLiteral("TP. Vr. BC"), *sign));
    if (const auto sign = args.change(C::RateSign))
        refuseIf(problemSign(QStringLiteral("Tipo Aliquota"), *sign));
    if (const auto flag = args.change(C::AtEntry))
        refuseIf(problemYesNo(QStringLiteral("Indicador de verificação no lançamento"), *flag));
    if (const auto flag = args.change(C::AtApproval))
        refuseIf(problemYesNo(QStringLiteral("Indicador de verificação na aprovação"), *flag));
}

void RuleValidator::checkFound(const QString &number, const QString &tax, bool found)
{
    if (!found)
        throw AppError::validation(
            QStringLiteral("Consistência não cadastrada: %1 não é uma consistência do imposto %2.")
                .arg(number, tax));
}

void RuleValidator::checkGeneration(const TaxInfo &tax, const fiscal::CadAutoInsere &args,
                                    const QStringList &blueprint)
{
    if (args.firstCst.isEmpty() != args.lastCst.isEmpty())
        throw AppError::validation(QStringLiteral("CST deve ser informado"));
    if (!args.firstCst.isEmpty()) {
        refuseIf(problemCst(tax, args.firstCst));
        refuseIf(problemCst(tax, args.lastCst));
        if (args.lastCst < args.firstCst)
            throw AppError::validation(
                QStringLiteral("CST final deve ser maior que o CST inicial"));
    }
    if (args.firstCfop.isEmpty() != args.lastCfop.isEmpty())
        throw AppError::validation(QStringLiteral("CFOP deve ser informado"));
    if (!args.firstCfop.isEmpty()) {
        refuseIf(problemCfop(args.firstCfop));
        refuseIf(problemCfop(args.lastCfop));
        if (args.lastCfop < args.firstCfop)
            throw AppError::validation(
                QStringLiteral("CFOP final deve ser maior que o CFOP inicial"));
    }
    refuseIf(problemSign(QStringLiteral("TP. Vr. BC"), args.baseSign));
    refuseIf(problemSign(QStringLiteral("TP. Vr. Imposto"), args.taxValueSign));
    refuseIf(problemSign(QStringLiteral("Tipo Aliquota"), args.rateSign));
    refuseIf(problemYesNo(QStringLiteral("Indicador de verificação no lançamento"), args.atEntry));
    refuseIf(
        problemYesNo(QStringLiteral("Indicador de verificação na aprovação"), args.atApproval));
    refuseIf(problemFiscal(args.fiscal));
    refuseIf(problemBlocked(args.blocked));
    if (args.firstCfop.isEmpty() && args.firstCst.isEmpty() && isEmptyRule(blueprint))
        throw AppError::validation(emptyRuleMessage());
}

} // namespace kvr::server
