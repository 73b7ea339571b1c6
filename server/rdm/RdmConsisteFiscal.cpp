#include "server/rdm/RdmConsisteFiscal.h"

#include "protocol/DataPacket.h"
#include "protocol/Excerpt.h"
#include "server/common/AppError.h"
#include "server/rdm/Catalog.h"
#include "server/rdm/RuleRecord.h"
#include "server/rdm/RuleRepository.h"
#include "server/rdm/RuleValidator.h"
#include "server/rpc/Dispatcher.h"
#include "server/rpc/Params.h"
#include "server/storage/Storage.h"
#include "server/storage/WriteTransaction.h"

#include <QSet>

namespace kvr::server {

using protocol::PacketField;
using protocol::PacketWriter;
using protocol::RpcError;
using R = RuleRecord;

namespace {

const QList<PacketField> &taxFields()
{
    static const QList<PacketField> fields = {{QStringLiteral("CDIMPOSTO"), 2},
                                              {QStringLiteral("SGIMPOSTO"), 10},
                                              {QStringLiteral("NMIMPOSTO"), 30},
                                              {QStringLiteral("CDIMPOSTONFE"), 2}};
    return fields;
}

const QList<PacketField> &cfopFields()
{
    static const QList<PacketField> fields = {{QStringLiteral("CDCFOPPADRAO"), 10},
                                              {QStringLiteral("DSCFOPPADRAO"), 500}};
    return fields;
}

void refuseIf(const QString &problem)
{
    if (!problem.isEmpty())
        throw AppError::validation(problem);
}

void checkRuleNumber(const QString &number)
{
    if (number.isEmpty())
        throw AppError::validation(QStringLiteral("Consistência deve ser informada"));
    if (!Catalog::isDigits(number, 10))
        throw AppError::validation(
            QStringLiteral("Número de consistência inválido: \"%1\". Informe os 10 dígitos.")
                .arg(protocol::excerpt(number)));
}

void checkWidth(const QString &label, const QString &value, int width)
{
    if (protocol::characterCount(value) > width)
        throw AppError::validation(QStringLiteral("%1 inválido: \"%2\" tem mais de %3 caracteres.")
                                       .arg(label, protocol::excerpt(value))
                                       .arg(width));
}

QString duplicateMessage(const QString &number, const QString &other)
{
    const QString base = QStringLiteral("Consistência Fiscal já cadastrada");
    const QString detail =
        QStringLiteral("a consistência %1 tem o mesmo CFOP, CST, código fiscal e indicador "
                       "bloqueado/admitido.")
            .arg(other);
    return number.isEmpty() ? base + QStringLiteral(": ") + detail
                            : QStringLiteral("Consistência %1: %2: %3").arg(number, base, detail);
}

void writeRuleRows(PacketWriter &writer, QSqlQuery &query)
{
    while (query.next()) {
        writer.beginRow();
        writer.addValue(QStringView());
        for (int i = 0; i < R::FieldCount - 1; ++i)
            writer.addValue(query.value(i).toString());
        writer.endRow();
    }
}

} // namespace

QByteArray RdmConsisteFiscal::affected(qint64 count)
{
    return QByteArrayLiteral("{\"affected\":") + QByteArray::number(count) + '}';
}

void RdmConsisteFiscal::bind(Dispatcher &dispatcher)
{
    const QString object = objectName();
    dispatcher.add(object, QStringLiteral("getConsistencias"),
                   [this](const QString &m, const QJsonArray &a) {
                       const Params p(m, a, 1);
                       return getConsistencias(p.text(0));
                   });
    dispatcher.add(object, QStringLiteral("getImposto"),
                   [this](const QString &m, const QJsonArray &a) {
                       const Params p(m, a, 2);
                       return getImposto(p.text(0), p.text(1));
                   });
    dispatcher.add(object, QStringLiteral("getCFOP"),
                   [this](const QString &m, const QJsonArray &a) {
                       const Params p(m, a, 0);
                       return getCFOP();
                   });
    dispatcher.add(object, QStringLiteral("getVdCFOP"),
                   [this](const QString &m, const QJsonArray &a) {
                       const Params p(m, a, 1);
                       return getVdCFOP(p.text(0));
                   });
    dispatcher.add(object, QStringLiteral("vdCon"), [this](const QString &m, const QJsonArray &a) {
        const Params p(m, a, 2);
        return vdCon(p.text(0), p.text(1));
    });
    dispatcher.add(object, QStringLiteral("vdConsistencias"),
                   [this](const QString &m, const QJsonArray &a) {
                       const Params p(m, a, 6);
                       return vdConsistencias(p.text(0), p.text(1), p.text(2), p.text(3), p.text(4),
                                              p.text(5));
                   });
    dispatcher.add(object, QStringLiteral("setConsistencia"),
                   [this](const QString &m, const QJsonArray &a) {
                       const Params p(m, a, 1);
                       return setConsistencia(p.object(0));
                   });
    dispatcher.add(object, QStringLiteral("cadAutoAtualiza"),
                   [this](const QString &m, const QJsonArray &a) {
                       const Params p(m, a, 6);
                       return cadAutoAtualiza(p.text(0), p.text(1), p.text(2), p.text(3),
                                              p.flags(4, 7), p.texts(5, 8));
                   });
    dispatcher.add(object, QStringLiteral("cadAutoInsere"),
                   [this](const QString &m, const QJsonArray &a) {
                       const Params p(m, a, 12);
                       QStringList args;
                       for (int i = 0; i < 12; ++i)
                           args.append(p.text(i));
                       return cadAutoInsere(args);
                   });
}

QByteArray RdmConsisteFiscal::getConsistencias(const QString &tax)
{
    Catalog::checkTaxCode(tax);
    QSqlQuery &query = m_storage.prepared(
        QStringLiteral("SELECT %1 FROM consistencia WHERE cdimposto = ? ORDER BY nrseqconsiste")
            .arg(R::storedColumns()));
    query.addBindValue(Storage::text(tax));
    m_storage.run(query);
    PacketWriter writer(R::fields(), 256);
    writeRuleRows(writer, query);
    query.finish();
    return writer.finish();
}

QByteArray RdmConsisteFiscal::getImposto(const QString &tax, const QString &filter)
{
    const QString columns = QStringLiteral("cdimposto, sgimposto, nmimposto, cdimpostonfe");
    QSqlQuery *query = nullptr;
    if (filter == QLatin1String("T")) {
        query = &m_storage.prepared(
            QStringLiteral("SELECT %1 FROM imposto ORDER BY cdimposto").arg(columns));
    } else if (filter.isEmpty()) {
        Catalog::checkTaxCode(tax);
        query = &m_storage.prepared(
            QStringLiteral("SELECT %1 FROM imposto WHERE cdimposto = ?").arg(columns));
        query->addBindValue(Storage::text(tax));
    } else {
        throw AppError::validation(
            QStringLiteral("Filtro de impostos inválido: \"%1\". Use \"T\" para todos ou vazio "
                           "para o imposto informado.")
                .arg(protocol::excerpt(filter)));
    }
    m_storage.run(*query);
    PacketWriter writer(taxFields());
    while (query->next()) {
        writer.beginRow();
        for (int i = 0; i < 4; ++i)
            writer.addValue(query->value(i).toString());
        writer.endRow();
    }
    query->finish();
    return writer.finish();
}

QByteArray RdmConsisteFiscal::cfopPacket(const QString *onlyCode)
{
    QSqlQuery &query =
        onlyCode ? m_storage.prepared(QStringLiteral(
                       "SELECT cdcfoppadrao, dscfoppadrao FROM cfop WHERE cdcfoppadrao = ?"))
                 : m_storage.prepared(QStringLiteral(
                       "SELECT cdcfoppadrao, dscfoppadrao FROM cfop ORDER BY cdcfoppadrao"));
    if (onlyCode)
        query.addBindValue(Storage::text(*onlyCode));
    m_storage.run(query);
    PacketWriter writer(cfopFields(), onlyCode ? 1 : 700);
    while (query.next()) {
        writer.beginRow();
        writer.addValue(query.value(0).toString());
        writer.addValue(query.value(1).toString());
        writer.endRow();
    }
    query.finish();
    return writer.finish();
}

QByteArray RdmConsisteFiscal::getCFOP()
{
    return cfopPacket(nullptr);
}

QByteArray RdmConsisteFiscal::getVdCFOP(const QString &cfop)
{
    if (!Catalog::isDigits(cfop, 4))
        throw AppError::validation(
            QStringLiteral("CFOP inválido: \"%1\". Informe os 4 dígitos do CFOP.")
                .arg(protocol::excerpt(cfop)));
    return cfopPacket(&cfop);
}

QByteArray RdmConsisteFiscal::vdCon(const QString &tax, const QString &number)
{
    Catalog::checkTaxCode(tax);
    checkRuleNumber(number);
    PacketWriter writer(R::fields(), 1);
    if (const auto row = RuleRepository(m_storage).findOfTax(tax, number))
        writer.addRow(*row);
    return writer.finish();
}

QByteArray RdmConsisteFiscal::vdConsistencias(const QString &tax, const QString &cfop,
                                              const QString &cst, const QString &fiscal,
                                              const QString &blocked, const QString &number)
{
    Catalog::checkTaxCode(tax);
    checkWidth(QStringLiteral("CFOP"), cfop, R::width(R::CDFISCOPER));
    checkWidth(QStringLiteral("CST"), cst, R::width(R::CDSITUTRIB));
    refuseIf(RuleValidator::problemFiscal(fiscal));
    refuseIf(RuleValidator::problemBlocked(blocked));
    if (!number.isEmpty())
        checkRuleNumber(number);
    const QString other = RuleRepository(m_storage).duplicateOf(
        tax, cfop, cst, RuleValidator::anyAsZero(fiscal), blocked, number);
    return other.isEmpty() ? QByteArrayLiteral("[\"OK\"]") : QByteArrayLiteral("[\"ER\"]");
}

QByteArray RdmConsisteFiscal::setConsistencia(const QJsonObject &json)
{
    const QJsonArray changes = json.value(QLatin1String("changes")).toArray();
    if (changes.size() > MaxDeltaChanges)
        throw AppError::validation(
            QStringLiteral("O pacote tem %1 alterações; o limite é de %2 alterações por "
                           "gravação. Grave as alterações em partes menores.")
                .arg(changes.size())
                .arg(MaxDeltaChanges));
    const QString insertProblem =
        QStringLiteral("Inclusão de consistências não é permitida nesta operação; novas "
                       "consistências são criadas pelo cadastro automático.");
    for (const QJsonValue &change : changes)
        if (change.toObject().value(QLatin1String("op")).toString() == QLatin1String("insert"))
            throw AppError::validation(insertProblem);
    protocol::Delta delta;
    QString problem;
    if (!protocol::deltaFromJson(json, delta, problem))
        throw AppError::params(problem);

    // Map the packet's columns onto the record, whatever their order.
    QList<int> source;
    for (int f = 0; f < R::FieldCount; ++f) {
        qsizetype at = -1;
        for (qsizetype i = 0; i < delta.fields.size(); ++i)
            if (delta.fields.at(i).name == R::name(f))
                at = i;
        if (at < 0)
            throw AppError::params(
                QStringLiteral("Pacote de alterações inválido: falta o campo %1.").arg(R::name(f)));
        source.append(static_cast<int>(at));
    }
    if (delta.fields.size() != R::FieldCount)
        throw AppError::params(
            QStringLiteral("Pacote de alterações inválido: esperados os %1 campos da consistência.")
                .arg(R::FieldCount));
    const auto toRecord = [&source](const QStringList &values) {
        QStringList row;
        for (int f = 0; f < R::FieldCount; ++f)
            row.append(values.at(source.at(f)));
        return row;
    };

    Catalog catalog(m_storage);
    RuleValidator validator(catalog);
    RuleRepository rules(m_storage);
    WriteTransaction transaction(m_storage);
    for (const protocol::DeltaChange &change : delta.changes) {
        const QStringList old = toRecord(change.oldRow);
        const QString number = old.at(R::NRSEQCONSISTE);
        const std::optional<QStringList> current = rules.find(number);
        bool same = current.has_value();
        for (int f = R::CDIMPOSTO; same && f < R::FieldCount; ++f)
            same = current->at(f) == old.at(f);
        if (!same)
            throw AppError(RpcError::Conflict,
                           QStringLiteral("A consistência %1 foi alterada ou excluída por outro "
                                          "usuário. Recarregue as consistências e refaça a "
                                          "alteração.")
                               .arg(protocol::excerpt(number)));
        if (current->at(R::IDCONSPREDEFI) != QLatin1String("N"))
            throw AppError::validation(
                QStringLiteral("A consistência %1 é predefinida e não pode ser alterada nem "
                               "excluída.")
                    .arg(number));
        if (change.op == protocol::DeltaChange::Op::Delete) {
            rules.remove(number);
            continue;
        }
        QStringList row = toRecord(change.newRow);
        if (row.at(R::NRSEQCONSISTE) != number)
            throw AppError::validation(
                QStringLiteral("Consistência %1: o número da consistência não pode ser alterado.")
                    .arg(number));
        if (row.at(R::CDIMPOSTO) != old.at(R::CDIMPOSTO))
            throw AppError::validation(
                QStringLiteral("Consistência %1: a consistência não pode ser passada para outro "
                               "imposto.")
                    .arg(number));
        row[R::IDMARCADO].clear();
        validator.check(row);
        const QString other =
            rules.duplicateOf(row.at(R::CDIMPOSTO), row.at(R::CDFISCOPER), row.at(R::CDSITUTRIB),
                              row.at(R::CDFISCAL), row.at(R::IDBLOQADMI), number);
        if (!other.isEmpty())
            throw AppError::validation(duplicateMessage(number, other));
        rules.update(row);
    }
    transaction.commit();
    return affected(delta.changes.size());
}

QByteArray RdmConsisteFiscal::cadAutoAtualiza(const QString &tax, const QString &first,
                                              const QString &last, const QString &list,
                                              const QList<bool> &flags, const QStringList &values)
{
    Catalog catalog(m_storage);
    RuleValidator validator(catalog);
    const TaxInfo &info = catalog.tax(tax);

    const bool byRange = !first.isEmpty() || !last.isEmpty();
    const bool byList = !list.isEmpty();
    if (byRange && byList)
        throw AppError::validation(QStringLiteral("Informe um intervalo de consistências ou uma "
                                                  "lista, não os dois."));
    if (!byRange && !byList)
        throw AppError::validation(QStringLiteral("Consistência deve ser informada"));
    QStringList numbers;
    if (byRange) {
        checkRuleNumber(first);
        checkRuleNumber(last);
        if (first > last)
            throw AppError::validation(QStringLiteral(
                "Consistência final deve ser maior ou igual que a consistência inicial"));
    } else {
        // Counted before splitting, so an oversized list costs no copies.
        const qsizetype entries = list.count(QLatin1Char(',')) + 1;
        if (entries > MaxListRules)
            throw AppError::validation(
                QStringLiteral("A lista tem %1 consistências; o limite é de %2 por operação. "
                               "Informe um intervalo de consistências ou divida a lista.")
                    .arg(entries)
                    .arg(MaxListRules));
        QSet<QString> seen;
        seen.reserve(entries);
        for (const QStringView piece : QStringView(list).split(QLatin1Char(','))) {
            const QString number = piece.toString();
            checkRuleNumber(number);
            if (!seen.contains(number)) {
                seen.insert(number);
                numbers.append(number);
            }
        }
    }

    enum { Cst, Cfop, Fiscal, TaxValueSign, BaseSign, RateSign, Checks, AtApproval };
    refuseIf(flags.at(Cst) ? RuleValidator::problemCst(info, values.at(Cst)) : QString());
    refuseIf(flags.at(Cfop) ? validator.problemCfop(values.at(Cfop)) : QString());
    refuseIf(flags.at(Fiscal) ? RuleValidator::problemFiscal(values.at(Fiscal)) : QString());
    refuseIf(flags.at(TaxValueSign) ? RuleValidator::problemSign(QStringLiteral("TP. Vr. Imposto"),
                                                                 values.at(TaxValueSign))
                                    : QString());
    refuseIf(flags.at(BaseSign)
                 ? RuleValidator::problemSign(QStringLiteral("TP. Vr. BC"), values.at(BaseSign))
                 : QString());
    refuseIf(flags.at(RateSign)
                 ? RuleValidator::problemSign(QStringLiteral("Tipo Aliquota"), values.at(RateSign))
                 : QString());
    if (flags.at(Checks)) {
        refuseIf(RuleValidator::problemYesNo(
            QStringLiteral("Indicador de verificação no lançamento"), values.at(Checks)));
        refuseIf(RuleValidator::problemYesNo(
            QStringLiteral("Indicador de verificação na aprovação"), values.at(AtApproval)));
    }

    RuleRepository rules(m_storage);
    WriteTransaction transaction(m_storage);
    QList<QStringList> selected;
    if (byRange) {
        selected = rules.rangeOfTax(tax, first, last);
    } else {
        for (const QString &number : numbers) {
            const std::optional<QStringList> row = rules.findOfTax(tax, number);
            if (!row)
                throw AppError::validation(
                    QStringLiteral("Consistência não cadastrada: %1 não é uma consistência do "
                                   "imposto %2.")
                        .arg(number, tax));
            selected.append(*row);
        }
    }
    qint64 count = 0;
    for (QStringList row : selected) {
        if (row.at(R::IDCONSPREDEFI) != QLatin1String("N"))
            continue;
        if (flags.at(Cst))
            row[R::CDSITUTRIB] = values.at(Cst);
        if (flags.at(Cfop))
            row[R::CDFISCOPER] = values.at(Cfop);
        if (flags.at(Fiscal))
            row[R::CDFISCAL] = values.at(Fiscal);
        if (flags.at(TaxValueSign))
            row[R::IDTPVRIMPOSTO] = values.at(TaxValueSign);
        if (flags.at(BaseSign))
            row[R::IDTPBASECALC] = values.at(BaseSign);
        if (flags.at(RateSign))
            row[R::IDTPALIQUOTA] = values.at(RateSign);
        if (flags.at(Checks)) {
            row[R::IDCONSISTELANC] = values.at(Checks);
            row[R::IDCONSISTEAPRO] = values.at(AtApproval);
        }
        validator.check(row);
        const QString number = row.at(R::NRSEQCONSISTE);
        const QString other = rules.duplicateOf(tax, row.at(R::CDFISCOPER), row.at(R::CDSITUTRIB),
                                                row.at(R::CDFISCAL), row.at(R::IDBLOQADMI), number);
        if (!other.isEmpty())
            throw AppError::validation(duplicateMessage(number, other));
        rules.update(row);
        ++count;
    }
    transaction.commit();
    return affected(count);
}

QByteArray RdmConsisteFiscal::cadAutoInsere(const QStringList &args)
{
    enum {
        Tax,
        FirstCst,
        LastCst,
        FirstCfop,
        LastCfop,
        BaseSign,
        TaxValueSign,
        RateSign,
        AtEntry,
        AtApproval,
        Fiscal,
        Blocked
    };
    Catalog catalog(m_storage);
    RuleValidator validator(catalog);
    const TaxInfo &info = catalog.tax(args.at(Tax));

    const QString firstCst = args.at(FirstCst), lastCst = args.at(LastCst);
    if (firstCst.isEmpty() != lastCst.isEmpty())
        throw AppError::validation(QStringLiteral("CST deve ser informado"));
    if (!firstCst.isEmpty()) {
        refuseIf(RuleValidator::problemCst(info, firstCst));
        refuseIf(RuleValidator::problemCst(info, lastCst));
        if (lastCst < firstCst)
            throw AppError::validation(
                QStringLiteral("CST final deve ser maior que o CST inicial"));
    }
    const QString firstCfop = args.at(FirstCfop), lastCfop = args.at(LastCfop);
    if (firstCfop.isEmpty() != lastCfop.isEmpty())
        throw AppError::validation(QStringLiteral("CFOP deve ser informado"));
    if (!firstCfop.isEmpty()) {
        refuseIf(validator.problemCfop(firstCfop));
        refuseIf(validator.problemCfop(lastCfop));
        if (lastCfop < firstCfop)
            throw AppError::validation(
                QStringLiteral("CFOP final deve ser maior que o CFOP inicial"));
    }
    refuseIf(RuleValidator::problemSign(QStringLiteral("TP. Vr. BC"), args.at(BaseSign)));
    refuseIf(RuleValidator::problemSign(QStringLiteral("TP. Vr. Imposto"), args.at(TaxValueSign)));
    refuseIf(RuleValidator::problemSign(QStringLiteral("Tipo Aliquota"), args.at(RateSign)));
    refuseIf(RuleValidator::problemYesNo(QStringLiteral("Indicador de verificação no lançamento"),
                                         args.at(AtEntry)));
    refuseIf(RuleValidator::problemYesNo(QStringLiteral("Indicador de verificação na aprovação"),
                                         args.at(AtApproval)));
    refuseIf(RuleValidator::problemFiscal(args.at(Fiscal)));
    refuseIf(RuleValidator::problemBlocked(args.at(Blocked)));

    QStringList blueprint = R::blankRow();
    blueprint[R::CDIMPOSTO] = info.code;
    blueprint[R::IDCONSATIVA] = QStringLiteral("S");
    blueprint[R::IDENTRSAIDOP] = QStringLiteral("T");
    blueprint[R::CDFISCAL] = RuleValidator::anyAsZero(args.at(Fiscal));
    blueprint[R::IDTPBASECALC] = RuleValidator::anyAsZero(args.at(BaseSign));
    blueprint[R::IDTPALIQUOTA] = RuleValidator::anyAsZero(args.at(RateSign));
    blueprint[R::IDTPVRIMPOSTO] = RuleValidator::anyAsZero(args.at(TaxValueSign));
    blueprint[R::IDCONSISTELANC] = args.at(AtEntry);
    blueprint[R::IDCONSISTEAPRO] = args.at(AtApproval);
    blueprint[R::IDBLOQADMI] = args.at(Blocked);
    blueprint[R::IDCONSPREDEFI] = QStringLiteral("N");
    if (firstCfop.isEmpty() && firstCst.isEmpty() && RuleValidator::isEmptyRule(blueprint))
        throw AppError::validation(RuleValidator::emptyRuleMessage());

    QStringList csts;
    if (firstCst.isEmpty())
        csts.append(QString());
    for (const QString &cst : info.csts)
        if (!firstCst.isEmpty() && cst >= firstCst && cst <= lastCst)
            csts.append(cst);

    RuleRepository rules(m_storage);
    WriteTransaction transaction(m_storage);
    QStringList cfops;
    if (firstCfop.isEmpty()) {
        cfops.append(QString());
    } else {
        QSqlQuery &query = m_storage.prepared(
            QStringLiteral("SELECT cdcfoppadrao FROM cfop WHERE cdcfoppadrao BETWEEN ? AND ? "
                           "ORDER BY cdcfoppadrao"));
        query.addBindValue(Storage::text(firstCfop));
        query.addBindValue(Storage::text(lastCfop));
        m_storage.run(query);
        while (query.next()) {
            const QString code = query.value(0).toString();
            if (Catalog::isDigits(code, 4))
                cfops.append(code);
        }
        query.finish();
    }
    const QSet<QString> existing =
        rules.keysOf(info.code, blueprint.at(R::CDFISCAL), blueprint.at(R::IDBLOQADMI));
    QList<std::pair<QString, QString>> combos;
    for (const QString &cfop : cfops)
        for (const QString &cst : csts)
            if (!existing.contains(RuleRepository::keyOf(cfop, cst)))
                combos.append({cfop, cst});
    if (!combos.isEmpty()) {
        qint64 number = rules.reserveNumbers(combos.size());
        QList<QStringList> rows;
        rows.reserve(combos.size());
        QStringList row = blueprint;
        for (const auto &combo : combos) {
            row[R::NRSEQCONSISTE] = RuleRepository::formatNumber(number++);
            row[R::CDFISCOPER] = combo.first;
            row[R::CDSITUTRIB] = combo.second;
            rows.append(row);
        }
        rules.insertMany(rows);
    }
    transaction.commit();
    return affected(combos.size());
}

} // namespace kvr::server
