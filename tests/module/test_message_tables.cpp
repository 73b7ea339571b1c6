#include "CLI/STD/KVR/KVR51400/MessageTables.h"
#include "kit/core/TMessages.h"

#include <gtest/gtest.h>

namespace {

enum class Table { MaintenancePadrao, AutomaticPadrao, Cst };

TMessages *load(Table table)
{
    auto *messages = new TMessages;
    switch (table) {
    case Table::MaintenancePadrao:
        messages->SetMessages(MessageTables::MaintenancePadrao());
        break;
    case Table::AutomaticPadrao:
        messages->SetMessages(MessageTables::AutomaticPadrao());
        break;
    case Table::Cst:
        messages->SetMessages(MessageTables::Cst());
        break;
    }
    return messages;
}

struct SizeCase
{
    Table table;
    int rows;
};

class TableSize : public ::testing::TestWithParam<SizeCase>
{
};

TEST_P(TableSize, HoldsEveryRowOnceWithoutBars)
{
    std::unique_ptr<TMessages> messages(load(GetParam().table));
    EXPECT_EQ(messages->Messages().size(), GetParam().rows);
    // Distinct keys: a repeated key would hide a row.
    EXPECT_EQ(messages->Count(), GetParam().rows);
    for (const QString &line : messages->Messages())
        EXPECT_EQ(line.count(QLatin1Char('|')), 1) << line.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Tables, TableSize,
                         ::testing::Values(SizeCase{Table::MaintenancePadrao, 30},
                                           SizeCase{Table::AutomaticPadrao, 19},
                                           SizeCase{Table::Cst, 95}));

struct TextCase
{
    Table table;
    const char *key;
    const char *text; // UTF-8
};

class TableText : public ::testing::TestWithParam<TextCase>
{
};

TEST_P(TableText, IsExact)
{
    std::unique_ptr<TMessages> messages(load(GetParam().table));
    EXPECT_EQ(messages->Msg(QString::fromUtf8(GetParam().key)), QString::fromUtf8(GetParam().text))
        << GetParam().key;
}

constexpr Table M = Table::MaintenancePadrao;
constexpr Table A = Table::AutomaticPadrao;
constexpr Table C = Table::Cst;

INSTANTIATE_TEST_SUITE_P(
    SpotTexts, TableText,
    ::testing::Values(
        TextCase{M, "Excl", "Confirma exclusão?"},
        TextCase{M, "CONSISTENCIA_JA_CAD", "Consistência Fiscal já cadastrada"},
        TextCase{M, "CONSIST_NULA", "A consistência deve ter no mínimo um campo preenchido"},
        TextCase{M, "TIPO3", "3 - Maior ou igual a Zero"},
        TextCase{M, "TIPO4", "Diferente de Zero."},
        TextCase{M, "2", "2 - Oper. s/ Créd. Imp. - Isentas ou não Trib."},
        TextCase{M, "3", "3 - Oper. s/ Créd do Imposto - Outras"}, TextCase{M, "S", "Saída"},
        TextCase{M, "1CST4",
                 "4 - Nacional, cuja produção tenha sido feita em conformidade com "
                 "os processos produtivos básicos"},
        TextCase{M, "1CST8",
                 "8 - Nacional, mercadoria ou bem com conteúdo de importação superior a 70%"},
        TextCase{M, "Todos", "Todos"}, TextCase{M, "NA", "Não se aplica."},
        TextCase{A, "CONSISTE_N_CAD", "Não há consistências cadastradas"},
        TextCase{A, "CAD_OK", "Operação concluída com sucesso."}, TextCase{A, "1", "1"},
        TextCase{A, "TIPO3", "3 - Maior que zero"}, TextCase{A, "TIPO4", ""},
        TextCase{A, "Todos", ""},
        TextCase{A, "CONSISTE_MAIOR",
                 "Consistência final deve ser maior ou igual que a consistência inicial"},
        TextCase{C, "IMP00", "ICMS"}, TextCase{C, "IMP10", "IPI"}, TextCase{C, "IMP50", "PIS"},
        TextCase{C, "IMP60", "COF"},
        TextCase{C, "ICMS51",
                 "51 - Diferimento A exigência do preenchimento das informações do "
                 "ICMS diferido fica `a critério de cada UF."},
        TextCase{C, "ICMS60", "60 - ICMS cobrado anteriormente por substituição  tributária."},
        TextCase{C, "IPI03", "03 - Entrada não-tributada"},
        TextCase{C, "PIS02",
                 "02 - Operação Tributável (base de cálculo = valor da operação "
                 "(alíquota diferenciada))"},
        TextCase{C, "COF02",
                 "02 - Operação Tributável (base de cálculo = valor da operação "
                 "(alíquota diferenciada)"},
        TextCase{C, "PIS04", "04 - Operação Tributável (tributação monofásica (alíquota zero))"},
        TextCase{C, "COF04", "04 - Operação Tributável (tributação monofásica(alíquota zero))"},
        TextCase{C, "PIS05", "05 - Operação Tributável (substituição tributária)"},
        TextCase{C, "COF05", "05 - Operação Tributável (substituição tributária) "},
        TextCase{C, "PIS09", "09 - Operação com Suspensão da Contribuíção"},
        TextCase{C, "COF09", "09 - Operação com Suspensão da Contribuição"},
        TextCase{C, "COF66",
                 "66 - Crédito Presumido - Operação de Aquisição Vinculada a Receitas "
                 "Tributadas e Não-Tributadas no Mercado Interno e de Exportação"},
        TextCase{C, "COF99", "99 - Outras Operações"}));

// Apart from the four rows that differ, each COFINS text is the PIS text.
TEST(CstTable, CofinsRepeatsPisExceptFourRows)
{
    std::unique_ptr<TMessages> messages(load(Table::Cst));
    int pisRows = 0;
    QStringList differing;
    for (const QString &line : messages->Messages()) {
        if (!line.startsWith(QLatin1String("PIS")))
            continue;
        ++pisRows;
        const QString cst = line.mid(3, 2);
        if (messages->Msg(QStringLiteral("COF") + cst) !=
            messages->Msg(QStringLiteral("PIS") + cst))
            differing.append(cst);
    }
    EXPECT_EQ(pisRows, 33);
    EXPECT_EQ(differing, (QStringList{QStringLiteral("02"), QStringLiteral("04"),
                                      QStringLiteral("05"), QStringLiteral("09")}));
}

// Every CST text starts with its own code and " - ".
TEST(CstTable, TextsStartWithTheirCode)
{
    std::unique_ptr<TMessages> messages(load(Table::Cst));
    for (const QString &line : messages->Messages()) {
        const QString key = line.section(QLatin1Char('|'), 0, 0);
        if (key.startsWith(QLatin1String("IMP")))
            continue;
        const QString text = line.section(QLatin1Char('|'), 1);
        EXPECT_EQ(text.left(5), key.right(2) + QStringLiteral(" - ")) << key.toStdString();
    }
}

} // namespace
