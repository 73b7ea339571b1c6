#include "CLI/STD/KVR/KVR51400/RuleRecords.h"

#include "fiscal/CfopRecord.h"
#include "fiscal/RuleRecord.h"
#include "fiscal/TaxRecord.h"
#include "kit/data/TClientDataSet.h"

#include <QString>

#include <iterator>

namespace {

using Rule = kvr::fiscal::RuleRecord;

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

// A field of a record, shown only when it has a label (UTF-8).
template <typename Record>
void addField(TClientDataSet *dataSet, int field, const char *label, int displayWidth = 0)
{
    dataSet->AddField(Record::name(field), Record::width(field),
                      label ? QString::fromUtf8(label) : QString(), label != nullptr, displayWidth);
}

void addRuleField(TClientDataSet *dataSet, int field, int displayWidth = 0)
{
    addField<Rule>(dataSet, field, ruleLabel(field), displayWidth);
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
    using Tax = kvr::fiscal::TaxRecord;
    const char *const labels[] = {"Código", "Sigla", "Nome", nullptr};
    static_assert(std::size(labels) == Tax::FieldCount);
    for (int field = 0; field < Tax::FieldCount; ++field)
        if (withAbbreviation || field != Tax::SGIMPOSTO)
            addField<Tax>(dataSet, field, labels[field]);
}

void RuleRecords::DeclareCfops(TClientDataSet *dataSet)
{
    using Cfop = kvr::fiscal::CfopRecord;
    const char *const labels[] = {"Código", "Descrição"};
    static_assert(std::size(labels) == Cfop::FieldCount);
    for (int field = 0; field < Cfop::FieldCount; ++field)
        addField<Cfop>(dataSet, field, labels[field]);
}
