#include "CLI/STD/KVR/KVR51400/RuleRecords.h"

#include "kit/data/TClientDataSet.h"
#include "protocol/RuleRecord.h"

#include <QString>

namespace {

using Rule = kvr::protocol::RuleRecord;

// The label of each shown field of a rule (UTF-8), indexed by field; a field
// without a label is not shown. Names and widths are the shared record's.
const char *ruleLabel(int field)
{
    switch (field) {
    case Rule::IDCONSATIVA:
        return "Ativo";
    case Rule::NRSEQCONSISTE:
        return "Cód. Consistência";
    case Rule::IDENTRSAIDOP:
        return "E/S";
    case Rule::CDFISCOPER:
        return "CFOP";
    case Rule::CDCST1DIGT:
        return "1° Dig. CST";
    case Rule::CDSITUTRIB:
        return "CST";
    case Rule::CDFISCAL:
        return "Código Fiscal";
    case Rule::IDTPBASECALC:
        return "TP. Vr. BC";
    case Rule::IDTPALIQUOTA:
        return "Tipo Aliquota";
    case Rule::IDTPVRIMPOSTO:
        return "TP. Vr. Imposto";
    case Rule::CDTPCREDPICOITE:
        return "Tp. Crédito";
    case Rule::DSCONSISTENCIA:
        return "Descrição";
    default:
        return nullptr;
    }
}

void addRuleField(TClientDataSet *dataSet, int field, int displayWidth = 0)
{
    const char *label = ruleLabel(field);
    dataSet->AddField(Rule::name(field), Rule::width(field),
                      label ? QString::fromUtf8(label) : QString(), label != nullptr, displayWidth);
}

} // namespace

void RuleRecords::DeclareMaintenanceRules(TClientDataSet *dataSet)
{
    for (int field = 0; field < Rule::FieldCount; ++field)
        addRuleField(dataSet, field);
}

void RuleRecords::DeclareAutomaticRules(TClientDataSet *dataSet)
{
    addRuleField(dataSet, Rule::IDMARCADO);
    addRuleField(dataSet, Rule::NRSEQCONSISTE);
    addRuleField(dataSet, Rule::CDFISCOPER);
    // The lookup dialogs list these with their texts, wider than the codes.
    addRuleField(dataSet, Rule::CDSITUTRIB, 45);
    addRuleField(dataSet, Rule::CDFISCAL);
    addRuleField(dataSet, Rule::IDTPALIQUOTA, 30);
    addRuleField(dataSet, Rule::IDTPVRIMPOSTO, 30);
    addRuleField(dataSet, Rule::IDTPBASECALC, 30);
    addRuleField(dataSet, Rule::IDCONSISTELANC);
    addRuleField(dataSet, Rule::IDCONSISTEAPRO);
    addRuleField(dataSet, Rule::IDBLOQADMI);
    addRuleField(dataSet, Rule::IDCONSPREDEFI);
    addRuleField(dataSet, Rule::CDIMPOSTO);
}

void RuleRecords::DeclareTaxes(TClientDataSet *dataSet, bool withAbbreviation)
{
    dataSet->AddField(QStringLiteral("CDIMPOSTO"), 2, QStringLiteral("Código"));
    if (withAbbreviation)
        dataSet->AddField(QStringLiteral("SGIMPOSTO"), 10, QStringLiteral("Sigla"));
    dataSet->AddField(QStringLiteral("NMIMPOSTO"), 30, QStringLiteral("Nome"));
    dataSet->AddField(QStringLiteral("CDIMPOSTONFE"), 2, QString(), false);
}

void RuleRecords::DeclareCfops(TClientDataSet *dataSet)
{
    dataSet->AddField(QStringLiteral("CDCFOPPADRAO"), 10, QStringLiteral("Código"));
    dataSet->AddField(QStringLiteral("DSCFOPPADRAO"), 500, QStringLiteral("Descrição"));
}
