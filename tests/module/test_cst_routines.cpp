#include "CLI/STD/KVR/KVR51400/CstRoutines.h"
#include "CLI/STD/KVR/KVR51400/MessageTables.h"
#include "CLI/STD/KVR/KVR51400/RuleRecords.h"
#include "kit/core/TMessages.h"
#include "kit/data/TClientDataSet.h"
#include "tests/module/Packets.h"

#include <QAbstractItemModelTester>
#include <QRandomGenerator>

#include <algorithm>

#include <gtest/gtest.h>

namespace {

// A tax record on one tax with the given NF-e code, and the CST table.
class CstFixture
{
public:
    explicit CstFixture(const char *nfeCode, const QStringList &cstLines = MessageTables::Cst())
        : m_routines(&m_msgCST, &m_cdsImposto)
    {
        m_msgCST.SetMessages(cstLines);
        RuleRecords::DeclareTaxes(&m_cdsImposto, true);
        if (nfeCode)
            m_cdsImposto.SetData(TaxPacket(QString::fromLatin1(nfeCode)));
    }
    const CstRoutines &routines() const { return m_routines; }
    TClientDataSet &taxes() { return m_cdsImposto; }

private:
    TMessages m_msgCST;
    TClientDataSet m_cdsImposto;
    CstRoutines m_routines;
};

struct FamilyCase
{
    const char *nfeCode; // nullptr: no tax loaded
    const char *family;
    int listSize;
    const char *first;
    const char *last;
};

class CstFamily : public ::testing::TestWithParam<FamilyCase>
{
};

TEST_P(CstFamily, FamilyAndListFollowTheCurrentTax)
{
    const FamilyCase &c = GetParam();
    CstFixture fixture(c.nfeCode);
    EXPECT_EQ(fixture.routines().Family(), QString::fromLatin1(c.family));
    const QStringList list = fixture.routines().List();
    ASSERT_EQ(list.size(), c.listSize);
    if (c.listSize == 0)
        return;
    EXPECT_EQ(list.first(), QString::fromUtf8(c.first));
    EXPECT_EQ(list.last(), QString::fromUtf8(c.last));
    // Numeric CST order.
    for (qsizetype i = 1; i < list.size(); ++i)
        EXPECT_LT(list.at(i - 1).left(2).toInt(), list.at(i).left(2).toInt());
}

INSTANTIATE_TEST_SUITE_P(
    Taxes, CstFamily,
    ::testing::Values(
        FamilyCase{"00", "ICMS", 11, "00 - Tributada integralmente", "90 - Outros"},
        FamilyCase{"10", "IPI", 14, "00 - Entrada com recuperação de crédito",
                   "99 - Outras saídas"},
        FamilyCase{"50", "PIS", 33,
                   "01 - Operação Tributável (base de cálculo = valor da operação alíquota normal "
                   "(cumulativo/não cumulativo))",
                   "99 - Outras Operações"},
        FamilyCase{"60", "COF", 33,
                   "01 - Operação Tributável (base de cálculo = valor da operação alíquota normal "
                   "(cumulativo/não cumulativo))",
                   "99 - Outras Operações"},
        FamilyCase{"20", "", 0, "", ""}, FamilyCase{"", "", 0, "", ""},
        FamilyCase{"0", "", 0, "", ""}, FamilyCase{nullptr, "", 0, "", ""}));

TEST(CstList, PisFiveComesRightAfterFour)
{
    CstFixture fixture("50");
    const QStringList list = fixture.routines().List();
    ASSERT_GE(list.size(), 5);
    EXPECT_TRUE(list.at(3).startsWith(QLatin1String("04 - ")));
    EXPECT_EQ(list.at(4), QStringLiteral("05 - Operação Tributável (substituição tributária)"));
}

TEST(CstList, OrderDoesNotDependOnTheTableRows)
{
    QStringList shuffled = MessageTables::Cst();
    std::shuffle(shuffled.begin(), shuffled.end(), *QRandomGenerator::global());
    std::reverse(shuffled.begin(), shuffled.end());
    for (const char *nfe : {"00", "10", "50", "60"}) {
        CstFixture ordered(nfe);
        CstFixture mixed(nfe, shuffled);
        EXPECT_EQ(mixed.routines().List(), ordered.routines().List()) << nfe;
    }
}

TEST(CstList, FollowsTheCurrentRowOfTheTaxRecord)
{
    CstFixture fixture("00");
    ASSERT_EQ(fixture.routines().List().size(), 11);
    fixture.taxes().SetData(MakePacket({{QStringLiteral("CDIMPOSTO"), 2},
                                        {QStringLiteral("SGIMPOSTO"), 10},
                                        {QStringLiteral("NMIMPOSTO"), 30},
                                        {QStringLiteral("CDIMPOSTONFE"), 2}},
                                       {{"01", "ICMS", "ICMS", "00"}, {"02", "IPI", "IPI", "10"}}));
    EXPECT_EQ(fixture.routines().Family(), QStringLiteral("ICMS"));
    fixture.taxes().Next();
    EXPECT_EQ(fixture.routines().Family(), QStringLiteral("IPI"));
    EXPECT_EQ(fixture.routines().List().size(), 14);
    fixture.taxes().Close();
    EXPECT_EQ(fixture.routines().Family(), QString());
}

struct TextCase
{
    const char *nfeCode;
    const char *cst;
    const char *text;
    bool valid;
};

class CstText : public ::testing::TestWithParam<TextCase>
{
};

TEST_P(CstText, TextAndValidity)
{
    const TextCase &c = GetParam();
    CstFixture fixture(c.nfeCode);
    const QString cst = QString::fromLatin1(c.cst);
    EXPECT_EQ(fixture.routines().Text(cst), QString::fromUtf8(c.text));
    EXPECT_EQ(fixture.routines().IsValid(cst), c.valid);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, CstText,
    ::testing::Values(
        TextCase{"00", "00", "00 - Tributada integralmente", true}, TextCase{"00", "05", "", false},
        TextCase{"00", "5", "", false}, // never filled: a one-digit CST is never valid
        TextCase{"00", "", "", true},   // empty: any CST
        TextCase{"00", "60", "60 - ICMS cobrado anteriormente por substituição  tributária.", true},
        TextCase{"10", "49", "49 - Outras entradas", true}, TextCase{"10", "10", "", false},
        TextCase{"50", "05", "05 - Operação Tributável (substituição tributária)", true},
        TextCase{"60", "05", "05 - Operação Tributável (substituição tributária) ", true},
        TextCase{"50", "5", "", false}, TextCase{"50", "00", "", false},
        TextCase{"20", "00", "", false}, // a tax without a family has no CST
        TextCase{"20", "", "", true},
        TextCase{"00", "IMP00", "", false})); // no lookup outside the family

// Field lists of the records: names, order, widths, labels, visibility.
struct RecordField
{
    const char *name;
    int size;
    const char *label; // DisplayLabel(): the name when the field has none
    bool visible;
    int displayWidth;
};

void expectFields(const TClientDataSet &dataSet, const std::vector<RecordField> &expected)
{
    ASSERT_EQ(dataSet.FieldCount(), int(expected.size()));
    for (int i = 0; i < dataSet.FieldCount(); ++i) {
        const TField *field = dataSet.Fields(i);
        const RecordField &e = expected[size_t(i)];
        EXPECT_EQ(field->FieldName(), QString::fromLatin1(e.name)) << i;
        EXPECT_EQ(field->Size(), e.size) << e.name;
        EXPECT_EQ(field->DisplayLabel(), QString::fromUtf8(e.label)) << e.name;
        EXPECT_EQ(field->Visible(), e.visible) << e.name;
        EXPECT_EQ(field->DisplayWidth(), e.displayWidth) << e.name;
    }
}

TEST(RuleRecord, MaintenanceScreenHasEighteenFields)
{
    TClientDataSet rules;
    RuleRecords::DeclareMaintenanceRules(&rules);
    expectFields(rules, {{"IDMARCADO", 1, "IDMARCADO", false, 1},
                         {"CDIMPOSTO", 2, "CDIMPOSTO", false, 2},
                         {"IDCONSATIVA", 1, "Ativo", true, 1},
                         {"NRSEQCONSISTE", 10, "Cód. Consistência", true, 10},
                         {"IDENTRSAIDOP", 1, "E/S", true, 1},
                         {"CDFISCOPER", 4, "CFOP", true, 4},
                         {"CDCST1DIGT", 1, "1\u00B0 Dig. CST", true, 1},
                         {"CDSITUTRIB", 2, "CST", true, 2},
                         {"CDFISCAL", 1, "Código Fiscal", true, 1},
                         {"IDTPBASECALC", 1, "TP. Vr. BC", true, 1},
                         {"IDTPALIQUOTA", 1, "Tipo Aliquota", true, 1},
                         {"IDTPVRIMPOSTO", 1, "TP. Vr. Imposto", true, 1},
                         {"CDTPCREDPICOITE", 3, "Tp. Crédito", true, 3},
                         {"DSCONSISTENCIA", 250, "Descrição", true, 250},
                         {"IDCONSISTELANC", 1, "IDCONSISTELANC", false, 1},
                         {"IDCONSISTEAPRO", 1, "IDCONSISTEAPRO", false, 1},
                         {"IDBLOQADMI", 1, "IDBLOQADMI", false, 1},
                         {"IDCONSPREDEFI", 1, "IDCONSPREDEFI", false, 1}});
}

TEST(RuleRecord, AutomaticScreenHasThirteenFields)
{
    TClientDataSet rules;
    RuleRecords::DeclareAutomaticRules(&rules);
    expectFields(rules, {{"IDMARCADO", 1, "IDMARCADO", false, 1},
                         {"NRSEQCONSISTE", 10, "Cód. Consistência", true, 10},
                         {"CDFISCOPER", 4, "CFOP", true, 4},
                         {"CDSITUTRIB", 2, "CST", true, 45},
                         {"CDFISCAL", 1, "Código Fiscal", true, 1},
                         {"IDTPALIQUOTA", 1, "Tipo Aliquota", true, 30},
                         {"IDTPVRIMPOSTO", 1, "TP. Vr. Imposto", true, 30},
                         {"IDTPBASECALC", 1, "TP. Vr. BC", true, 30},
                         {"IDCONSISTELANC", 1, "IDCONSISTELANC", false, 1},
                         {"IDCONSISTEAPRO", 1, "IDCONSISTEAPRO", false, 1},
                         {"IDBLOQADMI", 1, "IDBLOQADMI", false, 1},
                         {"IDCONSPREDEFI", 1, "IDCONSPREDEFI", false, 1},
                         {"CDIMPOSTO", 2, "CDIMPOSTO", false, 2}});
}

TEST(RuleRecord, TaxAndCfopRecords)
{
    TClientDataSet withAbbreviation;
    RuleRecords::DeclareTaxes(&withAbbreviation, true);
    expectFields(withAbbreviation, {{"CDIMPOSTO", 2, "Código", true, 2},
                                    {"SGIMPOSTO", 10, "Sigla", true, 10},
                                    {"NMIMPOSTO", 30, "Nome", true, 30},
                                    {"CDIMPOSTONFE", 2, "CDIMPOSTONFE", false, 2}});
    TClientDataSet withoutAbbreviation;
    RuleRecords::DeclareTaxes(&withoutAbbreviation, false);
    expectFields(withoutAbbreviation, {{"CDIMPOSTO", 2, "Código", true, 2},
                                       {"NMIMPOSTO", 30, "Nome", true, 30},
                                       {"CDIMPOSTONFE", 2, "CDIMPOSTONFE", false, 2}});
    TClientDataSet cfops;
    RuleRecords::DeclareCfops(&cfops);
    expectFields(cfops, {{"CDCFOPPADRAO", 10, "Código", true, 10},
                         {"DSCFOPPADRAO", 500, "Descrição", true, 500}});
}

// A pick-list text assigned to a code field keeps the code.
struct AssignCase
{
    const char *field;
    const char *assigned;
    const char *stored;
};

class RuleAssign : public ::testing::TestWithParam<AssignCase>
{
};

TEST_P(RuleAssign, KeepsTheLeadingCharacters)
{
    TClientDataSet rules;
    RuleRecords::DeclareMaintenanceRules(&rules);
    QAbstractItemModelTester tester(&rules,
                                    QAbstractItemModelTester::FailureReportingMode::Warning);
    rules.CreateDataSet();
    rules.Append();
    rules.FieldByName(QString::fromLatin1(GetParam().field))
        ->SetAsString(QString::fromUtf8(GetParam().assigned));
    EXPECT_EQ(rules.FieldByName(QString::fromLatin1(GetParam().field))->AsString(),
              QString::fromUtf8(GetParam().stored));
}

INSTANTIATE_TEST_SUITE_P(
    PickTexts, RuleAssign,
    ::testing::Values(AssignCase{"IDENTRSAIDOP", "Entrada", "E"},
                      AssignCase{"CDSITUTRIB", "00 - Tributada integralmente", "00"},
                      AssignCase{"IDTPALIQUOTA", "2 - Igual a Zero", "2"},
                      AssignCase{"CDFISCOPER", "5102000000", "5102"},
                      AssignCase{"CDCST1DIGT", "3 - Nacional, mercadoria", "3"}));

} // namespace
