#include "CLI/STD/KVR/KVR51400/RuleRecords.h"

#include "kit/data/TClientDataSet.h"

#include <QString>

#include <array>

namespace {

struct RuleField
{
    const char *name;
    int size;
    const char *label; // UTF-8; nullptr for the hidden fields
};

// Every field of a rule with its width and label; a field without a label
// is not shown.
constexpr std::array<RuleField, 18> kRuleFields{{
    {"IDMARCADO", 1, nullptr},
    {"CDIMPOSTO", 2, nullptr},
    {"IDCONSATIVA", 1, "Ativo"},
    {"NRSEQCONSISTE", 10, "Cód. Consistência"},
    {"IDENTRSAIDOP", 1, "E/S"},
    {"CDFISCOPER", 4, "CFOP"},
    {"CDCST1DIGT", 1, "1° Dig. CST"},
    {"CDSITUTRIB", 2, "CST"},
    {"CDFISCAL", 1, "Código Fiscal"},
    {"IDTPBASECALC", 1, "TP. Vr. BC"},
    {"IDTPALIQUOTA", 1, "Tipo Aliquota"},
    {"IDTPVRIMPOSTO", 1, "TP. Vr. Imposto"},
    {"CDTPCREDPICOITE", 3, "Tp. Crédito"},
    {"DSCONSISTENCIA", 250, "Descrição"},
    {"IDCONSISTELANC", 1, nullptr},
    {"IDCONSISTEAPRO", 1, nullptr},
    {"IDBLOQADMI", 1, nullptr},
    {"IDCONSPREDEFI", 1, nullptr},
}};

const RuleField &ruleField(const char *name)
{
    for (const RuleField &field : kRuleFields) {
        if (qstrcmp(field.name, name) == 0)
            return field;
    }
    Q_UNREACHABLE();
}

void addRuleField(TClientDataSet *dataSet, const char *name, int displayWidth = 0)
{
    const RuleField &field = ruleField(name);
    const bool shown = field.label != nullptr;
    dataSet->AddField(QString::fromLatin1(field.name), field.size,
                      shown ? QString::fromUtf8(field.label) : QString(), shown, displayWidth);
}

} // namespace

void RuleRecords::DeclareMaintenanceRules(TClientDataSet *dataSet)
{
    for (const RuleField &field : kRuleFields)
        addRuleField(dataSet, field.name);
}

void RuleRecords::DeclareAutomaticRules(TClientDataSet *dataSet)
{
    addRuleField(dataSet, "IDMARCADO");
    addRuleField(dataSet, "NRSEQCONSISTE");
    addRuleField(dataSet, "CDFISCOPER");
    // The lookup dialogs list these with their texts, wider than the codes.
    addRuleField(dataSet, "CDSITUTRIB", 45);
    addRuleField(dataSet, "CDFISCAL");
    addRuleField(dataSet, "IDTPALIQUOTA", 30);
    addRuleField(dataSet, "IDTPVRIMPOSTO", 30);
    addRuleField(dataSet, "IDTPBASECALC", 30);
    addRuleField(dataSet, "IDCONSISTELANC");
    addRuleField(dataSet, "IDCONSISTEAPRO");
    addRuleField(dataSet, "IDBLOQADMI");
    addRuleField(dataSet, "IDCONSPREDEFI");
    addRuleField(dataSet, "CDIMPOSTO");
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
