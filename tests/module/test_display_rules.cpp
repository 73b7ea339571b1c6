// What each screen shows for the coded fields of a rule, read through the
// screens' own records, whose fields carry the screens' display handlers.
#include "CLI/STD/KVR/KVR51400/Cli_kvr51400.h"
#include "CLI/STD/KVR/KVR51400/Cli_kvr51401.h"
#include "fiscal/RuleRecord.h"
#include "kit/data/TClientDataSet.h"
#include "kit/data/TField.h"
#include "tests/module/Packets.h"

#include <QAbstractItemModelTester>

#include <memory>

#include <gtest/gtest.h>

namespace {

enum class Screen { Maintenance, Automatic };

const std::vector<std::pair<QString, int>> &serverRuleFields()
{
    // The server sends every field of a rule; each screen keeps its own.
    static const std::vector<std::pair<QString, int>> fields = [] {
        std::vector<std::pair<QString, int>> list;
        for (const kvr::protocol::PacketField &field : kvr::fiscal::RuleRecord::fields())
            list.emplace_back(field.name, field.size);
        return list;
    }();
    return fields;
}

struct DisplayCase
{
    Screen screen;
    const char *field;
    const char *value;
    const char *ruleTax; // the rule's own CDIMPOSTO
    const char *nfeCode; // NF-e code of the screen's current tax; nullptr: none
    const char *shown;   // UTF-8
};

std::ostream &operator<<(std::ostream &out, const DisplayCase &c)
{
    return out << (c.screen == Screen::Maintenance ? "maintenance " : "automatic ") << c.field
               << "='" << c.value << "' tax " << c.ruleTax << " nfe "
               << (c.nfeCode ? c.nfeCode : "none");
}

class DisplayRule : public ::testing::TestWithParam<DisplayCase>
{
};

TEST_P(DisplayRule, ShowsTheTextForDisplayAndForEditing)
{
    const DisplayCase &c = GetParam();
    std::unique_ptr<TfrmConsisteFiscal> maintenance;
    std::unique_ptr<TfrmCadAuto> automatic;
    TClientDataSet *rules = nullptr;
    TClientDataSet *taxes = nullptr;
    if (c.screen == Screen::Maintenance) {
        maintenance = std::make_unique<TfrmConsisteFiscal>();
        rules = maintenance->cdsConsistencias;
        taxes = maintenance->cdsImposto;
    } else {
        automatic = std::make_unique<TfrmCadAuto>();
        rules = automatic->cdsConsistencias;
        taxes = automatic->cdsImposto;
    }
    QAbstractItemModelTester tester(rules, QAbstractItemModelTester::FailureReportingMode::Warning);
    if (c.nfeCode)
        taxes->SetData(TaxPacket(QString::fromLatin1(c.nfeCode), c.screen == Screen::Maintenance));

    QStringList row;
    for (const auto &[name, size] : serverRuleFields()) {
        Q_UNUSED(size)
        if (name == QLatin1String(c.field))
            row.append(QString::fromLatin1(c.value));
        else if (name == QLatin1String("CDIMPOSTO"))
            row.append(QString::fromLatin1(c.ruleTax));
        else
            row.append(QString());
    }
    rules->SetData(MakePacket(serverRuleFields(), {row}));

    TField *field = rules->FieldByName(QString::fromLatin1(c.field));
    const QString expected = QString::fromUtf8(c.shown);
    EXPECT_EQ(field->DisplayText(), expected);
    EXPECT_EQ(field->Text(false), expected);                    // the flag changes nothing
    EXPECT_EQ(field->AsString(), QString::fromLatin1(c.value)); // display never changes data
}

constexpr Screen M = Screen::Maintenance;
constexpr Screen A = Screen::Automatic;

// clang-format off
INSTANTIATE_TEST_SUITE_P(Direction, DisplayRule, ::testing::Values(
    DisplayCase{M, "IDENTRSAIDOP", "E", "01", "00", "Entrada"},
    DisplayCase{M, "IDENTRSAIDOP", "S", "01", "00", "Saída"},
    DisplayCase{M, "IDENTRSAIDOP", "T", "01", "00", "Ambos"},
    DisplayCase{M, "IDENTRSAIDOP", "", "01", "00", ""}, // no "Todos" for the direction
    DisplayCase{M, "IDENTRSAIDOP", "X", "01", "00", ""},
    DisplayCase{M, "IDENTRSAIDOP", "1", "01", "00", ""}));

INSTANTIATE_TEST_SUITE_P(Cfop, DisplayRule, ::testing::Values(
    DisplayCase{M, "CDFISCOPER", "", "01", "00", "Todos"},
    DisplayCase{M, "CDFISCOPER", "5102", "01", "00", "5102"},
    DisplayCase{A, "CDFISCOPER", "5102", "01", "00", "5102"},
    DisplayCase{A, "CDFISCOPER", "", "01", "00", ""})); // no handler there

INSTANTIATE_TEST_SUITE_P(FirstCstDigit, DisplayRule, ::testing::Values(
    DisplayCase{M, "CDCST1DIGT", "", "01", "00", "Todos"},
    DisplayCase{M, "CDCST1DIGT", "0", "01", "00",
                "0 - Nacional, exceto as indicadas nos códigos 3 a 5"},
    DisplayCase{M, "CDCST1DIGT", "5", "01", "00",
                "5 - Nacional, mercadoria ou bem com conteúdo de Importação inferior ou igual a 40%"},
    DisplayCase{M, "CDCST1DIGT", "8", "01", "00",
                "8 - Nacional, mercadoria ou bem com conteúdo de importação superior a 70%"},
    DisplayCase{M, "CDCST1DIGT", "9", "01", "00", ""}));

INSTANTIATE_TEST_SUITE_P(Cst, DisplayRule, ::testing::Values(
    DisplayCase{M, "CDSITUTRIB", "", "01", "00", "Todos"},
    DisplayCase{M, "CDSITUTRIB", "00", "01", "00", "00 - Tributada integralmente"},
    DisplayCase{M, "CDSITUTRIB", "05", "01", "00", ""},
    DisplayCase{M, "CDSITUTRIB", "05", "01", "50", "05 - Operação Tributável (substituição tributária)"},
    DisplayCase{M, "CDSITUTRIB", "05", "01", "60", "05 - Operação Tributável (substituição tributária) "},
    DisplayCase{M, "CDSITUTRIB", "5", "01", "50", ""},
    // The screen's tax decides, not the rule's own tax code.
    DisplayCase{M, "CDSITUTRIB", "99", "01", "10", "99 - Outras saídas"},
    DisplayCase{M, "CDSITUTRIB", "00", "01", "20", ""}, // tax without a family
    DisplayCase{M, "CDSITUTRIB", "", "01", "20", "Todos"},
    DisplayCase{M, "CDSITUTRIB", "00", "01", nullptr, ""}, // no tax chosen
    DisplayCase{A, "CDSITUTRIB", "", "01", "00", ""}, // no "Todos" on the automatic screen
    DisplayCase{A, "CDSITUTRIB", "00", "01", "00", "00 - Tributada integralmente"},
    DisplayCase{A, "CDSITUTRIB", "05", "01", "00", ""},
    DisplayCase{A, "CDSITUTRIB", "05", "01", "50", "05 - Operação Tributável (substituição tributária)"},
    DisplayCase{A, "CDSITUTRIB", "00", "01", "20", ""}));

INSTANTIATE_TEST_SUITE_P(FiscalCode, DisplayRule, ::testing::Values(
    DisplayCase{M, "CDFISCAL", "", "01", "00", "Todos"},
    DisplayCase{M, "CDFISCAL", "0", "01", "00", "Todos"}, // the stored form of "any"
    DisplayCase{M, "CDFISCAL", "1", "01", "00", "1 - Operações com Crédito do Imposto"},
    DisplayCase{M, "CDFISCAL", "2", "01", "00", "2 - Oper. s/ Créd. Imp. - Isentas ou não Trib."},
    DisplayCase{M, "CDFISCAL", "3", "01", "00", "3 - Oper. s/ Créd do Imposto - Outras"},
    DisplayCase{M, "CDFISCAL", "4", "01", "00", ""},
    DisplayCase{M, "CDFISCAL", "S", "01", "00", ""},
    DisplayCase{A, "CDFISCAL", "1", "01", "00", "1"},
    DisplayCase{A, "CDFISCAL", "3", "01", "00", "3"},
    DisplayCase{A, "CDFISCAL", "0", "01", "00", ""},
    DisplayCase{A, "CDFISCAL", "", "01", "00", ""},
    DisplayCase{A, "CDFISCAL", "4", "01", "00", ""}));

// The three sign fields follow one rule on each screen.
INSTANTIATE_TEST_SUITE_P(Signs, DisplayRule, ::testing::Values(
    DisplayCase{M, "IDTPBASECALC", "", "01", "00", "Todos"},
    DisplayCase{M, "IDTPBASECALC", "0", "01", "00", "Todos"},
    DisplayCase{M, "IDTPBASECALC", "1", "01", "00", "1 - Menor que Zero"},
    DisplayCase{M, "IDTPBASECALC", "4", "01", "00", "Diferente de Zero."},
    DisplayCase{M, "IDTPALIQUOTA", "0", "01", "00", "Todos"},
    DisplayCase{M, "IDTPALIQUOTA", "2", "01", "00", "2 - Igual a Zero"},
    DisplayCase{M, "IDTPALIQUOTA", "3", "01", "00", "3 - Maior ou igual a Zero"},
    DisplayCase{M, "IDTPALIQUOTA", "5", "01", "00", ""},
    DisplayCase{M, "IDTPVRIMPOSTO", "", "01", "00", "Todos"},
    DisplayCase{M, "IDTPVRIMPOSTO", "3", "01", "00", "3 - Maior ou igual a Zero"},
    DisplayCase{M, "IDTPVRIMPOSTO", "4", "01", "00", "Diferente de Zero."},
    DisplayCase{A, "IDTPBASECALC", "1", "01", "00", "1 - Menor que zero"},
    DisplayCase{A, "IDTPBASECALC", "0", "01", "00", ""},
    DisplayCase{A, "IDTPALIQUOTA", "2", "01", "00", "2 - Igual a zero"},
    DisplayCase{A, "IDTPALIQUOTA", "4", "01", "00", ""},
    DisplayCase{A, "IDTPVRIMPOSTO", "3", "01", "00", "3 - Maior que zero"},
    DisplayCase{A, "IDTPVRIMPOSTO", "", "01", "00", ""}));

INSTANTIATE_TEST_SUITE_P(CreditType, DisplayRule, ::testing::Values(
    DisplayCase{M, "CDTPCREDPICOITE", "001", "10", "10", "Não se aplica."},
    DisplayCase{M, "CDTPCREDPICOITE", "", "10", "10", "Não se aplica."},
    DisplayCase{M, "CDTPCREDPICOITE", "001", "50", "50", "001"},
    DisplayCase{M, "CDTPCREDPICOITE", "", "60", "60", "Todos"},
    // The rule's own tax decides, not the screen's current tax.
    DisplayCase{M, "CDTPCREDPICOITE", "001", "50", "00", "001"},
    DisplayCase{M, "CDTPCREDPICOITE", "001", "01", "50", "Não se aplica."},
    DisplayCase{M, "CDTPCREDPICOITE", "001", "5", "50", "Não se aplica."}));
// clang-format on

} // namespace
