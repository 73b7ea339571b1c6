#include "fiscal/CstTable.h"

namespace kvr::fiscal {

const QList<CstTable::Family> &CstTable::families()
{
    static const QList<Family> list = {
        {QStringLiteral("00"), QStringLiteral("ICMS")},
        {QStringLiteral("10"), QStringLiteral("IPI")},
        {QStringLiteral("50"), QStringLiteral("PIS")},
        {QStringLiteral("60"), QStringLiteral("COF")},
    };
    return list;
}

const QList<CstTable::Entry> &CstTable::entries()
{
    static const QList<Entry> list = {
        {QStringLiteral("ICMS"), QStringLiteral("00"),
         QStringLiteral("00 - Tributada integralmente")},
        {QStringLiteral("ICMS"), QStringLiteral("10"),
         QStringLiteral("10 - Tributada e com cobrança do ICMS por substituição tributária")},
        {QStringLiteral("ICMS"), QStringLiteral("20"),
         QStringLiteral("20 - Com redução de base de cálculo")},
        {QStringLiteral("ICMS"), QStringLiteral("30"),
         QStringLiteral(
             "30 - Isenta ou não tributada e com cobrança do ICMS por substituição tributária.")},
        {QStringLiteral("ICMS"), QStringLiteral("40"), QStringLiteral("40 - Isenta")},
        {QStringLiteral("ICMS"), QStringLiteral("41"), QStringLiteral("41 - Não Tributada")},
        {QStringLiteral("ICMS"), QStringLiteral("50"), QStringLiteral("50 - Suspensão")},
        {QStringLiteral("ICMS"), QStringLiteral("51"),
         QStringLiteral("51 - Diferimento A exigência do preenchimento das informações do ICMS "
                        "diferido fica `a critério de cada UF.")},
        {QStringLiteral("ICMS"), QStringLiteral("60"),
         QStringLiteral("60 - ICMS cobrado anteriormente por substituição  tributária.")},
        {QStringLiteral("ICMS"), QStringLiteral("70"),
         QStringLiteral("70 - Com redução de base de cálculo e cobrança do ICMS por substituição "
                        "tributária.")},
        {QStringLiteral("ICMS"), QStringLiteral("90"), QStringLiteral("90 - Outros")},
        {QStringLiteral("IPI"), QStringLiteral("00"),
         QStringLiteral("00 - Entrada com recuperação de crédito")},
        {QStringLiteral("IPI"), QStringLiteral("01"),
         QStringLiteral("01 - Entrada tributada com alíquota zero")},
        {QStringLiteral("IPI"), QStringLiteral("02"), QStringLiteral("02 - Entrada isenta")},
        {QStringLiteral("IPI"), QStringLiteral("03"), QStringLiteral("03 - Entrada não-tributada")},
        {QStringLiteral("IPI"), QStringLiteral("04"), QStringLiteral("04 - Entrada imune")},
        {QStringLiteral("IPI"), QStringLiteral("05"), QStringLiteral("05 - Entrada com suspensão")},
        {QStringLiteral("IPI"), QStringLiteral("49"), QStringLiteral("49 - Outras entradas")},
        {QStringLiteral("IPI"), QStringLiteral("50"), QStringLiteral("50 - Saída tributada")},
        {QStringLiteral("IPI"), QStringLiteral("51"),
         QStringLiteral("51 - Saída tributada com alíquota zero")},
        {QStringLiteral("IPI"), QStringLiteral("52"), QStringLiteral("52 - Saída isenta")},
        {QStringLiteral("IPI"), QStringLiteral("53"), QStringLiteral("53 - Saída não-tributada")},
        {QStringLiteral("IPI"), QStringLiteral("54"), QStringLiteral("54 - Saída imune")},
        {QStringLiteral("IPI"), QStringLiteral("55"), QStringLiteral("55 - Saída com suspensão")},
        {QStringLiteral("IPI"), QStringLiteral("99"), QStringLiteral("99 - Outras saídas")},
        {QStringLiteral("PIS"), QStringLiteral("01"),
         QStringLiteral("01 - Operação Tributável (base de cálculo = valor da operação alíquota "
                        "normal (cumulativo/não cumulativo))")},
        {QStringLiteral("PIS"), QStringLiteral("02"),
         QStringLiteral("02 - Operação Tributável (base de cálculo = valor da operação (alíquota "
                        "diferenciada))")},
        {QStringLiteral("PIS"), QStringLiteral("03"),
         QStringLiteral("03 - Operação Tributável (base de cálculo = quantidade vendida x alíquota "
                        "por unidade de produto)")},
        {QStringLiteral("PIS"), QStringLiteral("04"),
         QStringLiteral("04 - Operação Tributável (tributação monofásica (alíquota zero))")},
        {QStringLiteral("PIS"), QStringLiteral("05"),
         QStringLiteral("05 - Operação Tributável (substituição tributária)")},
        {QStringLiteral("PIS"), QStringLiteral("06"),
         QStringLiteral("06 - Operação Tributável (alíquota zero)")},
        {QStringLiteral("PIS"), QStringLiteral("07"),
         QStringLiteral("07 - Operação Isenta da Contribuição")},
        {QStringLiteral("PIS"), QStringLiteral("08"),
         QStringLiteral("08 - Operação Sem Incidência da Contribuição")},
        {QStringLiteral("PIS"), QStringLiteral("09"),
         QStringLiteral("09 - Operação com Suspensão da Contribuíção")},
        {QStringLiteral("PIS"), QStringLiteral("49"),
         QStringLiteral("49 - Outras Operações de Saída")},
        {QStringLiteral("PIS"), QStringLiteral("50"),
         QStringLiteral("50 - Operação com Direito a Crédito - Vinculada Exclusivamente a Receita "
                        "Tributada no Mercado Interno")},
        {QStringLiteral("PIS"), QStringLiteral("51"),
         QStringLiteral("51 - Operação com Direito a Crédito - Vinculada Exclusivamente a Receita "
                        "Não Tributada no Mercado Interno")},
        {QStringLiteral("PIS"), QStringLiteral("52"),
         QStringLiteral("52 - Operação com Direito a Crédito - Vinculada Exclusivamente a Receita "
                        "de Exportação")},
        {QStringLiteral("PIS"), QStringLiteral("53"),
         QStringLiteral("53 - Operação com Direito a Crédito - Vinculada a Receitas Tributadas e "
                        "Não-Tributadas no Mercado Interno")},
        {QStringLiteral("PIS"), QStringLiteral("54"),
         QStringLiteral("54 - Operação com Direito a Crédito - Vinculada a Receitas Tributadas no "
                        "Mercado Interno e de Exportação")},
        {QStringLiteral("PIS"), QStringLiteral("55"),
         QStringLiteral("55 - Operação com Direito a Crédito - Vinculada a Receitas Não-Tributadas "
                        "no Mercado Interno e de Exportação")},
        {QStringLiteral("PIS"), QStringLiteral("56"),
         QStringLiteral("56 - Operação com Direito a Crédito - Vinculada a Receitas Tributadas e "
                        "Não-Tributadas no Mercado Interno e de Exportação")},
        {QStringLiteral("PIS"), QStringLiteral("60"),
         QStringLiteral("60 - Crédito Presumido - Operação de Aquisição Vinculada Exclusivamente a "
                        "Receita Tributada no Mercado Interno")},
        {QStringLiteral("PIS"), QStringLiteral("61"),
         QStringLiteral("61 - Crédito Presumido - Operação de Aquisição Vinculada Exclusivamente a "
                        "Receita Não-Tributada no Mercado Interno")},
        {QStringLiteral("PIS"), QStringLiteral("62"),
         QStringLiteral("62 - Crédito Presumido - Operação de Aquisição Vinculada Exclusivamente a "
                        "Receita de Exportação")},
        {QStringLiteral("PIS"), QStringLiteral("63"),
         QStringLiteral("63 - Crédito Presumido - Operação de Aquisição Vinculada a Receitas "
                        "Tributadas e Não-Tributadas no Mercado Interno")},
        {QStringLiteral("PIS"), QStringLiteral("64"),
         QStringLiteral("64 - Crédito Presumido - Operação de Aquisição Vinculada a Receitas "
                        "Tributadas no Mercado Interno e de Exportação")},
        {QStringLiteral("PIS"), QStringLiteral("65"),
         QStringLiteral("65 - Crédito Presumido - Operação de Aquisição Vinculada a Receitas "
                        "Não-Tributadas no Mercado Interno e de Exportação")},
        {QStringLiteral("PIS"), QStringLiteral("66"),
         QStringLiteral("66 - Crédito Presumido - Operação de Aquisição Vinculada a Receitas "
                        "Tributadas e Não-Tributadas no Mercado Interno e de Exportação")},
        {QStringLiteral("PIS"), QStringLiteral("67"),
         QStringLiteral("67 - Crédito Presumido - Outras Operações")},
        {QStringLiteral("PIS"), QStringLiteral("70"),
         QStringLiteral("70 - Operação de Aquisição sem Direito a Crédito")},
        {QStringLiteral("PIS"), QStringLiteral("71"),
         QStringLiteral("71 - Operação de Aquisição com Isenção")},
        {QStringLiteral("PIS"), QStringLiteral("72"),
         QStringLiteral("72 - Operação de Aquisição com Suspensão")},
        {QStringLiteral("PIS"), QStringLiteral("73"),
         QStringLiteral("73 - Operação de Aquisição a Alíquota Zero")},
        {QStringLiteral("PIS"), QStringLiteral("74"),
         QStringLiteral("74 - Operação de Aquisição sem Incidência da Contribuição")},
        {QStringLiteral("PIS"), QStringLiteral("75"),
         QStringLiteral("75 - Operação de Aquisição por Substituição Tributária")},
        {QStringLiteral("PIS"), QStringLiteral("98"),
         QStringLiteral("98 - Outras Operações de Entrada")},
        {QStringLiteral("PIS"), QStringLiteral("99"), QStringLiteral("99 - Outras Operações")},
        {QStringLiteral("COF"), QStringLiteral("01"),
         QStringLiteral("01 - Operação Tributável (base de cálculo = valor da operação alíquota "
                        "normal (cumulativo/não cumulativo))")},
        {QStringLiteral("COF"), QStringLiteral("02"),
         QStringLiteral("02 - Operação Tributável (base de cálculo = valor da operação (alíquota "
                        "diferenciada)")},
        {QStringLiteral("COF"), QStringLiteral("03"),
         QStringLiteral("03 - Operação Tributável (base de cálculo = quantidade vendida x alíquota "
                        "por unidade de produto)")},
        {QStringLiteral("COF"), QStringLiteral("04"),
         QStringLiteral("04 - Operação Tributável (tributação monofásica(alíquota zero))")},
        {QStringLiteral("COF"), QStringLiteral("05"),
         QStringLiteral("05 - Operação Tributável (substituição tributária) ")},
        {QStringLiteral("COF"), QStringLiteral("06"),
         QStringLiteral("06 - Operação Tributável (alíquota zero)")},
        {QStringLiteral("COF"), QStringLiteral("07"),
         QStringLiteral("07 - Operação Isenta da Contribuição")},
        {QStringLiteral("COF"), QStringLiteral("08"),
         QStringLiteral("08 - Operação Sem Incidência da Contribuição")},
        {QStringLiteral("COF"), QStringLiteral("09"),
         QStringLiteral("09 - Operação com Suspensão da Contribuição")},
        {QStringLiteral("COF"), QStringLiteral("49"),
         QStringLiteral("49 - Outras Operações de Saída")},
        {QStringLiteral("COF"), QStringLiteral("50"),
         QStringLiteral("50 - Operação com Direito a Crédito - Vinculada Exclusivamente a Receita "
                        "Tributada no Mercado Interno")},
        {QStringLiteral("COF"), QStringLiteral("51"),
         QStringLiteral("51 - Operação com Direito a Crédito - Vinculada Exclusivamente a Receita "
                        "Não Tributada no Mercado Interno")},
        {QStringLiteral("COF"), QStringLiteral("52"),
         QStringLiteral("52 - Operação com Direito a Crédito - Vinculada Exclusivamente a Receita "
                        "de Exportação")},
        {QStringLiteral("COF"), QStringLiteral("53"),
         QStringLiteral("53 - Operação com Direito a Crédito - Vinculada a Receitas Tributadas e "
                        "Não-Tributadas no Mercado Interno")},
        {QStringLiteral("COF"), QStringLiteral("54"),
         QStringLiteral("54 - Operação com Direito a Crédito - Vinculada a Receitas Tributadas no "
                        "Mercado Interno e de Exportação")},
        {QStringLiteral("COF"), QStringLiteral("55"),
         QStringLiteral("55 - Operação com Direito a Crédito - Vinculada a Receitas Não-Tributadas "
                        "no Mercado Interno e de Exportação")},
        {QStringLiteral("COF"), QStringLiteral("56"),
         QStringLiteral("56 - Operação com Direito a Crédito - Vinculada a Receitas Tributadas e "
                        "Não-Tributadas no Mercado Interno e de Exportação")},
        {QStringLiteral("COF"), QStringLiteral("60"),
         QStringLiteral("60 - Crédito Presumido - Operação de Aquisição Vinculada Exclusivamente a "
                        "Receita Tributada no Mercado Interno")},
        {QStringLiteral("COF"), QStringLiteral("61"),
         QStringLiteral("61 - Crédito Presumido - Operação de Aquisição Vinculada Exclusivamente a "
                        "Receita Não-Tributada no Mercado Interno")},
        {QStringLiteral("COF"), QStringLiteral("62"),
         QStringLiteral("62 - Crédito Presumido - Operação de Aquisição Vinculada Exclusivamente a "
                        "Receita de Exportação")},
        {QStringLiteral("COF"), QStringLiteral("63"),
         QStringLiteral("63 - Crédito Presumido - Operação de Aquisição Vinculada a Receitas "
                        "Tributadas e Não-Tributadas no Mercado Interno")},
        {QStringLiteral("COF"), QStringLiteral("64"),
         QStringLiteral("64 - Crédito Presumido - Operação de Aquisição Vinculada a Receitas "
                        "Tributadas no Mercado Interno e de Exportação")},
        {QStringLiteral("COF"), QStringLiteral("65"),
         QStringLiteral("65 - Crédito Presumido - Operação de Aquisição Vinculada a Receitas "
                        "Não-Tributadas no Mercado Interno e de Exportação")},
        {QStringLiteral("COF"), QStringLiteral("66"),
         QStringLiteral("66 - Crédito Presumido - Operação de Aquisição Vinculada a Receitas "
                        "Tributadas e Não-Tributadas no Mercado Interno e de Exportação")},
        {QStringLiteral("COF"), QStringLiteral("67"),
         QStringLiteral("67 - Crédito Presumido - Outras Operações")},
        {QStringLiteral("COF"), QStringLiteral("70"),
         QStringLiteral("70 - Operação de Aquisição sem Direito a Crédito")},
        {QStringLiteral("COF"), QStringLiteral("71"),
         QStringLiteral("71 - Operação de Aquisição com Isenção")},
        {QStringLiteral("COF"), QStringLiteral("72"),
         QStringLiteral("72 - Operação de Aquisição com Suspensão")},
        {QStringLiteral("COF"), QStringLiteral("73"),
         QStringLiteral("73 - Operação de Aquisição a Alíquota Zero")},
        {QStringLiteral("COF"), QStringLiteral("74"),
         QStringLiteral("74 - Operação de Aquisição sem Incidência da Contribuição")},
        {QStringLiteral("COF"), QStringLiteral("75"),
         QStringLiteral("75 - Operação de Aquisição por Substituição Tributária")},
        {QStringLiteral("COF"), QStringLiteral("98"),
         QStringLiteral("98 - Outras Operações de Entrada")},
        {QStringLiteral("COF"), QStringLiteral("99"), QStringLiteral("99 - Outras Operações")},
    };
    return list;
}

} // namespace kvr::fiscal
