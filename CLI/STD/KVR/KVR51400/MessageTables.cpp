#include "CLI/STD/KVR/KVR51400/MessageTables.h"

#include "fiscal/CstTable.h"

// clang-format off
QStringList MessageTables::MaintenancePadrao()
{
    return {
        QStringLiteral("Excl|Confirma exclusão?"),
        QStringLiteral("CFOP|Código Fiscal de Operação"),
        QStringLiteral("CFOP_N_CAD|Não há CFOP cadastrado"),
        QStringLiteral("CONSISTENCIA_JA_CAD|Consistência Fiscal já cadastrada"),
        QStringLiteral("IMPOSTO_INV|Imposto não cadastrado"),
        QStringLiteral("TIPO1|1 - Menor que Zero"),
        QStringLiteral("TIPO2|2 - Igual a Zero"),
        QStringLiteral("TIPO3|3 - Maior ou igual a Zero"),
        QStringLiteral("CFOP_INV|CFOP não cadastrado"),
        QStringLiteral("IMPOSTO_N_INF|Imposto deve ser informado"),
        QStringLiteral("CST_INV|CST inválido"),
        QStringLiteral("CONSIST_NULA|A consistência deve ter no mínimo um campo preenchido"),
        QStringLiteral("1|1 - Operações com Crédito do Imposto"),
        QStringLiteral("2|2 - Oper. s/ Créd. Imp. - Isentas ou não Trib."),
        QStringLiteral("3|3 - Oper. s/ Créd do Imposto - Outras"),
        QStringLiteral("S|Saída"),
        QStringLiteral("E|Entrada"),
        QStringLiteral("T|Ambos"),
        QStringLiteral("TIPO4|Diferente de Zero."),
        QStringLiteral("1CST0|0 - Nacional, exceto as indicadas nos códigos 3 a 5"),
        QStringLiteral("1CST1|1 - Estrangeira, Importação direta"),
        QStringLiteral("1CST2|2 - Estrangeira, Adquirida no mercado interno"),
        QStringLiteral("1CST3|3 - Nacional, mercadoria ou bem com conteúdo de importação superior a 40%"),
        QStringLiteral("1CST4|4 - Nacional, cuja produção tenha sido feita em conformidade com os processos produtivos básicos"),
        QStringLiteral("1CST5|5 - Nacional, mercadoria ou bem com conteúdo de Importação inferior ou igual a 40%"),
        QStringLiteral("1CST6|6 - Estrangeira, importação direta, sem similar nacional"),
        QStringLiteral("1CST7|7 - Estrangeira, adquirida no mercado interno, sem similar nacional"),
        QStringLiteral("Todos|Todos"),
        QStringLiteral("1CST8|8 - Nacional, mercadoria ou bem com conteúdo de importação superior a 70%"),
        QStringLiteral("NA|Não se aplica."),
    };
}

QStringList MessageTables::AutomaticPadrao()
{
    return {
        QStringLiteral("CONSISTE|Consistência Fiscal"),
        QStringLiteral("CONSISTE_N_CAD|Não há consistências cadastradas"),
        QStringLiteral("IMPOSTO_N_INF|Imposto deve ser informado"),
        QStringLiteral("IMPOSTO_INV|Imposto não cadastrado"),
        QStringLiteral("CAD_OK|Operação concluída com sucesso."),
        QStringLiteral("CONSIST_N_INF|Consistência deve ser informada"),
        QStringLiteral("CONSIST_INV|Consistência não cadastrada"),
        QStringLiteral("CFOP_INV|CFOP não cadastrado"),
        QStringLiteral("CFOP_N_INF|CFOP deve ser informado"),
        QStringLiteral("CFOP_MAIOR|CFOP final deve ser maior que o CFOP inicial"),
        QStringLiteral("CST_MAIOR|CST final deve ser maior que o CST inicial"),
        QStringLiteral("CST_N_INF|CST deve ser informado"),
        QStringLiteral("1|1"),
        QStringLiteral("2|2"),
        QStringLiteral("3|3"),
        QStringLiteral("TIPO1|1 - Menor que zero"),
        QStringLiteral("TIPO2|2 - Igual a zero"),
        QStringLiteral("TIPO3|3 - Maior que zero"),
        QStringLiteral("CONSISTE_MAIOR|Consistência final deve ser maior ou igual que a consistência inicial"),
    };
}
// clang-format on

QStringList MessageTables::Cst()
{
    // The server's CST reference table, as the screens' keyed lines.
    QStringList lines;
    for (const kvr::fiscal::CstTable::Family &family : kvr::fiscal::CstTable::families())
        lines.append(QStringLiteral("IMP") + family.nfeCode + QLatin1Char('|') + family.prefix);
    for (const kvr::fiscal::CstTable::Entry &entry : kvr::fiscal::CstTable::entries())
        lines.append(entry.family + entry.code + QLatin1Char('|') + entry.text);
    return lines;
}
